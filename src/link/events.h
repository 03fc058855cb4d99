#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace v36 {

// An event in the manner of the unit's pacing: set releases exactly one
// waiter (auto-reset) or every waiter until reset (manual-reset).
class Event {
  public:
    explicit Event(bool autoReset, bool initiallySet = false)
        : autoReset_(autoReset), set_(initiallySet) {}

    void set() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            set_ = true;
        }
        if (autoReset_) {
            cv_.notify_one();
        } else {
            cv_.notify_all();
        }
    }

    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = false;
    }

    // Waits until the event is set or the time runs out; true when it was set.
    bool waitFor(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [this] { return set_; })) return false;
        if (autoReset_) set_ = false;
        return true;
    }

    bool isSet() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return set_;
    }

  private:
    const bool autoReset_;
    bool set_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
};

}  // namespace v36
