#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "build_info.h"
#include "cli/connection.h"
#include "cli/eq_command.h"
#include "cli/io.h"
#include "cli/json.h"
#include "cli/serve.h"
#ifdef V36_WITH_MQTT
#include "cli/fleet_command.h"
#endif
#include "cli/target.h"
#include "cli/units.h"
#include "dsp/eq_model.h"
#include "dsp/filter_design.h"
#include "link/hid_backend.h"
#include "protocol/bytes.h"
#include "protocol/controls.h"
#include "protocol/edit.h"
#include "protocol/eq_access.h"
#include "protocol/mode_file.h"
#include "protocol/output_delay.h"
#include "protocol/senders.h"
#include "protocol/word_table.h"
#include "protocol/words.h"
#include "sim/virtual_units.h"

namespace v36::cli {

namespace {

// ---------------------------------------------------------------------------
// Values in display units

bool isIntegerKind(const WordInfo& info) {
    return !info.isFloat();
}

std::string wordText(const ParamStore& store, int word) {
    const WordInfo& info = wordInfo(word);
    if (isIntegerKind(info)) return std::to_string(store.params.getInt(word));
    return formatFloat(store.params.getFloat(word));
}

Json wordJson(const ParamStore& store, int word) {
    const WordInfo& info = wordInfo(word);
    if (isIntegerKind(info)) return store.params.getInt(word);
    return store.params.getFloat(word);
}

const char* const kSpeakerNames[8] = {"Main L", "Center", "Main R", "Rear L",
                                      "Sub",    "Rear R", "Top L",  "Top R"};
const char* const kTrimNames[8] = {"Main L", "Main R", "Rear L", "Rear R",
                                   "Center", "Sub",    "Top L",  "Top R"};

std::string bandText(const BandRecord& r) {
    std::ostringstream s;
    s << "type " << r.type << ", " << r.freq << " Hz, " << formatFloat(r.gain) << " dB, Q "
      << formatFloat(r.q);
    return s.str();
}

Json bandJson(const BandRecord& r) {
    return {{"type", r.type}, {"freq", r.freq}, {"gain", r.gain}, {"q", r.q}};
}

// ---------------------------------------------------------------------------
// A store as named lines, for dump and diff

struct Entry {
    std::string name;
    std::string text;  // display form
    Json json;
};

std::vector<Entry> describe(const ParamStore& store) {
    std::vector<Entry> out;
    for (const WordInfo& info : wordTable()) {
        out.push_back({info.name, wordText(store, info.word), wordJson(store, info.word)});
    }
    // The bands of every EQ, by EQ number and band (from 1), then the
    // split-filter pair of every delay channel.
    auto addRecord = [&](std::string name, const BandRecord& r) {
        out.push_back({std::move(name), bandText(r), bandJson(r)});
    };
    for (int eq = 0; eq < kEqCount; ++eq) {
        const auto records = readEqRecords(store, eq);
        for (std::size_t k = 0; k < records.size(); ++k) {
            addRecord("eq[" + std::to_string(eq) + "].band[" + std::to_string(k + 1) + "]",
                      records[k]);
        }
    }
    for (const DelayChannel& d : kDelayChannels) {
        const std::string base = std::string("crossover[") + d.en + "]";
        addRecord(base + ".highPass",
                  store.record(d.group->block, d.group->splitHighPass(d.channel)));
        addRecord(base + ".lowPass",
                  store.record(d.group->block, d.group->splitLowPass(d.channel)));
    }
    const SoundFieldGeometry g = store.soundField.get();
    auto addInt = [&](std::string name, int v) {
        out.push_back({std::move(name), std::to_string(v), v});
    };
    auto addFloat = [&](std::string name, float v) {
        out.push_back({std::move(name), formatFloat(v), v});
    };
    addInt("room.width", g.roomWidth);
    addInt("room.height", g.roomHeight);
    addFloat("room.listenerX", g.listenerX);
    addFloat("room.listenerY", g.listenerY);
    for (std::size_t k = 0; k < 8; ++k) {
        const std::string base = std::string("room.speaker[") + kSpeakerNames[k] + "]";
        addFloat(base + ".x", g.speakerX[k]);
        addFloat(base + ".y", g.speakerY[k]);
    }
    for (int k = 0; k < 8; ++k)
        addFloat(std::string("speakerLevel[") + kTrimNames[k] + "]", store.speakerLevel(k));
    addInt("musicSource", store.musicSource.load());
    addInt("hdmiInput", store.hdmiInput.load());
    return out;
}

// ---------------------------------------------------------------------------
// Commands

struct Globals {
    bool simulate = false;
    bool trace = false;
    bool debugTrace = false;
    std::string simState;
    std::string simLatency;
    std::string simUnits;
    std::vector<std::string> simFaults;
    std::string device;
};

}  // namespace

CLI::Validator finiteNumber() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            char* end = nullptr;
            const double d = std::strtod(text.c_str(), &end);
            if (text.empty() || end != text.c_str() + text.size()) return "not a number: " + text;
            if (!std::isfinite(d)) return "not a finite number: " + text;
            return {};
        },
        "FINITE");
}

namespace {

bool loadInto(ParamStore& store, const std::string& path, std::string& error) {
    const FileResult r = loadModeFile(store, pathFromText(path));
    if (!r) {
        error = r.error.detail;
        return false;
    }
    return true;
}

int cmdDump(const std::string& path, bool json, Io& io) {
    ParamStore store;
    store.resetToDefaults();
    std::string error;
    if (!loadInto(store, path, error)) return io.fail(error);
    const auto entries = describe(store);
    if (json) {
        Json j = Json::object();
        for (const auto& e : entries)
            j[e.name] = e.json;
        io.out << jsonText(j) << "\n";
    } else {
        for (const auto& e : entries)
            io.out << e.name << " = " << e.text << "\n";
    }
    return kExitOk;
}

int cmdDiff(const std::string& pathA, const std::string& pathB, bool json, Io& io) {
    ParamStore a;
    ParamStore b;
    a.resetToDefaults();
    b.resetToDefaults();
    std::string error;
    if (!loadInto(a, pathA, error) || !loadInto(b, pathB, error)) return io.fail(error);
    const auto ea = describe(a);
    const auto eb = describe(b);
    Json j = Json::object();
    for (std::size_t i = 0; i < ea.size(); ++i) {
        // Compared as printed: the same single is the same value, NaN included.
        if (jsonText(ea[i].json) == jsonText(eb[i].json)) continue;
        if (json) {
            j[ea[i].name] = Json::array({ea[i].json, eb[i].json});
        } else {
            io.out << ea[i].name << ": " << ea[i].text << " -> " << eb[i].text << "\n";
        }
    }
    if (json) io.out << jsonText(j) << "\n";
    return kExitOk;
}

std::string hex(const Report& r) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < r.size(); ++i) {
        std::snprintf(buf, sizeof buf, i == 0 ? "%02X" : " %02X", r[i]);
        out += buf;
    }
    return out;
}

struct DesignArgs {
    int type = kPeq;
    double freq = 1000.0;
    double q = 1.414;
    double gain = 0.0;
    std::optional<int> bank;
    std::optional<int> index;
    bool json = false;
};

int cmdDesign(const DesignArgs& a, Io& io) {
    if (a.bank.has_value() != a.index.has_value()) {
        return io.usage("design: --bank and --index go together");
    }
    const SectionCoefficients c = DesignSection(a.type, a.freq, a.q, a.gain, kSampleRate);
    std::optional<Report> report;
    if (a.bank) {
        report = Senders::buildParam(*a.bank, *a.index, coefficientWords(c));
    }
    auto g = [](double v) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.9g", v);
        return std::string(buf);
    };
    if (a.json) {
        // The coefficients as the singles the unit receives.
        auto single = [](double v) { return static_cast<float>(v); };
        Json j = {{"a1", single(c.a1)},
                  {"a2", single(c.a2)},
                  {"b0", single(c.b0)},
                  {"b1", single(c.b1)},
                  {"b2", single(c.b2)}};
        if (report) j["report"] = hex(*report);
        io.out << jsonText(j) << "\n";
    } else {
        io.out << "A1 " << g(c.a1) << "\nA2 " << g(c.a2) << "\nB0 " << g(c.b0) << "\nB1 " << g(c.b1)
               << "\nB2 " << g(c.b2) << "\n";
        if (report) io.out << "report " << hex(*report) << "\n";
    }
    return kExitOk;
}

// get and set, on the unit or on a mode file. A set is the edit every
// front end makes of the value; a unit's volume limit applies as on the
// ribbon.
int runGetSet(EditTarget& target, int word, const std::optional<WordValue>& value, Io& io) {
    std::string error;
    if (!target.load(error)) return io.fail(error);
    if (value) {
        WordValue v = *value;
        if (const auto limit = volumeLimit(target.store(), word, target.unitAttached());
            limit && v.i > *limit) {
            io.note(std::string(wordInfo(word).name) + " is limited to " + std::to_string(*limit) +
                    " by the unit's machine settings");
            v.i = *limit;
        }
        target.editor().apply(wordEdit(target.store(), word, v));
        if (!target.finish(error)) return io.fail(error);
    }
    io.out << wordText(target.store(), word) << "\n";
    return kExitOk;
}

}  // namespace

int run(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return run(args, RunEnvironment{});
}

int run(const std::vector<std::string>& args, const RunEnvironment& env) {
    Io io(*env.out, *env.err);
    CLI::App app{"v36ctl: the command-line tool for the V36 DSP unit and its mode files", "v36ctl"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("v36ctl ") + kVersion,
                         "Print the version and exit");
    Globals globals;
    app.add_flag("--simulate", globals.simulate, "Use the virtual unit instead of hardware");
    app.add_option("--sim-state", globals.simState,
                   "Start the virtual unit from a mode file (with --simulate)");
    app.add_option("--sim-latency", globals.simLatency,
                   "The virtual unit's time from a report to its answer, in ms (with --simulate)");
    app.add_option("--sim-units", globals.simUnits,
                   "Start this many virtual units (1..64; with --simulate), serials SIM0001 on");
    app.add_option("--sim-fault", globals.simFaults,
                   "A fault of the virtual units (with --simulate): silent, drop=PERCENT, "
                   "garbage=PERCENT, unplug-after=N, model=TEXT or protocol=N; N:FAULT for "
                   "unit N only; repeatable");
    auto* deviceOpt = app.add_option(
        "--device", globals.device,
        "The unit to talk to when several are attached: its index from `list`, its serial "
        "number or its path");
    app.add_flag("--trace", globals.trace,
                 "Print every report written (TX) and read (RX) on standard error");
    app.add_flag("--debug-trace", globals.debugTrace,
                 "Print the link's debug traces on standard error (also V36_DEBUG_TRACE=1)");

    int exitCode = kExitOk;

    // list
    auto* list = app.add_subcommand("list", "List every attached unit and identify each");
    bool listJson = false;
    list->add_flag("--json", listJson, "Print JSON");

    // info
    auto* info = app.add_subcommand("info", "Identify the unit and print what it reports");
    bool infoJson = false;
    info->add_flag("--json", infoJson, "Print JSON");

    // pull / push
    auto* pull = app.add_subcommand("pull", "Read the unit's whole state into a mode file");
    std::string pullOut;
    pull->add_option("-o,--output", pullOut, "The mode file to write (.ev36)")->required();
    auto* push = app.add_subcommand("push", "Load a mode file and write it all to the unit");
    std::string pushIn;
    bool noStore = false;
    push->add_option("file", pushIn, "The mode file (.ev36)")->required();
    push->add_flag("--no-store", noStore, "Do not store a default-mode file into its memory mode");
    // --all: the same command to every attached unit at once.
    bool all = false;
    const char* const allHelp = "The same command to every attached unit, at once";
    push->add_flag("--all", all, allHelp);

    // get / set
    auto* get = app.add_subcommand("get", "Read one parameter by name (pulls first)");
    std::string getName;
    get->add_option("name", getName, "e.g. micVolume, outMain.level[0], echoATime[2]")->required();
    auto* set = app.add_subcommand("set", "Write one parameter by name and send it");
    std::string setName;
    std::string setValue;
    set->add_option("name", setName, "e.g. micVolume, outSub.compRatio")->required();
    set->add_option("value", setValue, "The value in display units")->required();
    set->add_flag("--all", all, allHelp);
    std::string modeFile;
    for (auto* command : {get, set}) {
        command->add_option("--file", modeFile,
                            "Read or edit this mode file (.ev36) instead of a unit; no unit is "
                            "needed");
    }

    // mode
    auto* mode = app.add_subcommand("mode", "Recall or store a memory mode");
    mode->require_subcommand(1);
    int modeNumber = 1;
    auto* recall = mode->add_subcommand("recall", "Recall memory mode N (1..4) and pull");
    recall->add_option("N", modeNumber, "1..4")->required()->check(CLI::Range(1, 4));
    recall->add_flag("--all", all, allHelp);
    auto* store = mode->add_subcommand("store", "Store the unit's live set into mode N (1..4)");
    store->add_option("N", modeNumber, "1..4")->required()->check(CLI::Range(1, 4));

    // dump / diff
    auto* dump = app.add_subcommand("dump", "Print every field of a mode file");
    std::string dumpIn;
    bool dumpJson = false;
    dump->add_option("file", dumpIn, "The mode file (.ev36)")->required();
    dump->add_flag("--json", dumpJson, "Print JSON");
    auto* diff = app.add_subcommand("diff", "Print the fields that differ between two mode files");
    std::string diffA;
    std::string diffB;
    bool diffJson = false;
    diff->add_option("a", diffA, "First mode file")->required();
    diff->add_option("b", diffB, "Second mode file")->required();
    diff->add_flag("--json", diffJson, "Print JSON");

    // design
    auto* design = app.add_subcommand("design", "Design one filter section");
    DesignArgs designArgs;
    int bank = 0;
    int index = 0;
    design->add_option("--type", designArgs.type, "Filter type code 0..255")
        ->required()
        ->check(CLI::Range(0, 255));
    design->add_option("--freq", designArgs.freq, "Frequency in Hz")
        ->required()
        ->check(finiteNumber())
        ->check(CLI::Range(1.0, 23999.0));
    design->add_option("--q", designArgs.q, "Q")
        ->required()
        ->check(finiteNumber())
        ->check(CLI::Range(0.01, 100.0));
    design->add_option("--gain", designArgs.gain, "Gain in dB")
        ->required()
        ->check(finiteNumber())
        ->check(CLI::Range(-30.0, 30.0));
    auto* bankOpt = design->add_option("--bank", bank, "Filter bank 1..9")->check(CLI::Range(1, 9));
    auto* indexOpt = design->add_option("--index", index, "Section index in the bank")
                         ->check(CLI::Range(0, 255));
    design->add_flag("--json", designArgs.json, "Print JSON");

    // remote
    auto* remote = app.add_subcommand("remote", "Save or load the learned remote keys");
    remote->require_subcommand(1);
    std::string remoteFile;
    auto* remoteSave = remote->add_subcommand("save", "Read the unit's keys into a file");
    remoteSave->add_option("file", remoteFile, "The remote data file (.remo)")->required();
    auto* remoteLoad = remote->add_subcommand("load", "Load a file and store its keys in the unit");
    remoteLoad->add_option("file", remoteFile, "The remote data file (.remo)")->required();

    // eq
    EqArgs eqArgs;
    addEqCommands(app, eqArgs, modeFile);

    // serve
    ServeArgs serveArgs;
    addServeCommand(app, serveArgs);
#ifdef V36_WITH_MQTT
    serveArgs.command->add_flag("--all", all,
                                "With --mqtt: every attached unit on the broker, each a room");
#endif
#ifdef V36_WITH_MQTT
    // fleet
    FleetArgs fleetArgs;
    addFleetCommand(app, fleetArgs);
#endif

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, io.out, *env.err);
        return code == 0 ? kExitOk : kExitUsage;
    }

    if (!globals.simState.empty() && !globals.simulate) {
        return io.usage("--sim-state needs --simulate");
    }
    VirtualUnitConfig unitConfig;
    int unitCount = 1;
    if (!globals.simLatency.empty() || !globals.simFaults.empty() || !globals.simUnits.empty()) {
        if (!globals.simulate) {
            return io.usage("--sim-units, --sim-latency and --sim-fault need --simulate");
        }
        if (!globals.simLatency.empty()) {
            const std::string why = applySimLatency(unitConfig, globals.simLatency);
            if (!why.empty()) return io.usage("--sim-latency: " + why);
        }
        if (!globals.simUnits.empty()) {
            const std::string why = parseSimUnits(globals.simUnits, unitCount);
            if (!why.empty()) return io.usage("--sim-units: " + why);
        }
    }
    // The run's virtual units keep no traffic log.
    unitConfig.recording = false;
    std::vector<VirtualUnitConfig> unitConfigs = virtualUnitConfigs(unitCount, unitConfig);
    for (const std::string& fault : globals.simFaults) {
        const std::string why = applySimFault(unitConfigs, fault);
        if (!why.empty()) return io.usage("--sim-fault: " + why);
    }
    if (*deviceOpt && all) return io.usage("--device and --all do not go together");

        // Offline commands.
#ifdef V36_WITH_MQTT
    if (*fleetArgs.command) return runFleet(fleetArgs);
#endif
    if (*dump) return cmdDump(dumpIn, dumpJson, io);
    if (*diff) return cmdDiff(diffA, diffB, diffJson, io);
    if (*design) {
        if (*bankOpt) designArgs.bank = bank;
        if (*indexOpt) designArgs.index = index;
        return cmdDesign(designArgs, io);
    }
    const bool eqCommand = eqArgs.given();
    if (eqCommand && !eqArgs.prepare(io, exitCode)) return exitCode;
    all = all || eqArgs.all;

    // Names and values are checked before the unit is opened.
    std::optional<int> word;
    std::optional<WordValue> value;
    if (*get || *set) {
        const std::string& name = *get ? getName : setName;
        word = findWord(name);
        if (!word) return io.usage("no parameter named \"" + name + "\"");
        if (*set) {
            std::string why;
            value = parseWordValue(*word, setValue, why);
            if (!value) return io.usage(why);
        }
    }

    if (*serveArgs.command) {
        const std::string why = checkServeArgs(serveArgs);
        if (!why.empty()) return io.usage(why);
        if (all && serveArgs.mqtt.empty()) return io.usage("serve --all goes with --mqtt");
        holdStopSignals();
    }

    // A mode file edited with no unit attached.
    if (!modeFile.empty()) {
        if (globals.simulate || !globals.simState.empty()) {
            return io.usage("--file edits a mode file with no unit: leave out --simulate");
        }
        if (*deviceOpt || all) return io.usage("--file edits a mode file: no --device or --all");
        ModeFileTarget target(pathFromText(modeFile));
        if (eqCommand) return runEq(target, eqArgs, io);
        return runGetSet(target, *word, value, io);
    }

    // Commands on the units: the USB units, or the virtual units of this run
    // (or of the caller).
    std::unique_ptr<LinkBackend> ownUnits;
    LinkBackend* units = env.units;
    if (!units) {
        if (globals.simulate) {
            if (!globals.simState.empty()) {
                // Every virtual unit starts from the file, volumes and all.
                ParamStore state;
                state.resetToDefaults();
                std::string error;
                if (!loadInto(state, globals.simState, error)) return io.fail(error);
                const ModeImage image = captureModeImage(state);
                for (VirtualUnitConfig& config : unitConfigs)
                    config.startState = image;
            }
            ownUnits = std::make_unique<VirtualUnits>(std::move(unitConfigs));
        } else {
            ownUnits = std::make_unique<HidBackend>();
        }
        units = ownUnits.get();
    }
    ConnectionOptions options;
    options.simulate = globals.simulate;
    options.trace = globals.trace;
    options.debugTrace = globals.debugTrace;
    options.backend = units;
    if (*list) return runList(options, listJson, io);

    // What the command does with one unit: the same for one unit and for
    // each unit of --all.
    const UnitCommand onUnit = [&](Connection& unit, Io& out) -> int {
        std::string error;
        if (*info) {
            if (!unit.identify(error)) return out.fail(error);
            return unit.printInfo(infoJson, out.out) ? kExitOk : kExitFailure;
        }
        if (*pull) {
            if (!unit.pull(error)) return out.fail(error);
            const FileResult r = saveModeFile(unit.store(), pathFromText(pullOut));
            if (!r) return out.fail(r.error.detail);
            return kExitOk;
        }
        if (*push) {
            if (!unit.pushFile(pathFromText(pushIn), !noStore, error)) return out.fail(error);
            return kExitOk;
        }
        UnitTarget target(unit);
        if (*get || *set) return runGetSet(target, *word, value, out);
        if (*recall) {
            if (!unit.recallMode(modeNumber - 1, error)) return out.fail(error);
            return kExitOk;
        }
        if (*store) {
            if (!unit.storeMode(modeNumber - 1, error)) return out.fail(error);
            return kExitOk;
        }
        if (*remoteSave) {
            if (!unit.saveRemote(pathFromText(remoteFile), error)) return out.fail(error);
            return kExitOk;
        }
        if (*remoteLoad) {
            if (!unit.loadRemote(pathFromText(remoteFile), error)) return out.fail(error);
            return kExitOk;
        }
        if (eqCommand) return runEq(target, eqArgs, out);
        if (*serveArgs.command) return runServe(unit, serveArgs);
        return kExitOk;
    };

    UnitRequest request;
    if (*deviceOpt) request.device = globals.device;
    request.all = all;
    request.readOnly = *info || *get || *pull || *remoteSave || (eqCommand && eqArgs.readOnly());
    request.allowsAll = (*serveArgs.command && !serveArgs.mqtt.empty()) || *set || *push ||
                        *recall || eqArgs.set->parsed() || eqArgs.importText->parsed() ||
                        eqArgs.copy->parsed();
    UnitChoice choice = chooseUnits(*units, request, globals.debugTrace, io);
    if (choice.exitCode) return *choice.exitCode;
    if (all && *serveArgs.command) return runServeAll(choice.units, options, serveArgs);
    if (all) return runOnEveryUnit(choice.units, options, onUnit, io);
    // A dry run of an import needs no unit: without one, the file is fitted
    // to the EQ's own layout.
    if (choice.none && eqCommand && eqArgs.importText->parsed() && eqArgs.dryRun)
        return runImportOnLayout(eqArgs, io);
    options.path = choice.path;
    return runOnUnit(options, onUnit, io);
}

}  // namespace v36::cli
