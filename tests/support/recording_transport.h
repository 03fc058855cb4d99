#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "link/link.h"
#include "protocol/report.h"

namespace v36::test {

// A transport that keeps every report written to it. Given the link's
// response event it answers at once, like a unit with no latency.
class RecordingTransport : public ReportTransport {
  public:
    explicit RecordingTransport(Event* answer = nullptr) : answer_(answer) {}

    int writeReport(const std::uint8_t* report, std::size_t length) override {
        int result = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Report r{};
            for (std::size_t i = 0; i < length && i < r.size(); ++i)
                r[i] = report[i];
            reports_.push_back(r);
            result = failWrites_ ? 0 : static_cast<int>(length);
        }
        if (answer_ != nullptr && answering_.load()) answer_->set();
        return result;
    }
    std::vector<Report> reports() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return reports_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        reports_.clear();
    }
    // A unit that takes its time: the test answers by setting the event.
    void setAnswering(bool on) { answering_.store(on); }
    void setFailWrites(bool fail) {
        std::lock_guard<std::mutex> lock(mutex_);
        failWrites_ = fail;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Report> reports_;
    bool failWrites_ = false;
    std::atomic<bool> answering_{true};
    Event* answer_;
};

// A report written as hex pairs: "02 09 00 05 1C 01" followed by zeros.
inline Report reportOf(std::initializer_list<int> leading) {
    Report r{};
    std::size_t i = 0;
    for (int b : leading)
        r.at(i++) = static_cast<std::uint8_t>(b);
    return r;
}

}  // namespace v36::test
