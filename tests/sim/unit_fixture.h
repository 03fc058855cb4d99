#pragma once

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "context/device_context.h"
#include "sim/virtual_unit.h"

namespace v36::test {

// A context on a virtual unit that keeps every dispatched report and every
// hotplug event, so that tests can wait for answers instead of sleeping.
struct UnitFixture {
    static VirtualUnitConfig quick() {
        VirtualUnitConfig config;
        config.latency = std::chrono::microseconds(200);
        config.learnDelay = std::chrono::milliseconds(20);
        config.restartDelay = std::chrono::milliseconds(50);
        return config;
    }

    explicit UnitFixture(VirtualUnitConfig config = quick()) : unit(ctx.useVirtualUnit(config)) {
        ctx.link.setReportHandler([this](const Report& r) {
            ctx.dispatcher.dispatchReport(r);
            {
                std::lock_guard<std::mutex> lock(mutex);
                dispatched.push_back(r);
            }
            cv.notify_all();
        });
        watcher = ctx.watchHotplug(
            [this](const HotplugEvent& e) {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    events.push_back((e.kind == HotplugEvent::Kind::Arrival ? "+" : "-") + e.path);
                }
                cv.notify_all();
            },
            HotplugDelivery::OwnThread);
    }
    ~UnitFixture() {
        watcher.reset();
        ctx.closeLink();
        ctx.link.joinReadThread();
    }

    int send(std::initializer_list<int> codeAndValues) {
        return ctx.senders.sendCommand(codeAndValues);
    }

    // Waits until everything the unit answered so far has been dispatched:
    // asks for an address no word uses and waits for that answer.
    bool settle(std::chrono::milliseconds limit = std::chrono::milliseconds(3000)) {
        const int marker = ++markers % 200 + 1;
        std::size_t from = 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            from = dispatched.size();
        }
        send({10, 0, 0, marker, 1, -1});
        return waitFor(limit, [&] {
            for (std::size_t i = from; i < dispatched.size(); ++i) {
                const Report& r = dispatched[i];
                if (r[1] == 10 && r[3] == 0 && r[4] == marker) return true;
            }
            return false;
        });
    }

    // Waits (with the fixture's lock held while `done` runs) until `done`.
    template <typename Predicate>
    bool waitFor(std::chrono::milliseconds limit, Predicate done) {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, limit, done);
    }

    // Polls `done` (for state no event announces).
    template <typename Predicate>
    static bool eventually(std::chrono::milliseconds limit, Predicate done) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    std::size_t dispatchedWithCode(std::uint8_t code) {
        std::lock_guard<std::mutex> lock(mutex);
        std::size_t n = 0;
        for (const auto& r : dispatched) {
            if (r[1] == code) ++n;
        }
        return n;
    }

    std::vector<std::string> hotplugEvents() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }

    DeviceContext ctx;
    VirtualUnit& unit;
    std::unique_ptr<HotplugWatcher> watcher;
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Report> dispatched;
    std::vector<std::string> events;
    int markers = 0;
};

}  // namespace v36::test
