#pragma once

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace v36::cli {

class Connection;

// `eq get EQ` and `eq set EQ BAND [--type T] [--freq F] [--gain G] [--q Q]`.
struct EqArgs {
    int eq = 0;
    int band = 1;  // 1-based, as the graph numbers its bands
    int type = 0;
    double freq = 0.0;
    double gain = 0.0;
    double q = 0.0;
    bool json = false;
    CLI::Option* typeOpt = nullptr;
    CLI::Option* freqOpt = nullptr;
    CLI::Option* gainOpt = nullptr;
    CLI::Option* qOpt = nullptr;

    // Checks the numbers; on failure prints the reason and sets exitCode.
    bool valid(bool isSet, int& exitCode) const;
};

void addEqCommands(CLI::App& app, EqArgs& args, CLI::App*& get, CLI::App*& set);
int runEq(Connection& unit, const EqArgs& args, bool isSet);

}  // namespace v36::cli
