#include "protocol/write_queue.h"

#include <chrono>

namespace v36 {

WriteQueue::WriteQueue() : thread_([this] { run(); }) {}

WriteQueue::~WriteQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void WriteQueue::post(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
        queued_.store(jobs_.size(), std::memory_order_release);
    }
    cv_.notify_all();
}

void WriteQueue::waitIdle() {
    // A job that waits for the queue would wait for itself.
    if (std::this_thread::get_id() == thread_.get_id()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

bool WriteQueue::waitIdleFor(std::chrono::milliseconds timeout) {
    if (std::this_thread::get_id() == thread_.get_id()) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return jobs_.empty() && !busy_; });
}

std::size_t WriteQueue::discardPending() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t n = jobs_.size();
    jobs_.clear();
    queued_.store(0, std::memory_order_release);
    cv_.notify_all();
    return n;
}

std::size_t WriteQueue::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_.size() + (busy_ ? 1 : 0);
}

void WriteQueue::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (jobs_.empty() && !stopping_) {
            // Edits come in runs (a drag, a wheel): the next one usually
            // follows within microseconds. Look for it briefly before
            // sleeping, so that it does not wait for a wake-up.
            lock.unlock();
            const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
            while (queued_.load(std::memory_order_acquire) == 0 &&
                   std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
            lock.lock();
        }
        cv_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) break;  // stopping with nothing left
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        queued_.store(jobs_.size(), std::memory_order_release);
        busy_ = true;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        cv_.notify_all();
    }
}

}  // namespace v36
