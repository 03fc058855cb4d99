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
#include "protocol/dispatcher.h"
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

// How a read of the unit ended. A read that went unanswered or came back
// garbled is asked again a few times; what is still missing then makes the
// read incomplete, and an incomplete read never reaches the store.
struct ReadReport {
    enum class Status {
        Complete,
        NoAnswer,       // the unit answered nothing
        Garbled,        // answers came, but not what was asked
        Incomplete,     // some values could not be read
        WrongModel,     // `model` names it
        WrongProtocol,  // `protocol` names it
        Closed,         // the link closed while reading
    };
    Status status = Status::Complete;
    int asked = 0;    // reads of values (identification, parameters, pages, settings, keys)
    int missing = 0;  // of them without an answer after every retry
    int garbled = 0;  // answers that were not what was asked
    int retries = 0;  // reads asked again
    std::string model;
    int protocol = 0;

    bool complete() const { return status == Status::Complete; }
    // What the user is told, in language 0 (Chinese) or 1 (English).
    std::string message(int language) const;
};

// Pulls the unit's whole state into the store, or pushes the store to the
// unit, on a worker thread of its own. One runs at a time: a pull or push
// started while another runs waits for it. Completion is handed to the
// done handler on the worker thread, which waits until the handler returns.
class SyncWorker {
  public:
    using DoneHandler = std::function<void(SyncKind)>;
    using ProgressHandler = std::function<void(SyncKind, int done, int total)>;

    // The dispatcher's flag paramsChanged is cleared after a pull or push.
    SyncWorker(ParamStore& store, Link& link, Dispatcher& dispatcher);
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

    // The middle of the pull: the model (a unit just switched on may leave
    // the first query unanswered), the protocol and versions, the mode and
    // the inputs, then every parameter, the register space, the machine
    // settings and the learned keys. Each read is checked and asked again
    // when its answer does not come or comes garbled. The answers go to a
    // scratch store; only a complete read of an accepted unit reaches the
    // store (of a refused unit, only what it told of itself).
    ReadReport pullUnit();
    // Its first half alone (the command-line tool's info, push and recall).
    ReadReport identifyUnit();
    // How the last pull of the worker thread ended.
    ReadReport lastPull() const;

    // Times a read is asked at most.
    static constexpr int kAttempts = 8;
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
    // One read checked and asked again as needed; false when it stayed
    // unanswered (counted in `report`).
    bool ask(std::initializer_list<int> command, Dispatcher::ExpectedAnswer expected,
             ReadReport& report);
    // The identification into the store the dispatcher writes to now; false
    // when the pull cannot go on.
    bool identifyInto(ReadReport& report);
    void readValuesInto(ReadReport& report);
    // How long a read waits for its answer, from the answers seen so far.
    std::chrono::microseconds answerWait() const;

    Dispatcher& dispatcher_;
    std::atomic<int>& paramsChanged_;
    Senders senders_;
    // The time from a read to its answer, smoothed (worker thread only).
    double answerMicros_ = 25000.0;

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
    ReadReport lastPull_;  // guarded by mutex_
};

}  // namespace v36
