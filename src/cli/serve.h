#pragma once

#include <string>
#include <vector>

#include "cli/connection.h"

namespace CLI {
class App;
}  // namespace CLI

namespace v36::cli {

class Connection;

// `serve [--port N] [--pair-code CODE] [--listen ADDRESS]`: the room remote
// without a desktop, for a small computer left beside the unit.
struct ServeArgs {
    CLI::App* command = nullptr;
    int port = 8036;
    std::string pairCode;  // empty: a new random code
    std::string listen;    // empty: every address of the machine
    // The broker bridge: the unit as a room on an MQTT broker.
    std::string mqtt;  // empty: no broker
    // --room NAME, or with --all --room SERIAL=NAME (repeatable); a unit
    // not named is called by its serial number.
    std::vector<std::string> rooms;
    std::string passwordFile;
    std::string caFile;
    std::string discoveryPrefix = "homeassistant";
    bool noDiscovery = false;
    bool noPhone = false;
    bool forget = false;
};

void addServeCommand(CLI::App& app, ServeArgs& args);
// Checks the options before any unit is opened; the reason when they do not fit.
std::string checkServeArgs(const ServeArgs& args);
// Keeps Ctrl+C and SIGTERM for the server to read: run before the unit is
// opened, so that no thread of the run takes them.
void holdStopSignals();
// Pulls the unit, then serves until interrupted.
int runServe(Connection& unit, const ServeArgs& args);
// --all: every unit of `units` on the broker, each a room, each on its own
// connection (`options` with the unit's path).
int runServeAll(const std::vector<UnitListing>& units, const ConnectionOptions& options,
                const ServeArgs& args);

}  // namespace v36::cli
