#pragma once

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

namespace v36 {
class LinkBackend;
}

namespace v36::cli {

// Exit codes of v36ctl.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // a device or file error
constexpr int kExitUsage = 2;

// Checks that an option's value is a finite number (not nan or inf); put
// on every option that takes a number with a fraction.
CLI::Validator finiteNumber();

// Where a run writes, and the units it talks to.
struct RunEnvironment {
    std::ostream* out = &std::cout;  // results
    std::ostream* err = &std::cerr;  // messages
    // The units to use instead of the ones the run would find (the USB
    // units, or virtual units of its own with --simulate); not owned. Tests
    // and benchmarks keep virtual units across runs this way.
    LinkBackend* units = nullptr;
};

// Runs the command line; results on standard output, messages on standard
// error.
int run(int argc, char** argv);
// Runs the command line `args` (without the program's name).
int run(const std::vector<std::string>& args, const RunEnvironment& env);

}  // namespace v36::cli
