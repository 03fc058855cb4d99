#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "link/link.h"
#include "protocol/param_store.h"
#include "protocol/senders.h"
#include "protocol/word_table.h"

namespace v36 {

// The pauses of the connection sequence. The defaults are the unit's; tests
// may shorten the long waits.
struct SyncTimings {
    std::chrono::milliseconds pullStart{2500};  // before identifying
    std::chrono::milliseconds modelAnswer{20};  // after asking for the model
    std::chrono::milliseconds afterRead{200};   // after the last read
    std::chrono::milliseconds beforeDone{100};  // before reporting a pull
    std::chrono::milliseconds afterDone{500};   // before polling again
    std::chrono::milliseconds pushStart{100};
    std::chrono::milliseconds pushEnd{50};
    std::chrono::milliseconds musicFadeStep{100};
};

enum class SyncKind { Pull = 0, Push = 1 };

// The identity the application accepts: model "V36" (ASCII case ignored)
// and protocol 12.
constexpr int kProtocolVersion = 12;
bool modelMatches(const std::u16string& model);
bool identityAccepted(const ParamStore& store);

// The parameter addresses a pull reads, in the unit's order (148).
const std::vector<UnitAddress>& pullReadList();

// Pulls the unit's whole state into the store, or pushes the store to the
// unit, on a worker thread of its own. One runs at a time: a pull or push
// started while another runs waits for it. Completion is handed to the
// done handler on the worker thread, which waits until the handler returns.
class SyncWorker {
  public:
    using DoneHandler = std::function<void(SyncKind)>;
    using ProgressHandler = std::function<void(SyncKind, int done, int total)>;

    // `paramsChanged` is the dispatcher's flag, cleared after a pull or push.
    SyncWorker(ParamStore& store, Link& link, std::atomic<int>& paramsChanged);
    ~SyncWorker();
    SyncWorker(const SyncWorker&) = delete;
    SyncWorker& operator=(const SyncWorker&) = delete;

    void setDoneHandler(DoneHandler handler);
    void setProgressHandler(ProgressHandler handler);
    void setTimings(const SyncTimings& timings);
    void setSleeper(Senders::Sleeper sleeper);

    void startPull();
    void startPush();
    // True while a pull or push runs or waits to run.
    bool busy() const;
    // Blocks until no pull or push runs or waits.
    void waitIdle();

    // The bodies of the two threads, run on the calling thread.
    void syncFromUnit();
    void pushToUnit();

    // Identify the unit and read everything back (the middle of the pull).
    // Returns false when it stopped early on a wrong model or protocol.
    bool identifyAndRead();
    // Its first half: the model (asked twice at most), the protocol and MCU
    // version, then the mode, HDMI input, music source and DSP version.
    // False on a wrong model or protocol.
    bool identify();
    // The link's count of missed answers once the last identify had asked
    // for the model: a first model query left unanswered by a unit just
    // switched on is asked again and may be forgiven, any later miss not.
    int missedAtModel() const { return missedAtModel_.load(); }
    // Its second half: every parameter, the register space, the machine
    // settings and the learned keys.
    void readEverything();
    // Write the whole store to the unit (the middle of the push).
    void fullPush();

    // Number of reports a full push of the current store sends.
    int pushReportCount();
    // Number of reports a pull sends when the model answers at once.
    static constexpr int kPullReports = 1 + 2 + 4 + 148 + 23 + 2;

  private:
    void run();
    void enqueue(SyncKind kind);
    void progress(SyncKind kind);
    void setPolling(bool on);
    void sleep(std::chrono::milliseconds ms);
    SyncTimings timings() const;
    // Hands completion to the done handler and waits for it to return.
    void notifyDone(SyncKind kind);

    ParamStore& store_;
    Link& link_;
    std::atomic<int>& paramsChanged_;
    Senders senders_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<SyncKind> queue_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;

    DoneHandler done_;
    ProgressHandler progress_;
    SyncTimings timings_;
    Senders::Sleeper sleeper_;

    // Progress of the running job (worker thread only).
    SyncKind currentKind_ = SyncKind::Pull;
    int doneCount_ = 0;
    int total_ = 0;
    std::atomic<int> missedAtModel_{0};
};

}  // namespace v36
