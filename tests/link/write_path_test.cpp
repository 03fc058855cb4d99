#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/link.h"
#include "support/recording_transport.h"

namespace v36 {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct WritePath : ::testing::Test {
    WritePath() {
        trace.setEnabled(true);
        trace.setSink([this](std::string_view text) { lines.emplace_back(text); });
    }
    int writeOne() {
        const Report r = makeReport(128);
        return link.WriteUsbData(r.data(), r.size());
    }
    DebugTrace trace;
    Link link{trace};
    test::RecordingTransport silentUnit;  // never answers
    std::vector<std::string> lines;
};

TEST_F(WritePath, ClosedLinkRefusesAtOnce) {
    EXPECT_EQ(writeOne(), 0);
    link.attach(silentUnit);
    link.detach();
    EXPECT_EQ(writeOne(), 0);
    EXPECT_TRUE(silentUnit.reports().empty());
    EXPECT_TRUE(lines.empty());
}

TEST_F(WritePath, EndedReadThreadRefusesWithoutWaiting) {
    link.setResponseWait(milliseconds(2000));
    link.attach(silentUnit);
    EXPECT_EQ(writeOne(), 61);  // the event starts signalled: no wait
    link.readThreadEnd = true;
    const auto start = Clock::now();
    EXPECT_EQ(writeOne(), 0);
    EXPECT_EQ(writeOne(), 0);
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    EXPECT_EQ(silentUnit.reports().size(), 1u);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "g_bReadThreadEnd == TRUE ,WriteUsbData return \n");
}

TEST_F(WritePath, SilentUnitDelaysEachWriteByTheResponseWait) {
    EXPECT_EQ(Link::kDefaultResponseWait, milliseconds(2500));
    link.setResponseWait(milliseconds(150));
    link.attach(silentUnit);
    const auto start = Clock::now();
    EXPECT_EQ(writeOne(), 61);
    EXPECT_EQ(writeOne(), 61);
    EXPECT_EQ(writeOne(), 61);
    EXPECT_GE(Clock::now() - start, milliseconds(300));
    EXPECT_EQ(silentUnit.reports().size(), 3u);
}

TEST_F(WritePath, AnAnswerReleasesTheNextWrite) {
    link.setResponseWait(milliseconds(5000));
    link.attach(silentUnit);
    EXPECT_EQ(writeOne(), 61);
    std::thread reader([this] {
        std::this_thread::sleep_for(milliseconds(20));
        link.responseEvent.set();
    });
    const auto start = Clock::now();
    EXPECT_EQ(writeOne(), 61);
    EXPECT_LT(Clock::now() - start, milliseconds(4000));
    reader.join();
}

TEST_F(WritePath, FailedDeviceWriteIsTraced) {
    silentUnit.setFailWrites(true);
    link.attach(silentUnit);
    EXPECT_EQ(writeOne(), 0);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "usb数据写入出错");
}

}  // namespace
}  // namespace v36
