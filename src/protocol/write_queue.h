#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace v36 {

// One writer thread that runs queued write jobs in order. The GUI thread
// posts its edits here and never waits on the link: the pacing (up to
// 2.5 s per report when the unit is silent) and the fade pauses happen on
// this thread.
class WriteQueue {
  public:
    using Job = std::function<void()>;

    WriteQueue();
    // Runs what is queued, then stops the thread.
    ~WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    void post(Job job);
    // Blocks until every job posted so far has run (tests, shutdown); at
    // once when called by a job.
    void waitIdle();
    // The same for at most `timeout`; whether the queue is idle.
    bool waitIdleFor(std::chrono::milliseconds timeout);
    // Drops the jobs not yet started (the link closed); returns how many.
    std::size_t discardPending();
    std::size_t pending() const;

  private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Job> jobs_;
    // Jobs posted and not yet taken, read without the lock.
    std::atomic<std::size_t> queued_{0};
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace v36
