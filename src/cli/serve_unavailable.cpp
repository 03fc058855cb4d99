// serve in a build without Qt (the room remote's server is Qt): the command
// is known, takes whatever it is given, and says it is not available.
#include <CLI/CLI.hpp>

#include "cli/cli.h"
#include "cli/serve.h"

namespace v36::cli {

namespace {

constexpr const char* kUnavailable =
    "serve is not available in this build (the room remote's server needs Qt)";

}  // namespace

void addServeCommand(CLI::App& app, ServeArgs& args) {
    args.command =
        app.add_subcommand("serve", "Serve the room remote (not available in this build)");
    args.command->allow_extras();
}

std::string checkServeArgs(const ServeArgs&) {
    return kUnavailable;
}

void holdStopSignals() {}

int runServe(Connection&, const ServeArgs&) {
    std::cerr << "v36ctl: " << kUnavailable << "\n";
    return kExitUsage;
}

int runServeAll(const std::vector<UnitListing>&, const ConnectionOptions&, const ServeArgs&) {
    std::cerr << "v36ctl: " << kUnavailable << "\n";
    return kExitUsage;
}

}  // namespace v36::cli
