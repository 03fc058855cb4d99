#pragma once

#include <atomic>
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

    ParamStore& store_;
    Link& link_;
    mutable std::mutex hooksMutex_;
    std::shared_ptr<const Hooks> hooks_;
};

}  // namespace v36
