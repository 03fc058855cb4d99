#pragma once

#include <CLI/CLI.hpp>

namespace v36::cli {

// Exit codes of v36ctl.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // a device or file error
constexpr int kExitUsage = 2;

// Checks that an option's value is a finite number (not nan or inf); put
// on every option that takes a number with a fraction.
CLI::Validator finiteNumber();

// Runs the command line; results on standard output, messages on standard
// error.
int run(int argc, char** argv);

}  // namespace v36::cli
