#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "build_info.h"
#include "cli_fixture.h"
#include "protocol/mode_file.h"
#include "protocol/words.h"

namespace v36 {
namespace {

using test::Cli;
using test::Outcome;
using test::slurp;
namespace fs = std::filesystem;

TEST_F(Cli, InfoIdentifiesTheVirtualUnit) {
    const Outcome r = run({"--simulate", "info", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"model\":\"V36\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"protocol\":12"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"modeNames\":["), std::string::npos) << r.out;
}

TEST_F(Cli, PullDumpPushRoundTrip) {
    const std::string saved = file("unit.ev36").string();
    Outcome r = run({"--simulate", "pull", "-o", saved});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(fs::file_size(saved), kModeFileSizeV2);

    r = run({"dump", saved});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("outMain.level[0] = "), std::string::npos);
    EXPECT_NE(r.out.find("crossover[Main L].highPass = type 3, 500 Hz"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("eq[5].band[24] = type 1, 20000 Hz"), std::string::npos) << r.out;

    r = run({"--simulate", "push", saved});
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(Cli, PushSendsTheFilesSourcesAndStoresDefaultModes) {
    // The file's music source and HDMI input must reach the unit, whatever the
    // unit answers while it is identified; a default-mode name is then stored.
    ParamStore start;
    start.resetToDefaults();
    start.musicSource = 3;
    start.hdmiInput = 2;
    struct Case {
        const char* name;
        std::vector<std::string> options;
        bool stored;
    };
    const Case cases[] = {
        {"M3 venue.ev36", {}, true},
        {"m5.ev36", {}, false},
        {"M3 venue.ev36", {"--no-store"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path saved = file(c.name);
        ASSERT_TRUE(saveModeFile(start, saved).ok());
        std::vector<std::string> args{"--simulate", "--trace", "push", saved.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Outcome r = run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find("\nTX 02 0B 03 00"), std::string::npos);
        EXPECT_NE(r.err.find("\nTX 02 10 02 00"), std::string::npos);
        const std::size_t set = r.err.find("\nTX 02 03 02 00");
        const std::size_t store = r.err.find("\nTX 02 04 02 00");
        EXPECT_EQ(set != std::string::npos, c.stored);
        EXPECT_EQ(store != std::string::npos, c.stored);
        if (c.stored) {
            EXPECT_LT(set, store);
        }
        EXPECT_EQ(r.err.find("\nTX 02 0B 00 00"), std::string::npos);
    }
}

TEST_F(Cli, SetSendsThroughTheSendersAndGetReadsTheUnit) {
    // A unit that starts from a mode file with known values.
    ParamStore start;
    start.resetToDefaults();
    start.params.setInt(w::micVolume, 33);
    const fs::path state = file("state.ev36");
    ASSERT_TRUE(saveModeFile(start, state).ok());

    Outcome r = run({"--simulate", "--sim-state", state.string(), "get", "micVolume"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "33\n");

    r = run({"--simulate", "--trace", "set", "outMain.level[0]", "42"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "42\n");
    // 0.42 as a big-endian single to 5.28.
    EXPECT_NE(r.err.find("TX 02 09 00 05 1C 01 3E D7 0A 3D 00"), std::string::npos);

    // Every trace line is a direction and 61 bytes in hex.
    auto isTraceLine = [](const std::string& l) {
        if (l.size() != 2 + 61 * 3 || (l.rfind("TX", 0) != 0 && l.rfind("RX", 0) != 0)) {
            return false;
        }
        for (std::size_t i = 2; i < l.size(); i += 3) {
            if (l[i] != ' ' || !std::isxdigit(static_cast<unsigned char>(l[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(l[i + 2])) || std::islower(l[i + 1]) ||
                std::islower(l[i + 2])) {
                return false;
            }
        }
        return true;
    };
    std::istringstream lines(r.err);
    std::string l;
    int count = 0;
    while (std::getline(lines, l)) {
        EXPECT_TRUE(isTraceLine(l)) << l;
        ++count;
    }
    EXPECT_GT(count, 300);
}

TEST_F(Cli, RemoteLoadTakesOnlyTheEighteenByteTable) {
    struct Case {
        const char* name;
        std::string bytes;
        int exitCode;
    };
    const Case cases[] = {
        {"empty.remo", "", 1},
        {"short.remo", std::string(17, '\x05'), 1},
        {"long.remo", std::string(1800, '\x07'), 1},
        {"keys.remo", std::string(18, '\x09'), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome r = run({"--simulate", "--trace", "remote", "load", write(c.name, c.bytes)});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        // Command 99 carries the table to the unit: only for the table.
        const bool sent = r.err.find("TX 02 63") != std::string::npos;
        EXPECT_EQ(sent, c.exitCode == 0);
        if (c.exitCode != 0) {
            EXPECT_NE(
                r.err.find("not a remote data file (" + std::to_string(c.bytes.size()) + " bytes"),
                std::string::npos)
                << r.err;
        }
    }
}

TEST_F(Cli, EqSetWritesTheBandRecordAndItsSection) {
    const Outcome r = run({"--simulate", "--trace", "eq", "set", "5", "1", "--gain", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("TX 02 85 01 FF 07 00 B4 00 19 05 86 01 00"), std::string::npos);
    EXPECT_NE(r.err.find("TX 02 09 00 05 00 05 "), std::string::npos);
    EXPECT_NE(r.out.find("band 1: type 1, 25Hz, +3.0dB, Q 1.41"), std::string::npos) << r.out;
}

TEST_F(Cli, DesignPrintsCoefficientsAndTheReport) {
    const Outcome r = run({"design", "--type", "6", "--freq", "1000", "--q", "0.707", "--gain", "0",
                           "--bank", "5", "--index", "3", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"a1\":-1.77876", 0), 0u) << r.out;
    // -A1 and B0 as the worked Chebyshev section sends them.
    EXPECT_NE(r.out.find("\"report\":\"02 09 00 05 03 05 3F E3 AE A1"), std::string::npos);
    EXPECT_NE(r.out.find("3B E6 44 41"), std::string::npos);
}

TEST_F(Cli, JsonFormsMirrorTheTextForms) {
    // A file whose fields differ from the defaults in a word, a band and the room.
    ParamStore changed;
    changed.resetToDefaults();
    changed.params.setInt(w::micVolume, 33);
    SoundFieldGeometry room = changed.soundField.get();
    room.listenerX = 1.7f;
    changed.soundField.set(room);
    changed.encodeSoundField();
    const fs::path a = file("a.ev36");
    const fs::path b = file("b.ev36");
    ParamStore defaults;
    defaults.resetToDefaults();
    ASSERT_TRUE(saveModeFile(defaults, a).ok());
    ASSERT_TRUE(saveModeFile(changed, b).ok());

    // dump: the same fields in the same order, integers as integers and the
    // singles as the same singles.
    const Outcome text = run({"dump", b.string()});
    const Outcome json = run({"dump", b.string(), "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto dump = nlohmann::ordered_json::parse(json.out);
    std::istringstream lines(text.out);
    std::string line;
    auto field = dump.begin();
    while (std::getline(lines, line)) {
        ASSERT_NE(field, dump.end()) << line;
        const std::size_t eq = line.find(" = ");
        EXPECT_EQ(line.substr(0, eq), field.key());
        const std::string value = line.substr(eq + 3);
        if (field->is_number_integer()) {
            EXPECT_EQ(value, std::to_string(field->get<long long>())) << line;
        } else if (field->is_number()) {
            EXPECT_EQ(std::stof(value), field->get<float>()) << line;
        } else {
            EXPECT_TRUE(field->is_object() && field->contains("q")) << line;
        }
        ++field;
    }
    EXPECT_EQ(field, dump.end());
    EXPECT_EQ(dump["micVolume"], 33);
    EXPECT_EQ(dump["room.listenerX"].get<float>(), 1.7f);

    // diff: the changed fields only, each as its pair of values.
    const Outcome diff = run({"diff", a.string(), b.string(), "--json"});
    ASSERT_EQ(diff.exitCode, 0) << diff.err;
    const auto pairs = nlohmann::ordered_json::parse(diff.out);
    EXPECT_EQ(pairs["micVolume"], nlohmann::json::array({defaults.params.getInt(w::micVolume), 33}))
        << diff.out;
    EXPECT_EQ(pairs["room.listenerX"][1].get<float>(), 1.7f) << diff.out;
    EXPECT_EQ(pairs.size(), 2u) << diff.out;

    // eq get: one object per band of the text form.
    const Outcome bands = run({"--simulate", "eq", "get", "5", "--json"});
    ASSERT_EQ(bands.exitCode, 0) << bands.err;
    const auto eq = nlohmann::ordered_json::parse(bands.out);
    EXPECT_EQ(eq["eq"], 5);
    ASSERT_EQ(eq["bands"].size(), 24u);
    EXPECT_EQ(eq["bands"][23]["freq"].get<float>(), 20000.0f);
}

TEST_F(Cli, VersionIsTheBuildsOwn) {
    const Outcome r = run({"--version"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::string("v36ctl ") + kVersion + "\n");
}

TEST_F(Cli, ErrorsAndTheirExitCodes) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const Case cases[] = {
        {{}, 2},
        {{"frobnicate"}, 2},
        {{"design", "--freq", "1000"}, 2},
        {{"--simulate", "set", "noSuchField", "1"}, 2},
        {{"--simulate", "set", "musicPitch", "9"}, 2},
        {{"--sim-state", "x.ev36", "info"}, 2},
        {{"dump", "/nonexistent/missing.ev36"}, 1},
        {{"--simulate", "push", "/nonexistent/missing.ev36"}, 1},
        {{"--simulate", "serve", "--pair-code", "12345"}, 2},
        {{"--simulate", "serve", "--pair-code", "12345a"}, 2},
        {{"--simulate", "serve", "--listen", "phone.local"}, 2},
        {{"--simulate", "serve", "--port", "65536"}, 2},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        std::string joined;
        for (const auto& a : c.args)
            joined += a + " ";
        EXPECT_EQ(r.exitCode, c.exitCode) << joined << "\n" << r.err;
        if (c.exitCode != 0) {
            EXPECT_FALSE(r.err.empty()) << joined;
        }
    }
}

// The band lines of `eq get` (after its title line).
std::string bandLines(const std::string& out) {
    return out.substr(out.find('\n') + 1);
}

TEST_F(Cli, EqExportImportAndCopyEditAModeFileWithNoUnit) {
    const std::string a = defaultModeFile("a.ev36");
    Outcome r = run({"eq", "export", "5", "--file", a, "-o", file("main.txt").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(slurp(file("main.txt")).rfind("Preamp: 0.0 dB\nFilter 1: ON PK Fc ", 0), 0u);

    const std::string room = write("room.txt",
                                   "# measured\r\nFilter 1: ON PK Fc 63,5 Hz Gain -5,5 dB Q 4\r\n"
                                   "Filter 2: ON NO Fc 50 Hz\r\n");
    const std::string before = slurp(a);
    r = run({"eq", "import", "3", room, "--file", a, "--dry-run"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("line 2    band 1        Filter 1: ON PK"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("line 3    skipped       Filter 2: ON NO Fc 50 Hz\n"
                         "                        Notch filters (NO) cannot be set on the unit"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(slurp(a), before);

    r = run({"eq", "import", "3", room, "--file", a});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = run({"eq", "get", "3", "--file", a});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("band 1: type 1, 64Hz, -5.5dB, Q 4.00"), std::string::npos) << r.out;
    const std::string center = bandLines(r.out);

    r = run({"eq", "copy", "3", "4", "--file", a});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(bandLines(r.out), center);

    // Exported from one file and imported into another, the EQ is the same.
    const std::string b = defaultModeFile("b.ev36");
    ASSERT_EQ(run({"eq", "export", "3", "--file", a, "-o", file("c.txt").string()}).exitCode, 0);
    ASSERT_EQ(run({"eq", "import", "3", file("c.txt").string(), "--file", b}).exitCode, 0);
    EXPECT_EQ(bandLines(run({"eq", "get", "3", "--file", b}).out), center);

    r = run({"set", "micVolume", "33", "--file", a});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(run({"get", "micVolume", "--file", a}).out, "33\n");
}

TEST_F(Cli, EqImportSendsOnlyTheChangedBands) {
    Outcome r = run({"--simulate", "eq", "export", "5"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The third filter 6 dB down, the rest as the unit has them.
    std::string text = r.out;
    const std::size_t third = text.find("Filter 3: ");
    const std::size_t gain = text.find("Gain 0.0 dB", third);
    ASSERT_LT(gain, text.find('\n', third));
    text.replace(gain, 11, "Gain -6.0 dB");
    r = run({"--simulate", "--trace", "eq", "import", "5", write("main.txt", text)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("band 3: type 1, 50Hz, -6.0dB"), std::string::npos) << r.out;
    std::size_t writes = 0;
    for (std::size_t at = r.err.find("\nTX 02 85 "); at != std::string::npos;
         at = r.err.find("\nTX 02 85 ", at + 1)) {
        ++writes;
    }
    EXPECT_EQ(writes, 1u);
}

TEST_F(Cli, EqTextAndModeFileExitCodes) {
    const std::string a = defaultModeFile("a.ev36");
    const std::string binary = write("binary.txt", std::string("\x7F"
                                                               "ELF\x02\x00",
                                                               6));
    const std::string notch = write("notch.txt", "Filter 1: ON NO Fc 50 Hz\n");
    const std::string channels =
        write("channels.txt",
              "Channel: L\nFilter: ON PK Fc 100 Hz Gain 1 dB Q 1\nChannel: R\n"
              "Filter: ON PK Fc 200 Hz Gain 1 dB Q 1\n");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const Case cases[] = {
        {{"eq", "import", "3", channels, "--channel", "r", "--file", a, "--dry-run"}, 0},
        {{"eq", "import", "3", "/nonexistent/room.txt", "--file", a}, 1},
        {{"eq", "import", "3", binary, "--file", a}, 1},
        {{"eq", "import", "3", notch, "--file", a}, 1},
        {{"eq", "import", "3", channels, "--file", a}, 2},
        {{"eq", "import", "3", channels, "--channel", "C", "--file", a}, 2},
        {{"eq", "import", "12", notch, "--file", a}, 2},
        {{"eq", "copy", "5", "2", "--file", a}, 2},
        {{"eq", "copy", "3", "3", "--file", a}, 2},
        {{"eq", "export", "5", "--file", a, "-o", "/nonexistent/dir/main.txt"}, 1},
        {{"get", "micVolume", "--file", "/nonexistent/missing.ev36"}, 1},
        {{"--simulate", "get", "micVolume", "--file", a}, 2},
        {{"info", "--file", a}, 2},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        std::string joined;
        for (const auto& arg : c.args)
            joined += arg + " ";
        EXPECT_EQ(r.exitCode, c.exitCode) << joined << "\n" << r.err;
        if (c.exitCode != 0) {
            EXPECT_FALSE(r.err.empty()) << joined;
        }
    }
    EXPECT_NE(
        run({"eq", "copy", "5", "2", "--file", a})
            .err.find("MAIN EQ has 24 bands and SUB EQ has 5: copies go between EQs of the same "
                      "number of bands"),
        std::string::npos);
}

}  // namespace
}  // namespace v36
