#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "protocol/write_queue.h"

namespace v36 {
namespace {

TEST(WriteQueue, RunsJobsInOrderOffTheCallingThread) {
    std::vector<int> order;
    std::thread::id worker;
    {
        WriteQueue q;
        for (int i = 0; i < 100; ++i) {
            q.post([&order, &worker, i] {
                order.push_back(i);
                worker = std::this_thread::get_id();
            });
        }
        q.waitIdle();
        EXPECT_NE(worker, std::this_thread::get_id());
    }
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(WriteQueue, PostingNeverWaitsForASlowJob) {
    WriteQueue q;
    std::atomic<bool> started{false};
    std::atomic<bool> release{false};
    q.post([&] {
        started = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (!started)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The slow job holds the writer; posting and discarding still return.
    for (int i = 0; i < 10; ++i)
        q.post([] {});
    EXPECT_EQ(q.discardPending(), 10u);
    release = true;
    q.waitIdle();
    EXPECT_EQ(q.pending(), 0u);
}

TEST(WriteQueue, DestructionRunsWhatIsQueued) {
    std::atomic<int> ran{0};
    {
        WriteQueue q;
        for (int i = 0; i < 20; ++i)
            q.post([&] { ++ran; });
    }
    EXPECT_EQ(ran.load(), 20);
}

}  // namespace
}  // namespace v36
