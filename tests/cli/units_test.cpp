// v36ctl on several units at once: discovery, the selectors, the refusal
// without one, and one command to every unit. Most runs are in-process
// against virtual units the test keeps, so that each unit's state and
// traffic can be looked at between runs.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/units.h"
#include "cli_fixture.h"
#include "sim/virtual_units.h"

namespace v36::test {
namespace {

class UnitsCli : public ::testing::Test {
  protected:
    // Three units, SIM0001..SIM0003, unless a test names other serials.
    void SetUp() override { attach({"SIM0001", "SIM0002", "SIM0003"}); }

    void attach(const std::vector<std::string>& serials) {
        VirtualUnitConfig base;
        base.latency = std::chrono::microseconds(200);
        std::vector<VirtualUnitConfig> configs =
            virtualUnitConfigs(static_cast<int>(serials.size()), base);
        for (std::size_t i = 0; i < serials.size(); ++i)
            configs[i].serial = serials[i];
        units_ = std::make_unique<VirtualUnits>(std::move(configs));
    }

    Outcome run(const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream err;
        cli::RunEnvironment env;
        env.out = &out;
        env.err = &err;
        env.units = units_.get();
        Outcome r;
        r.exitCode = cli::run(args, env);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    // The units (1-based, as listed) that were written to since the last call.
    std::vector<int> unitsTalkedTo() {
        std::vector<int> talked;
        for (std::size_t i = 0; i < units_->size(); ++i) {
            if (!units_->unit(i).received().empty()) talked.push_back(static_cast<int>(i + 1));
            units_->unit(i).clearTraffic();
        }
        return talked;
    }

    // What unit `n` holds for micVolume, read through the tool.
    std::string micVolumeOf(int n) {
        const Outcome r = run({"--device", std::to_string(n), "get", "micVolume"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }

    std::unique_ptr<VirtualUnits> units_;
};

TEST_F(UnitsCli, ListShowsEveryUnitInPathOrder) {
    Outcome r = run({"list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "1  SIM0001  virtual:v36/1  V36, protocol 12, mode M1 (KTV)\n"
              "2  SIM0002  virtual:v36/2  V36, protocol 12, mode M1 (KTV)\n"
              "3  SIM0003  virtual:v36/3  V36, protocol 12, mode M1 (KTV)\n");

    units_->unit(1).setModel("V99");
    r = run({"list", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]["index"], 1);
    EXPECT_EQ(list[0]["serial"], "SIM0001");
    EXPECT_EQ(list[0]["path"], "virtual:v36/1");
    EXPECT_EQ(list[0]["model"], "V36");
    EXPECT_EQ(list[0]["protocol"], 12);
    EXPECT_EQ(list[0]["mode"], 1);
    EXPECT_TRUE(list[0]["error"].is_null());
    // A unit of another model is listed with the reason it would be refused.
    EXPECT_TRUE(list[1]["model"].is_null());
    EXPECT_NE(list[1]["error"].get<std::string>().find("V99"), std::string::npos) << list[1];
    EXPECT_EQ(list[2]["serial"], "SIM0003");

    // None attached: an empty list, and a word on the error stream.
    for (std::size_t i = 0; i < units_->size(); ++i)
        units_->unit(i).unplug();
    r = run({"list", "--json"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "[]\n");
    EXPECT_EQ(r.err, "v36ctl: no unit attached\n");
}

// With no unit attached, a dry run of an import still reads the file: each
// line's fate against the EQ's bands as a reset leaves them. The import
// itself needs the unit.
TEST_F(UnitsCli, ADryRunImportWithoutAUnitFitsTheFileToTheEqsLayout) {
    for (std::size_t i = 0; i < units_->size(); ++i)
        units_->unit(i).unplug();
    const std::string text = ::testing::TempDir() + "v36-layout-dry-run.txt";
    std::ofstream(text) << "Filter 1: ON PK Fc 1 kHz Gain -3 dB Q 1.41\n"
                           "Filter 2: ON NO Fc 50 Hz\n";
    Outcome r = run({"eq", "import", "0", text, "--dry-run"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("line 1    band 1        Filter 1: ON PK"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("line 2    skipped       Filter 2: ON NO"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("band 1: type 1, 1000Hz, -3.0dB, Q 1.41"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("no unit attached: the file is fitted to the bands of EQ 0"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("dry run: 1 band would differ from the reset bands; nothing sent"),
              std::string::npos)
        << r.err;

    r = run({"eq", "import", "0", text});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("line 1"), std::string::npos) << r.out;
    std::remove(text.c_str());
}

TEST_F(UnitsCli, DeviceSelectsByIndexSerialOrPath) {
    struct Case {
        std::string selector;
        int unit;  // 0: refused with the list
        std::string message;
    };
    const std::vector<Case> cases = {
        {"2", 2, ""},
        {"SIM0003", 3, ""},
        {"sim0001", 1, ""},  // ASCII case is ignored, as in paths
        {"virtual:v36/2", 2, ""},
        {"9", 0, "--device: no unit has the index, serial number or path \"9\""},
        {"SIM0009", 0, "--device: no unit has the index, serial number or path \"SIM0009\""},
        {"", 0, "--device: an empty selector names no unit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("--device \"" + c.selector + "\"");
        unitsTalkedTo();
        const Outcome r = run({"--device", c.selector, "info"});
        if (c.unit != 0) {
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(unitsTalkedTo(), std::vector<int>{c.unit});
            continue;
        }
        EXPECT_EQ(r.exitCode, cli::kExitUsage);
        EXPECT_EQ(r.err, "v36ctl: " + c.message +
                             "\n"
                             "v36ctl: the attached units:\n"
                             "v36ctl:   1  SIM0001  virtual:v36/1\n"
                             "v36ctl:   2  SIM0002  virtual:v36/2\n"
                             "v36ctl:   3  SIM0003  virtual:v36/3\n");
        EXPECT_TRUE(unitsTalkedTo().empty());
    }
}

TEST_F(UnitsCli, AmbiguousSelectorsChooseNothing) {
    // Two units with one serial, and a serial that is another unit's index;
    // a unit without a serial is never chosen by an empty one.
    attach({"DUP", "DUP", "1", ""});
    struct Case {
        std::string selector;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"DUP", "\"DUP\" fits the units 1, 2: choose one by its index or path"},
        {"1", "\"1\" fits the units 1, 3: choose one by its index or path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selector);
        const Outcome r = run({"--device", c.selector, "set", "micVolume", "7"});
        EXPECT_EQ(r.exitCode, cli::kExitUsage);
        EXPECT_EQ(r.err.rfind("v36ctl: --device: " + c.message + "\n", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("v36ctl:   4  (no serial)  virtual:v36/4\n"), std::string::npos)
            << r.err;
        EXPECT_TRUE(unitsTalkedTo().empty());
    }
    // The unit without a serial is still reached by its index or path.
    const Outcome r = run({"--device", "virtual:v36/4", "set", "micVolume", "7"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(unitsTalkedTo(), std::vector<int>{4});
}

TEST_F(UnitsCli, SeveralUnitsWithoutDeviceRefuseChangesAndReadTheFirst) {
    // Commands that change a unit name it, or go to all.
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"set", "micVolume", "7"},
                                               {"mode", "recall", "2"},
                                               {"eq", "set", "5", "1", "--gain", "3"}}) {
        SCOPED_TRACE(args.front());
        const Outcome r = run(args);
        EXPECT_EQ(r.exitCode, cli::kExitUsage);
        EXPECT_EQ(r.err.rfind("v36ctl: 3 units are attached: choose one with --device or use "
                              "--all\nv36ctl: the attached units:\n",
                              0),
                  0u)
            << r.err;
        EXPECT_TRUE(unitsTalkedTo().empty());
    }
    // A change that has no --all says only --device.
    Outcome r = run({"mode", "store", "2"});
    EXPECT_EQ(r.exitCode, cli::kExitUsage);
    EXPECT_EQ(r.err.rfind("v36ctl: 3 units are attached: choose one with --device\n", 0), 0u);

    // Reading commands take the first and say so.
    r = run({"get", "micVolume"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "v36ctl: 3 units are attached: using 1 (SIM0001, virtual:v36/1)\n");
    EXPECT_EQ(unitsTalkedTo(), std::vector<int>{1});

    // --device and --all contradict each other.
    r = run({"--device", "2", "set", "--all", "micVolume", "7"});
    EXPECT_EQ(r.exitCode, cli::kExitUsage);
    EXPECT_TRUE(unitsTalkedTo().empty());
}

TEST_F(UnitsCli, SetReachesOnlyTheChosenUnitAndAllReachesEveryUnit) {
    const std::string before = micVolumeOf(1);
    ASSERT_NE(before, "17\n");
    unitsTalkedTo();

    Outcome r = run({"--device", "SIM0002", "set", "micVolume", "17"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "17\n");
    EXPECT_EQ(unitsTalkedTo(), std::vector<int>{2});
    EXPECT_EQ(micVolumeOf(1), before);
    EXPECT_EQ(micVolumeOf(2), "17\n");
    EXPECT_EQ(micVolumeOf(3), before);

    r = run({"set", "--all", "micVolume", "23"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1 SIM0001: ok\n2 SIM0002: ok\n3 SIM0003: ok\n");
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(micVolumeOf(n), "23\n") << "unit " << n;

    // The EQ commands and a recall go to every unit the same way.
    r = run({"eq", "set", "--all", "5", "1", "--gain", "3"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1 SIM0001: ok\n2 SIM0002: ok\n3 SIM0003: ok\n");
    r = run({"mode", "recall", "--all", "3"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (std::size_t i = 0; i < units_->size(); ++i)
        EXPECT_EQ(units_->unit(i).currentMode(), 2) << "unit " << i + 1;
}

TEST_F(UnitsCli, AllGoesOnWhenOneUnitIsGone) {
    units_->unit(2).setModel("V99");
    const Outcome r = run({"set", "--all", "micVolume", "29"});
    EXPECT_EQ(r.exitCode, cli::kExitFailure);
    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::string> got;
    while (std::getline(lines, line))
        got.push_back(line);
    ASSERT_EQ(got.size(), 3u) << r.out;
    EXPECT_EQ(got[0], "1 SIM0001: ok");
    EXPECT_EQ(got[1], "2 SIM0002: ok");
    EXPECT_EQ(got[2].rfind("3 SIM0003: ", 0), 0u);
    EXPECT_NE(got[2].find("V99"), std::string::npos) << got[2];
    EXPECT_EQ(micVolumeOf(1), "29\n");
    EXPECT_EQ(micVolumeOf(2), "29\n");
}

// The program's own virtual units: a silent second unit fails alone.
TEST_F(Cli, SimFaultOnOneOfSeveralVirtualUnits) {
    Outcome r = run({"--simulate", "--sim-units", "3", "--sim-fault", "2:silent", "set", "--all",
                     "micVolume", "11"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out,
              "1 SIM0001: ok\n"
              "2 SIM0002: the unit does not answer\n"
              "3 SIM0003: ok\n");

    r = run({"--simulate", "--sim-units", "3", "list"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("3  SIM0003  virtual:v36/3"), std::string::npos) << r.out;

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> refused = {
        {{"--simulate", "--sim-units", "0", "list"},
         "--sim-units: the number of virtual units runs from 1 to 64"},
        {{"--simulate", "--sim-units", "2", "--sim-fault", "3:silent", "list"},
         "--sim-fault: there is no virtual unit 3: they are numbered 1 to 2"},
        {{"--sim-units", "2", "list"},
         "--sim-units, --sim-latency and --sim-fault need --simulate"},
    };
    for (const Case& c : refused) {
        r = run(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, "v36ctl: " + c.message + "\n");
    }
}

}  // namespace
}  // namespace v36::test
