#include "link/hotplug.h"

#include <utility>

namespace v36 {

PollingHotplugWatcher::PollingHotplugWatcher(Enumerate enumerate, HotplugHandler handler,
                                             bool ownThread, std::chrono::milliseconds interval)
    : enumerate_(std::move(enumerate)), handler_(std::move(handler)), interval_(interval) {
    for (auto& path : enumerate_())
        known_.insert(std::move(path));
    if (ownThread) thread_ = std::thread(&PollingHotplugWatcher::run, this);
}

PollingHotplugWatcher::~PollingHotplugWatcher() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stop_ = true;
    }
    stopCv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PollingHotplugWatcher::tick() {
    std::lock_guard<std::mutex> lock(tickMutex_);
    std::set<std::string> now;
    for (auto& path : enumerate_())
        now.insert(std::move(path));
    std::vector<HotplugEvent> events;
    for (const auto& path : known_) {
        if (now.count(path) == 0) events.push_back({HotplugEvent::Kind::Removal, path});
    }
    for (const auto& path : now) {
        if (known_.count(path) == 0) events.push_back({HotplugEvent::Kind::Arrival, path});
    }
    known_ = std::move(now);
    for (const auto& event : events) {
        if (handler_) handler_(event);
    }
}

void PollingHotplugWatcher::run() {
    std::unique_lock<std::mutex> lock(stopMutex_);
    while (!stop_) {
        if (stopCv_.wait_for(lock, interval_, [this] { return stop_; })) break;
        lock.unlock();
        tick();
        lock.lock();
    }
}

}  // namespace v36
