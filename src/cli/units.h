#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/connection.h"
#include "link/backend.h"

namespace v36::cli {

class Io;

// What a command does with one open unit. The same function serves a run
// on one unit and every unit of --all (then on several threads at once,
// each with its own Connection and Io).
using UnitCommand = std::function<int(Connection&, Io&)>;

// Opens the unit `options` names, runs `command` on it and, when the
// command went well, checks that the unit answered throughout.
int runOnUnit(const ConnectionOptions& options, const UnitCommand& command, Io& io);

// --all: `command` on every unit of `units` at once, each on its own
// connection (`options` with the unit's path). Then one line per unit on
// io.out in list order, "1 SIM0001: ok" or "2 SIM0002: <why it failed>",
// with the unit's messages on the error stream. kExitFailure when any unit
// failed; the others are done all the same.
int runOnEveryUnit(const std::vector<UnitListing>& units, const ConnectionOptions& options,
                   const UnitCommand& command, Io& io);

// `list [--json]`: every attached unit, identified each on its own
// connection: index, serial, path, model, protocol, current mode, or why
// it could not be identified.
int runList(const ConnectionOptions& options, bool json, Io& io);

// How a command may be pointed at a unit.
struct UnitRequest {
    std::optional<std::string> device;  // --device SELECTOR
    bool all = false;                   // --all
    bool readOnly = false;              // info, get, pull, ...: the first of several will do
    bool allowsAll = false;             // the command takes --all
};

// The units a command goes to, or the exit code that ends the run here.
struct UnitChoice {
    std::optional<int> exitCode;     // set: stop with this code
    std::vector<UnitListing> units;  // --all: every unit
    std::string path;                // one unit; empty: the first that opens
    bool none = false;               // the list was read and holds no unit
};

// Lists the attached units and picks what `request` asks for: the unit of
// --device (an unknown or ambiguous selector is a usage error that lists
// the units), every unit for --all, the only unit, or with several the
// first for a read-only command (said on the error stream) and none for a
// command that changes a unit.
UnitChoice chooseUnits(LinkBackend& backend, const UnitRequest& request, bool debugTrace, Io& io);

}  // namespace v36::cli
