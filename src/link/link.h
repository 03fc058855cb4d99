#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "link/backend.h"
#include "link/debug_trace.h"
#include "link/events.h"

namespace v36 {

// The link to at most one unit: its state, the read thread and the paced
// write path shared by every writer.
//
// Every write waits (outside the lock) until the unit has answered the
// previous report, or 2.5 s at most, then takes the write lock for the
// device write itself. The response event is auto-reset and starts
// signalled, so the first write after opening goes at once.
//
// The read thread reads one report at a time with a short timeout, so it
// notices a closed link within 100 ms and never reads from a device that
// is being closed; each report goes to the report handler (the
// dispatcher), which signals the response event.
class Link {
  public:
    static constexpr std::size_t kReportSize = 61;
    static constexpr std::chrono::milliseconds kDefaultResponseWait{2500};
    static constexpr std::chrono::milliseconds kCloseWait{1000};
    static constexpr std::chrono::milliseconds kReadSlice{100};

    // Handles one received report; called on the read thread in arrival
    // order. It must signal responseEvent when done.
    using ReportHandler = std::function<void(const Report&)>;
    // Sees every report written (outgoing) and read, in order. Called with
    // the write lock held for outgoing reports: it must not write itself.
    using ReportObserver = std::function<void(bool outgoing, const Report&)>;

    explicit Link(DebugTrace& trace) : trace_(trace) {}
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Finds and opens the unit through `backend` (the one at `path`, or the
    // first that opens when `path` is empty) and starts the read thread.
    // Returns value 0 and changes nothing when a unit is open.
    OpenResult openLink(LinkBackend& backend, std::string_view path = {});
    // Closes the link: the read thread gets up to 1 s to leave. Always 1.
    int closeLink();
    // Waits (without limit) for a read thread left running by closeLink.
    void joinReadThread();

    // Writes one prepared report (length is always 61). Returns 61 on
    // success, 0 when the link is closed, the read thread has ended or the
    // device write failed.
    int WriteUsbData(const std::uint8_t* report, std::size_t length);
    // Writes at once under the write lock, without waiting for an answer:
    // for the read thread's own replies, which must never wait on the pace
    // that only the read thread can keep.
    int writeUnpaced(const std::uint8_t* report, std::size_t length);

    // A write-only link without a read thread: `transport` becomes the open
    // link with fresh events (tests answer by signalling responseEvent).
    void attach(ReportTransport& transport);
    // Closes what attach opened: later writes return 0 at once.
    void detach();

    void setReportHandler(ReportHandler handler);
    void setReportObserver(ReportObserver observer);

    // The path of the open unit ("" when closed).
    std::string devicePath() const;
    // Whether `path` names the open unit (ASCII letters compared without case).
    bool isOpenDevice(std::string_view path) const;

    // How long a write waits for the previous answer (2.5 s on the unit).
    void setResponseWait(std::chrono::milliseconds wait) { responseWaitMs_.store(wait.count()); }
    std::chrono::milliseconds responseWait() const {
        return std::chrono::milliseconds(responseWaitMs_.load());
    }

    DebugTrace& trace() { return trace_; }

    // Writes in a row that found the previous report unanswered after the
    // whole wait; 0 once an answer comes in time. Cleared on open.
    int unansweredWrites() const { return unanswered_.load(); }
    // Every write that found the previous report unanswered since the link
    // was opened: a read whose answer never came.
    int missedAnswers() const { return missed_.load(); }
    // A tool that must not hang on a silent unit: once `writes` writes in a
    // row went unanswered, every further write is refused at once until the
    // link is opened again. 0 (the default) never gives up, as the unit's
    // own program does.
    void setGiveUpAfter(int writes) { giveUpAfter_.store(writes); }
    // Whether writes are being refused because the unit stopped answering.
    bool gaveUp() const {
        const int limit = giveUpAfter_.load();
        return limit > 0 && unanswered_.load() >= limit;
    }

    // Link flags, shared by the threads.
    std::atomic<bool> linkOpen{false};
    std::atomic<bool> readThreadEnd{false};
    std::atomic<bool> pollingEnabled{true};

    // Signalled by the read thread after each handled report and when it ends.
    Event responseEvent{true, true};

  private:
    void ReadUsbThreadProc(std::shared_ptr<LinkDevice> device);
    // One read of 61 bytes followed by the handler; 0 on a read failure.
    int readReport(LinkDevice& device);
    void observe(bool outgoing, const Report& report);
    int writeNow(const Report& buffer);

    DebugTrace& trace_;
    std::atomic<std::chrono::milliseconds::rep> responseWaitMs_{kDefaultResponseWait.count()};
    std::atomic<int> unanswered_{0};
    std::atomic<int> missed_{0};
    std::atomic<int> giveUpAfter_{0};

    std::mutex writeLock_;
    ReportTransport* transport_ = nullptr;  // guarded by writeLock_

    // Open and close; held while the state below changes.
    mutable std::mutex lifecycle_;
    std::shared_ptr<LinkDevice> device_;
    std::string devicePath_;
    std::thread readThread_;
    std::atomic<std::thread::id> readThreadId_{};
    Event threadEnd_{true, false};

    mutable std::mutex hooks_;
    std::shared_ptr<const ReportHandler> handler_;
    std::shared_ptr<const ReportObserver> observer_;
};

// ASCII letters compared without case, everything else exactly.
bool samePathIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace v36
