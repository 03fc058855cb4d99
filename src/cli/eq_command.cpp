#include "cli/eq_command.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "cli/cli.h"
#include "cli/connection.h"
#include "cli/json.h"
#include "dsp/eq_model.h"
#include "protocol/eq_access.h"

namespace v36::cli {

void addEqCommands(CLI::App& app, EqArgs& args, CLI::App*& get, CLI::App*& set) {
    auto* eq = app.add_subcommand(
        "eq",
        "Read or edit the bands of one of the twelve EQs (0 music, 1 mic A, 2 sub, "
        "3 center, 4 rear, 5 main, 6 reverb A, 7 echo A, 8 mic B, 9 reverb B, 10 echo B, "
        "11 top)");
    eq->require_subcommand(1);
    get = eq->add_subcommand("get", "Print the bands of EQ number EQ (pulls first)");
    get->add_option("EQ", args.eq, "EQ number 0..11")->required();
    get->add_flag("--json", args.json, "Print JSON");
    set = eq->add_subcommand("set", "Change one band of an EQ and send it (pulls first)");
    set->add_option("EQ", args.eq, "EQ number 0..11")->required();
    set->add_option("BAND", args.band, "Band number, from 1")->required();
    args.typeOpt = set->add_option("--type", args.type, "Filter type code");
    args.freqOpt = set->add_option("--freq", args.freq, "Frequency in Hz");
    args.gainOpt = set->add_option("--gain", args.gain, "Gain in dB");
    args.qOpt = set->add_option("--q", args.q, "Q");
    set->add_flag("--json", args.json, "Print JSON");
}

bool EqArgs::valid(bool isSet, int& exitCode) const {
    exitCode = kExitUsage;
    if (!isEqNumber(eq)) {
        std::cerr << "v36ctl: EQ numbers run from 0 to 11\n";
        return false;
    }
    if (!isSet) return true;
    if (band < 1 || band > eqPointCount(eq)) {
        std::cerr << "v36ctl: EQ " << eq << " has bands 1.." << eqPointCount(eq) << "\n";
        return false;
    }
    if (typeOpt->count() + freqOpt->count() + gainOpt->count() + qOpt->count() == 0) {
        std::cerr << "v36ctl: eq set needs --type, --freq, --gain or --q\n";
        return false;
    }
    if (typeOpt->count() > 0 && (type < 0 || type > 255)) {
        std::cerr << "v36ctl: filter type codes run from 0 to 255\n";
        return false;
    }
    exitCode = kExitOk;
    return true;
}

namespace {

void printBands(const EqGraphModel& graph, int eq, bool json) {
    if (json) {
        Json bands = Json::array();
        for (int n = 0; n < graph.visibleBandCount(); ++n) {
            const EqBand& b = graph.band(n);
            bands.push_back({{"band", n + 1},
                             {"type", b.type},
                             {"freq", b.freq},
                             {"gain", b.gain},
                             {"q", b.q}});
        }
        const Json j = {{"eq", eq}, {"title", std::string(eqTitle(eq, 1))}, {"bands", bands}};
        std::cout << jsonText(j) << "\n";
        return;
    }
    std::cout << "EQ " << eq << " " << eqTitle(eq, 1) << "\n";
    for (int n = 0; n < graph.visibleBandCount(); ++n) {
        const EqBand& b = graph.band(n);
        std::cout << "band " << formatBandNumber(n) << ": type " << b.type << ", "
                  << formatFrequency(b.freq) << ", " << formatGain(b.gain) << ", Q " << formatQ(b.q)
                  << "\n";
    }
}

}  // namespace

int runEq(Connection& unit, const EqArgs& args, bool isSet) {
    std::string error;
    if (!unit.pull(error)) {
        std::cerr << "v36ctl: " << error << "\n";
        return kExitFailure;
    }
    EqGraphModel graph;
    loadEqFromStore(unit.store(), graph, args.eq);
    if (isSet) {
        const int n = args.band - 1;
        if (args.typeOpt->count() > 0) graph.setType(n, args.type);
        if (args.freqOpt->count() > 0) graph.setFrequency(n, static_cast<float>(args.freq));
        if (args.gainOpt->count() > 0) graph.setGain(n, static_cast<float>(args.gain));
        if (args.qOpt->count() > 0) graph.setQ(n, static_cast<float>(args.q));
        sendEqBand(unit.senders(), args.eq, graph.bands(), n);
        unit.finishWrites();
    }
    printBands(graph, args.eq, args.json);
    return kExitOk;
}

}  // namespace v36::cli
