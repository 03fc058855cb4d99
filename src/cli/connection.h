#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "protocol/param_store.h"
#include "protocol/senders.h"
#include "sim/virtual_unit.h"

namespace v36 {
class DeviceContext;
}

namespace v36::cli {

struct ConnectionOptions {
    bool simulate = false;
    bool trace = false;       // TX/RX lines on standard error
    bool debugTrace = false;  // the link's debug traces on standard error
    VirtualUnitConfig unit;   // the virtual unit's latency and faults
    // The units to open, shared with other connections and not owned
    // (null: the connection's own, USB or one virtual unit as `simulate` says).
    LinkBackend* backend = nullptr;
    std::string path;  // the unit to open, as listed; empty: the first that opens
    // Where the run's messages go, one line each without the program's name
    // (the unit's parameter errors come from the read thread); standard
    // error when empty.
    std::function<void(const std::string&)> note;
};

// A unit that left this many writes in a row unanswered (2.5 s each) is
// given up: the run ends instead of waiting on every report.
constexpr int kGiveUpAfterWrites = 3;

// One run's link to the unit (or to the virtual unit): opens it, runs the
// connection sequence's steps and closes it again, telling the unit so.
class Connection {
  public:
    explicit Connection(const ConnectionOptions& options);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Finds and opens the unit; the error says why not (no unit, no
    // permission and how to grant it, ...).
    bool open(std::string& error);
    // Asks for the model, protocol, versions, mode, inputs; fails on a unit
    // of another model or protocol.
    bool identify(std::string& error);
    // identify, then read every parameter, register page and setting.
    bool pull(std::string& error);
    // Whether the unit went away under the run (unplugged, switched off).
    bool gone();
    // Opens the unit again after it went away and pulls it; false with the
    // reason while it is still away.
    bool reopen(std::string& error);
    // Loads a mode file and writes all of it to the unit; with
    // `defaultModes` a default-mode file name also stores it into its mode.
    bool pushFile(const std::filesystem::path& file, bool defaultModes, std::string& error);
    bool recallMode(int mode, std::string& error);  // 0..3, then pulls
    bool storeMode(int mode, std::string& error);   // 0..3
    bool saveRemote(const std::filesystem::path& file, std::string& error);
    bool loadRemote(const std::filesystem::path& file, std::string& error);
    // Prints what the unit reported (after identify).
    bool printInfo(bool json, std::ostream& out);
    // Waits until the unit has answered everything sent so far.
    void finishWrites();
    // False, with "the unit does not answer", once the unit was given up.
    bool answered(std::string& error);

    // The USB serial number of the unit the run talks to ("" when it has
    // none).
    std::string serial();

    ParamStore& store();
    Senders& senders();
    DeviceContext& context();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace v36::cli
