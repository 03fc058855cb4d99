#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/backend.h"

namespace v36::test {

// What a fake device does, shared with the test so that it outlives the
// device and shows when the link let go of it.
struct FakeDeviceState {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::optional<Report>> input;  // nullopt: the read fails
    std::vector<Report> written;
    bool answerEachWrite = false;  // queue an answer (code | 0x80) per write
    int readsInProgress = 0;
    bool destroyed = false;
    bool destroyedDuringRead = false;
    int interrupts = 0;

    void push(std::optional<Report> r) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            input.push_back(r);
        }
        cv.notify_all();
    }
    bool isDestroyed() {
        std::lock_guard<std::mutex> lock(mutex);
        return destroyed;
    }
    std::vector<Report> writes() {
        std::lock_guard<std::mutex> lock(mutex);
        return written;
    }
};

class FakeDevice : public LinkDevice {
  public:
    FakeDevice(std::shared_ptr<FakeDeviceState> state, std::string path)
        : state_(std::move(state)), path_(std::move(path)) {}
    ~FakeDevice() override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->destroyed = true;
        state_->destroyedDuringRead = state_->readsInProgress > 0;
    }

    int writeReport(const std::uint8_t* report, std::size_t length) override {
        Report r{};
        for (std::size_t i = 0; i < length && i < r.size(); ++i)
            r[i] = report[i];
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            state_->written.push_back(r);
            if (state_->answerEachWrite) {
                Report a{};
                a[0] = 2;
                a[1] = static_cast<std::uint8_t>(r[1] | 0x80);
                state_->input.push_back(a);
            }
        }
        state_->cv.notify_all();
        return static_cast<int>(length);
    }

    ReadStatus read(Report& out, std::chrono::milliseconds timeout) override {
        std::unique_lock<std::mutex> lock(state_->mutex);
        ++state_->readsInProgress;
        const int interrupts = state_->interrupts;
        const bool ready = state_->cv.wait_for(lock, timeout, [&] {
            return !state_->input.empty() || state_->interrupts != interrupts;
        });
        --state_->readsInProgress;
        if (!ready || state_->input.empty()) return ReadStatus::Timeout;
        const std::optional<Report> next = state_->input.front();
        state_->input.pop_front();
        if (!next) return ReadStatus::Failed;
        out = *next;
        return ReadStatus::Data;
    }

    void interrupt() override {
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            ++state_->interrupts;
        }
        state_->cv.notify_all();
    }

    std::string path() const override { return path_; }

  private:
    std::shared_ptr<FakeDeviceState> state_;
    std::string path_;
};

// A backend that hands out one fake device per open, or fails as told.
class FakeBackend : public LinkBackend {
  public:
    UnitList listUnits(DebugTrace&) override {
        UnitList list;
        if (failure != OpenError::NotFound) list.units.push_back({path, {}, OpenError::None, {}});
        return list;
    }
    DeviceOpenResult openDevice(DebugTrace& trace, std::string_view at) override {
        if (at != path) {
            DeviceOpenResult result;
            result.error = OpenError::NotFound;
            return result;
        }
        return openDevice(trace);
    }
    DeviceOpenResult openDevice(DebugTrace&) override {
        ++opens;
        DeviceOpenResult result;
        if (failure != OpenError::None) {
            result.error = failure;
            result.message = failureMessage;
            return result;
        }
        state = std::make_shared<FakeDeviceState>();
        state->answerEachWrite = answerEachWrite;
        result.device = std::make_shared<FakeDevice>(state, path);
        result.path = path;
        return result;
    }
    std::unique_ptr<HotplugWatcher> watchHotplug(HotplugHandler, HotplugDelivery,
                                                 std::string*) override {
        return nullptr;
    }

    std::atomic<int> opens{0};
    OpenError failure = OpenError::None;
    std::string failureMessage;
    std::string path = "/dev/hidraw3";
    bool answerEachWrite = false;
    std::shared_ptr<FakeDeviceState> state;  // of the last device opened
};

}  // namespace v36::test
