#pragma once

namespace v36::cli {

// Exit codes of v36ctl.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // a device or file error
constexpr int kExitUsage = 2;

// Runs the command line; results on standard output, messages on standard
// error.
int run(int argc, char** argv);

}  // namespace v36::cli
