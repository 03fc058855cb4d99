#include "protocol/write_queue.h"

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
    }
    cv_.notify_all();
}

void WriteQueue::waitIdle() {
    // A job that waits for the queue would wait for itself.
    if (std::this_thread::get_id() == thread_.get_id()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

std::size_t WriteQueue::discardPending() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t n = jobs_.size();
    jobs_.clear();
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
        cv_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) break;  // stopping with nothing left
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        cv_.notify_all();
    }
}

}  // namespace v36
