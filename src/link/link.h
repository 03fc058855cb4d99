#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "link/debug_trace.h"
#include "link/events.h"

namespace v36 {

// The write side of whatever carries reports to the unit (the HID device,
// the virtual unit, a recording fake in tests).
class ReportTransport {
  public:
    virtual ~ReportTransport() = default;
    // Writes one report; returns the number of bytes written, 0 on failure.
    virtual int writeReport(const std::uint8_t* report, std::size_t length) = 0;
};

// The link state and the paced write path shared by every writer.
//
// Every write waits (outside the lock) until the unit has answered the
// previous report, or 2.5 s at most, then takes the write lock for the
// device write itself. The response event is auto-reset and starts
// signalled, so the first write after opening goes at once.
class Link {
  public:
    static constexpr std::size_t kReportSize = 61;
    static constexpr std::chrono::milliseconds kDefaultResponseWait{2500};

    explicit Link(DebugTrace& trace) : trace_(trace) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Writes one prepared report (length is always 61). Returns 61 on
    // success, 0 when the link is closed, the read thread has ended or the
    // device write failed.
    int WriteUsbData(const std::uint8_t* report, std::size_t length);

    // Makes `transport` the open link with fresh events; the read side
    // (the read thread) signals responseEvent after every report.
    void attach(ReportTransport& transport);
    // Closes the write side: later writes return 0 at once.
    void detach();

    // How long a write waits for the previous answer (2.5 s on the unit).
    void setResponseWait(std::chrono::milliseconds wait) { responseWaitMs_.store(wait.count()); }
    std::chrono::milliseconds responseWait() const {
        return std::chrono::milliseconds(responseWaitMs_.load());
    }

    DebugTrace& trace() { return trace_; }

    // Link flags, shared by the threads.
    std::atomic<bool> linkOpen{false};
    std::atomic<bool> readThreadEnd{false};
    std::atomic<bool> pollingEnabled{true};
    // Set when the unit reports a changed parameter (response 9); cleared
    // after a pull, a push, or storing the live set into a memory mode.
    std::atomic<bool> paramsChanged{false};

    // Signalled by the read thread after each handled report and when it ends.
    Event responseEvent{true, true};

  private:
    DebugTrace& trace_;
    std::atomic<std::chrono::milliseconds::rep> responseWaitMs_{kDefaultResponseWait.count()};
    std::mutex writeLock_;
    ReportTransport* transport_ = nullptr;  // guarded by writeLock_
};

}  // namespace v36
