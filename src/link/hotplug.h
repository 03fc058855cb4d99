#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/backend.h"

namespace v36 {

// The portable watcher: compares the list of present units once a second
// and reports the paths that came and went. The first list is the baseline
// (units present at the start are not reported as arrivals).
class PollingHotplugWatcher : public HotplugWatcher {
  public:
    using Enumerate = std::function<std::vector<std::string>()>;
    static constexpr std::chrono::milliseconds kDefaultInterval{1000};

    // With `ownThread` the comparison runs every `interval` on a thread of
    // the watcher's own; without, the owner calls tick() (tests, timers).
    PollingHotplugWatcher(Enumerate enumerate, HotplugHandler handler, bool ownThread = true,
                          std::chrono::milliseconds interval = kDefaultInterval);
    ~PollingHotplugWatcher() override;

    // Compares one new list with the last one and reports the differences.
    void tick();

  private:
    void run();

    Enumerate enumerate_;
    HotplugHandler handler_;
    std::chrono::milliseconds interval_;
    std::mutex tickMutex_;
    std::set<std::string> known_;  // guarded by tickMutex_

    std::mutex stopMutex_;
    std::condition_variable stopCv_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace v36
