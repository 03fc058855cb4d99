#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "context/device_context.h"
#include "support/recording_transport.h"

namespace v36 {
namespace {

using std::chrono::milliseconds;

template <typename Pred>
bool eventually(Pred pred) {
    for (int i = 0; i < 500; ++i) {
        if (pred()) return true;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return pred();
}

// The unit's home-automation module reaches the mirror through the
// dispatcher: a frame is acknowledged once and its event posted, and a
// memory piece lands in the device table.
TEST(DeviceContext, HomeAutomationFramesReachTheMirror) {
    DeviceContext ctx;
    VirtualUnit& unit = ctx.useVirtualUnit();
    std::atomic<int> events{0};
    std::atomic<int> function{0};
    ctx.dispatcher.setHomeEventHandler([&](std::uint8_t f, std::uint32_t) {
        function = f;
        ++events;
    });
    ASSERT_TRUE(ctx.openLink().ok());
    unit.clearTraffic();

    Report frame = makeReport(18);
    frame[2] = 10;
    frame[3] = 0x01;
    frame[4] = 8;
    frame[6] = 0x42;
    unit.sendReport(frame);
    ASSERT_TRUE(unit.waitForReceived(18, 1, milliseconds(3000)));
    ASSERT_TRUE(eventually([&] { return events.load() == 1; }));
    EXPECT_EQ(function.load(), 0x42);
    std::size_t acks = 0;
    for (const Report& r : unit.received()) {
        if (r[1] == 18) {
            EXPECT_EQ(r, test::reportOf({0x02, 0x12, 0x01, 0x06}));
            ++acks;
        }
    }
    EXPECT_EQ(acks, 1u);

    Report memory = makeReport(20);
    memory[4] = 4;  // address 0: device entry 0
    memory[5] = 9;
    memory[6] = 8;
    unit.sendReport(memory);
    ASSERT_TRUE(eventually([&] { return ctx.homeAutomation.deviceEntry(0)[0] == 9; }));
    EXPECT_EQ(ctx.homeAutomation.deviceEntry(0)[1], 8);

    ctx.resetToDefaults();
    EXPECT_EQ(ctx.homeAutomation.deviceEntry(0)[0], 0);
}

}  // namespace
}  // namespace v36
