#pragma once

#include <optional>
#include <string>

#include "protocol/eq_text.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace v36::cli {

class EditTarget;
class Io;

// `eq get EQ`, `eq set EQ BAND [--type T] [--freq F] [--gain G] [--q Q]`,
// `eq export EQ [-o FILE]`, `eq import EQ FILE [--channel NAME] [--dry-run]`
// and `eq copy FROM TO`; set, import and copy also with --all.
struct EqArgs {
    int eq = 0;    // the EQ; the source of a copy
    int to = 0;    // the target of a copy
    int band = 1;  // 1-based, as the graph numbers its bands
    int type = 0;
    double freq = 0.0;
    double gain = 0.0;
    double q = 0.0;
    bool json = false;
    std::string output;    // export
    std::string textFile;  // import
    std::string channel;   // import
    bool dryRun = false;   // import
    bool all = false;      // set, import and copy: on every attached unit
    CLI::Option* typeOpt = nullptr;
    CLI::Option* freqOpt = nullptr;
    CLI::Option* gainOpt = nullptr;
    CLI::Option* qOpt = nullptr;
    CLI::Option* channelOpt = nullptr;
    CLI::App* get = nullptr;
    CLI::App* set = nullptr;
    CLI::App* exportText = nullptr;
    CLI::App* importText = nullptr;
    CLI::App* copy = nullptr;

    // Filled by prepare: the import file as read, and its Channel section.
    std::optional<EqTextParse> parsed;
    std::optional<int> channelIndex;

    // Whether an eq command was given, and whether it only reads.
    bool given() const;
    bool readOnly() const;
    // Checks the numbers and reads the file an import takes, before any unit
    // is opened; on failure prints the reason and sets exitCode.
    bool prepare(Io& io, int& exitCode);
};

// The eq commands; `modeFile` takes their --file option.
void addEqCommands(CLI::App& app, EqArgs& args, std::string& modeFile);
int runEq(EditTarget& target, const EqArgs& args, Io& io);
// `eq import EQ FILE --dry-run` with no unit attached and no --file: each
// line's fate against the EQ's bands as a reset leaves them.
int runImportOnLayout(const EqArgs& args, Io& io);

}  // namespace v36::cli
