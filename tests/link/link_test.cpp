#include "link/link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/fake_device.h"

namespace v36 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FakeBackend;

Report command(std::uint8_t code) {
    Report r{};
    r[0] = 2;
    r[1] = code;
    return r;
}

template <typename Predicate>
bool eventually(Predicate done, std::chrono::milliseconds limit = 2000ms) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A link with its traces collected.
struct LinkTest : ::testing::Test {
    LinkTest() {
        trace.setEnabled(true);
        trace.setSink([this](std::string_view text) {
            std::lock_guard<std::mutex> lock(traceMutex);
            traces.emplace_back(text);
        });
    }
    ~LinkTest() override {
        link.closeLink();
        link.joinReadThread();
    }
    bool traced(const std::string& text) {
        std::lock_guard<std::mutex> lock(traceMutex);
        for (const auto& t : traces) {
            if (t == text) return true;
        }
        return false;
    }
    int write(std::uint8_t code) {
        const Report r = command(code);
        return link.WriteUsbData(r.data(), r.size());
    }

    DebugTrace trace;
    std::mutex traceMutex;
    std::vector<std::string> traces;
    Link link{trace};
    FakeBackend backend;
};

TEST_F(LinkTest, OpenWhileOpenReturnsZeroAndKeepsTheLink) {
    ASSERT_EQ(link.openLink(backend).value, 1);
    const auto first = backend.state;
    EXPECT_TRUE(eventually([&] { return traced("start thread: ReadUsbThreadProc \n"); }));

    const OpenResult again = link.openLink(backend);
    EXPECT_EQ(again.value, 0);
    EXPECT_EQ(again.error, OpenError::AlreadyOpen);
    EXPECT_EQ(backend.opens.load(), 1);
    EXPECT_TRUE(link.linkOpen.load());
    EXPECT_EQ(write(7), 61);
    EXPECT_EQ(first->writes().size(), 1u);
    EXPECT_EQ(link.devicePath(), "/dev/hidraw3");
}

TEST_F(LinkTest, FailedOpenSaysWhyAndLeavesTheLinkClosed) {
    backend.failure = OpenError::PermissionDenied;
    backend.failureMessage = "permission denied on /dev/hidraw3";
    const OpenResult r = link.openLink(backend);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.error, OpenError::PermissionDenied);
    EXPECT_EQ(r.message, "permission denied on /dev/hidraw3");
    EXPECT_FALSE(link.linkOpen.load());
    EXPECT_EQ(write(7), 0);
    EXPECT_EQ(link.closeLink(), 1);
}

TEST_F(LinkTest, CloseEndsAWaitingReadAndReleasesTheDevice) {
    ASSERT_TRUE(link.openLink(backend).ok());
    const auto state = backend.state;
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> lock(state->mutex);
        return state->readsInProgress == 1;
    }));

    const auto start = Clock::now();
    EXPECT_EQ(link.closeLink(), 1);
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_TRUE(state->isDestroyed());
    EXPECT_FALSE(state->destroyedDuringRead);
    EXPECT_FALSE(traced("wait read thread exited time out !\n"));
    EXPECT_FALSE(link.linkOpen.load());
    EXPECT_EQ(link.devicePath(), "");
    EXPECT_EQ(write(7), 0);
    EXPECT_EQ(link.closeLink(), 1);  // closing a closed link does nothing

    // And it opens again.
    ASSERT_TRUE(link.openLink(backend).ok());
    EXPECT_EQ(write(7), 61);
}

TEST_F(LinkTest, ReadFailureEndsTheThreadAndRefusesWritesAtOnce) {
    ASSERT_TRUE(link.openLink(backend).ok());
    link.pollingEnabled.store(true);
    link.responseEvent.waitFor(0ms);  // a writer would wait for an answer now
    backend.state->push(std::nullopt);

    ASSERT_TRUE(eventually([&] { return link.readThreadEnd.load(); }));
    EXPECT_TRUE(traced("Read Usb Error will return !\n"));
    EXPECT_FALSE(link.pollingEnabled.load());
    EXPECT_TRUE(link.responseEvent.isSet());
    EXPECT_TRUE(link.linkOpen.load());

    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(write(9), 0);
        EXPECT_LT(Clock::now() - start, 100ms);
    }
    EXPECT_TRUE(traced("g_bReadThreadEnd == TRUE ,WriteUsbData return \n"));
    EXPECT_TRUE(backend.state->writes().empty());

    // Closing and opening again brings the writes back.
    link.closeLink();
    ASSERT_TRUE(link.openLink(backend).ok());
    EXPECT_FALSE(link.readThreadEnd.load());
    EXPECT_EQ(write(9), 61);
}

TEST_F(LinkTest, EachAnswerReleasesTheNextWriteAndTheObserverSeesBothInOrder) {
    backend.answerEachWrite = true;
    std::mutex seenMutex;
    std::vector<std::string> seen;
    link.setReportObserver([&](bool outgoing, const Report& r) {
        std::lock_guard<std::mutex> lock(seenMutex);
        seen.push_back((outgoing ? "TX " : "RX ") + std::to_string(r[1]));
    });
    ASSERT_TRUE(link.openLink(backend).ok());

    const auto start = Clock::now();
    for (std::uint8_t code = 1; code <= 20; ++code)
        ASSERT_EQ(write(code), 61);
    EXPECT_LT(Clock::now() - start, 2000ms);  // no write waited out its 2.5 s

    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> lock(seenMutex);
        return seen.size() == 40;
    }));
    for (int code = 1; code <= 20; ++code) {
        const auto at = static_cast<std::size_t>(2 * (code - 1));
        EXPECT_EQ(seen[at], "TX " + std::to_string(code));
        EXPECT_EQ(seen[at + 1], "RX " + std::to_string(code | 0x80));
    }
}

TEST_F(LinkTest, WithoutAnAnswerTheNextWriteWaitsTwoAndAHalfSeconds) {
    ASSERT_TRUE(link.openLink(backend).ok());
    auto start = Clock::now();
    EXPECT_EQ(write(7), 61);  // the event starts signalled
    EXPECT_LT(Clock::now() - start, 500ms);

    start = Clock::now();
    EXPECT_EQ(write(7), 61);  // nothing answered the first
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 2450ms);
    EXPECT_LT(waited, 3500ms);
    EXPECT_EQ(backend.state->writes().size(), 2u);
}

TEST_F(LinkTest, CloseGivesAStuckReadThreadOneSecondAndNeverClosesUnderIt) {
    std::mutex gateMutex;
    std::condition_variable gateCv;
    bool release = false;
    bool entered = false;
    link.setReportHandler([&](const Report&) {
        std::unique_lock<std::mutex> lock(gateMutex);
        entered = true;
        gateCv.notify_all();
        gateCv.wait(lock, [&] { return release; });
    });
    ASSERT_TRUE(link.openLink(backend).ok());
    const auto state = backend.state;
    state->push(command(14));
    {
        std::unique_lock<std::mutex> lock(gateMutex);
        ASSERT_TRUE(gateCv.wait_for(lock, 2s, [&] { return entered; }));
    }

    const auto start = Clock::now();
    EXPECT_EQ(link.closeLink(), 1);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 950ms);
    EXPECT_LT(waited, 1800ms);
    EXPECT_TRUE(traced("wait read thread exited time out !\n"));
    EXPECT_FALSE(state->isDestroyed());  // the thread still holds it

    {
        std::lock_guard<std::mutex> lock(gateMutex);
        release = true;
    }
    gateCv.notify_all();
    link.joinReadThread();
    EXPECT_TRUE(state->isDestroyed());
    EXPECT_FALSE(state->destroyedDuringRead);
}

TEST_F(LinkTest, OpenDevicePathIsComparedWithoutAsciiCase) {
    EXPECT_FALSE(link.isOpenDevice("/dev/hidraw3"));
    ASSERT_TRUE(link.openLink(backend).ok());
    EXPECT_TRUE(link.isOpenDevice("/dev/hidraw3"));
    EXPECT_TRUE(link.isOpenDevice("/DEV/HIDRAW3"));
    EXPECT_FALSE(link.isOpenDevice("/dev/hidraw30"));
    EXPECT_FALSE(link.isOpenDevice("/dev/hidraw4"));
    EXPECT_FALSE(samePathIgnoringAsciiCase("\xC3\xA9", "\xC3\x89"));  // é and É differ
    link.closeLink();
    EXPECT_FALSE(link.isOpenDevice("/dev/hidraw3"));
}

TEST_F(LinkTest, AttachedTransportIsAWriteOnlyLink) {
    struct Sink : ReportTransport {
        int writeReport(const std::uint8_t*, std::size_t length) override {
            return static_cast<int>(length);
        }
    } sink;
    link.attach(sink);
    EXPECT_EQ(write(7), 61);
    link.detach();
    EXPECT_EQ(write(7), 0);
    // A device may be opened afterwards.
    ASSERT_TRUE(link.openLink(backend).ok());
    EXPECT_EQ(write(7), 61);
}

}  // namespace
}  // namespace v36
