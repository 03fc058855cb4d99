// The fault matrix as the command-line tool meets it: a broken unit, a
// target that cannot be written. Each run ends in time with exit code 1 and
// a message that says what happened, and no existing preset is harmed.
#include <chrono>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace v36::test {
namespace {

using Clock = std::chrono::steady_clock;

struct FaultCase {
    const char* name;
    std::vector<std::string> faults;  // --sim-fault values
    const char* command;              // "pull", "push" or "info"
    const char* target;               // the file pulled to or pushed from
    const char* message;              // part of what the tool says
    const char* prefix = "";          // shell set-up before the tool
};

TEST_F(Cli, FaultMatrix) {
    // The preset that must survive every failed pull onto it.
    const std::string preset = defaultModeFile("preset.ev36");
    const std::string before = slurp(preset);
    fs::create_directories(file("protected"));
    const std::string locked = defaultModeFile("protected/locked.ev36");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    const FaultCase cases[] = {
        {"silent unit", {"silent"}, "pull", "preset.ev36", "the unit does not answer"},
        {"unplugged during the pull",
         {"unplug-after=100"},
         "pull",
         "preset.ev36",
         "the unit was disconnected"},
        {"unplugged during the push",
         {"unplug-after=120"},
         "push",
         "preset.ev36",
         "the unit was disconnected"},
        {"garbage answers",
         {"garbage=100"},
         "pull",
         "preset.ev36",
         "the unit's answers arrive garbled: check the cable or the USB port"},
        {"wrong model", {"model=V35"}, "pull", "preset.ev36", "model \"V35\", not V36"},
        {"wrong protocol", {"protocol=11"}, "push", "preset.ev36", "speaks protocol 11"},
        {"write-protected target", {}, "pull", "protected/locked.ev36", "cannot write"},
        {"target folder gone", {}, "pull", "gone/away/x.ev36", "cannot write"},
        // The file system refuses the write after its first kilobyte.
        {"save interrupted",
         {},
         "pull",
         "preset.ev36",
         "cannot write",
         "trap '' XFSZ; ulimit -f 1; "},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"--simulate"};
        for (const std::string& f : c.faults) {
            args.push_back("--sim-fault");
            args.push_back(f);
        }
        args.push_back(c.command);
        if (std::string(c.command) == "pull") args.push_back("-o");
        args.push_back(file(c.target).string());
        const auto start = Clock::now();
        const Outcome r = run(args, c.prefix);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(slurp(preset), before);
    }
    EXPECT_EQ(slurp(locked), before);
    EXPECT_FALSE(fs::exists(file("gone")));
}

// Reports lost or garbled on the way are asked for again: the pull
// succeeds and what it saves is the unit's state, every value of it.
TEST_F(Cli, LossyLinksStillPullTheWholeUnit) {
    const Outcome clean = run({"--simulate", "pull", "-o", file("clean.ev36").string()});
    ASSERT_EQ(clean.exitCode, 0) << clean.err;
    int n = 0;
    for (const char* fault : {"drop=5", "drop=20", "garbage=5", "garbage=20"}) {
        SCOPED_TRACE(fault);
        const std::string out = file("lossy" + std::to_string(++n) + ".ev36").string();
        const Outcome r = run({"--simulate", "--sim-fault", fault, "pull", "-o", out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(slurp(out), slurp(file("clean.ev36")));
    }
    // A set reads the unit first: it goes through a lossy link too.
    const Outcome set = run({"--simulate", "--sim-fault", "drop=20", "set", "musicVolume", "55"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out, "55\n");
}

TEST_F(Cli, NumbersThatAreNotFiniteAreRefused) {
    const std::vector<std::vector<std::string>> commands = {
        {"design", "--type", "1", "--freq", "1000", "--q", "nan", "--gain", "0"},
        {"design", "--type", "1", "--freq", "inf", "--q", "1", "--gain", "0"},
        {"design", "--type", "1", "--freq", "1000", "--q", "1", "--gain", "-inf"},
        {"--simulate", "eq", "set", "5", "3", "--q", "nan"},
        {"--simulate", "eq", "set", "5", "3", "--gain", "inf"},
        {"--simulate", "eq", "set", "5", "3", "--freq", "NaN"},
        {"--simulate", "set", "outSub.compRatio", "nan"},
        {"--simulate", "set", "echoATime[0]", "inf"},
        {"--simulate", "--sim-latency", "nan", "info"},
    };
    for (const auto& args : commands) {
        const Outcome r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args[args.size() - 2] << " " << args.back() << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

}  // namespace
}  // namespace v36::test
