#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "link/link.h"
#include "protocol/param_store.h"
#include "protocol/report.h"

namespace v36 {

// Folds every report the unit sends into the store, tells the user
// interface where a report needs it, and finally signals the link's
// response event so that the next write may go.
//
// Runs on the read thread. It never waits for the user interface: the
// handlers below are called on the read thread and must only queue work
// (post a message, emit a queued signal).
class Dispatcher {
  public:
    // The answer a reader waits for: a read's response code, and for a
    // parameter read its block << 8 | index, for a register read its offset.
    struct ExpectedAnswer {
        std::uint8_t code = 0;
        int address = -1;
    };
    // What came while a reader waited.
    enum class AnswerSeen { Nothing, Answer, Garbled };

    // The once-per-run parameter error; the text is for a box captioned
    // "Error" with an OK button.
    using ParameterErrorHandler = std::function<void(std::string_view text)>;
    // A remote key has been learned (message 9998): the learned code.
    using RemoteKeyHandler = std::function<void(std::uint8_t code)>;
    // A home-automation event (message 3024): function code and detail.
    using HomeEventHandler = std::function<void(std::uint8_t function, std::uint32_t detail)>;
    // A module frame (response 18, after its acknowledgement) or a piece of
    // home-control memory (response 20), for the home-automation module.
    using ReportHook = std::function<void(const Report&)>;

    Dispatcher(ParamStore& store, Link& link);
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    // Handles one received report. Bytes beyond a field are cut at the
    // field's end; unknown codes and addresses are ignored. Always signals
    // the response event last.
    void dispatchReport(const Report& report);

    void setParameterErrorHandler(ParameterErrorHandler handler);
    void setRemoteKeyHandler(RemoteKeyHandler handler);
    void setHomeEventHandler(HomeEventHandler handler);
    void setHomeFrameHook(ReportHook hook);
    void setHomeMemoryHook(ReportHook hook);

    // For the home-automation module behind the hooks: reports an event to
    // the user interface (message 3024).
    void postHomeEvent(std::uint8_t function, std::uint32_t detail) const;

    // --- Reads that are checked (a pull) ---------------------------------------------
    // Arms the wait for one answer. Until it comes, a report that answers a
    // read but not this one (garbled, or an earlier read's late answer) is
    // not applied, and the waiter is told.
    void expectAnswer(ExpectedAnswer expected);
    // Waits at most `timeout` for the armed answer; disarms.
    AnswerSeen waitAnswer(std::chrono::microseconds timeout);
    // Where the answers go: the store, or a scratch store while a pull reads
    // (so that a half-read state never reaches the store). Null: the store.
    // Waits for a report being dispatched to the old target.
    void setTarget(ParamStore* target) {
        std::lock_guard<std::mutex> lock(targetMutex_);
        target_.store(target ? target : &store_);
    }
    ParamStore& target() const { return *target_.load(); }

    // 1 after the unit reported a changed parameter (response 9); the
    // connection sequence clears it.
    std::atomic<int> paramsChanged{0};
    // 1 once the parameter error has been shown; never cleared.
    std::atomic<int> errorShown{0};

    // The text of the parameter error for error code, block and index.
    static std::string parameterErrorText(std::uint8_t code, std::uint8_t block,
                                          std::uint8_t index);

  private:
    struct Hooks {
        ParameterErrorHandler parameterError;
        RemoteKeyHandler remoteKey;
        HomeEventHandler homeEvent;
        ReportHook homeFrame;
        ReportHook homeMemory;
    };

    std::shared_ptr<const Hooks> hooks() const;
    void updateHooks(const std::function<void(Hooks&)>& change);

    void readBack(const Report& r);
    void registerData(const Report& r);
    void modeName(const Report& r);
    void homeFrame(const Report& r);

    // With an answer armed: whether `r` may be applied (the answer, or a
    // report that answers no read); a garbled one is told at once, the
    // answer once it is applied.
    enum class Admission { Apply, ApplyAndTell, Drop };
    Admission admit(const Report& r);
    void tellAnswered();

    ParamStore& store_;
    std::atomic<ParamStore*> target_;
    // Held while a report is dispatched: a target is never left mid-report.
    std::mutex targetMutex_;
    Link& link_;
    std::mutex answerMutex_;
    std::condition_variable answerCv_;
    bool armed_ = false;
    ExpectedAnswer expected_;
    AnswerSeen seen_ = AnswerSeen::Nothing;
    mutable std::mutex hooksMutex_;
    std::shared_ptr<const Hooks> hooks_;
};

}  // namespace v36
