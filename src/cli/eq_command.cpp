#include "cli/eq_command.h"

#include <CLI/CLI.hpp>

#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/json.h"
#include "cli/target.h"
#include "dsp/eq_model.h"
#include "protocol/edit.h"
#include "protocol/eq_access.h"
#include "protocol/mode_file.h"

namespace v36::cli {

namespace {

constexpr int kEnglish = 1;

void addFileOption(CLI::App* command, std::string& modeFile) {
    command->add_option("--file", modeFile,
                        "Edit this mode file (.ev36) instead of a unit; no unit is needed");
}

bool eqNumberValid(int eq) {
    if (isEqNumber(eq)) return true;
    std::cerr << "v36ctl: EQ numbers run from 0 to 11\n";
    return false;
}

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

void addEqCommands(CLI::App& app, EqArgs& args, std::string& modeFile) {
    auto* eq = app.add_subcommand(
        "eq",
        "Read or edit the bands of one of the twelve EQs (0 music, 1 mic A, 2 sub, "
        "3 center, 4 rear, 5 main, 6 reverb A, 7 echo A, 8 mic B, 9 reverb B, 10 echo B, "
        "11 top)");
    eq->require_subcommand(1);
    args.get = eq->add_subcommand("get", "Print the bands of EQ number EQ (pulls first)");
    args.get->add_option("EQ", args.eq, "EQ number 0..11")->required();
    args.get->add_flag("--json", args.json, "Print JSON");
    addFileOption(args.get, modeFile);

    auto* set = args.set =
        eq->add_subcommand("set", "Change one band of an EQ and send it (pulls first)");
    set->add_option("EQ", args.eq, "EQ number 0..11")->required();
    set->add_option("BAND", args.band, "Band number, from 1")->required();
    args.typeOpt = set->add_option("--type", args.type, "Filter type code");
    args.freqOpt = set->add_option("--freq", args.freq, "Frequency in Hz")->check(finiteNumber());
    args.gainOpt = set->add_option("--gain", args.gain, "Gain in dB")->check(finiteNumber());
    args.qOpt = set->add_option("--q", args.q, "Q")->check(finiteNumber());
    set->add_flag("--json", args.json, "Print JSON");
    addFileOption(set, modeFile);

    args.exportText = eq->add_subcommand(
        "export", "Write the bands of an EQ as a filter list (\"Filter 1: ON PK Fc ...\")");
    args.exportText->add_option("EQ", args.eq, "EQ number 0..11")->required();
    args.exportText->add_option("-o,--output", args.output,
                                "The text file to write (standard output without it)");
    addFileOption(args.exportText, modeFile);

    auto* import = args.importText = eq->add_subcommand(
        "import",
        "Put a filter list (room-measurement export, equaliser preset) onto an EQ and send the "
        "changed bands; prints what became of each line");
    import->add_option("EQ", args.eq, "EQ number 0..11")->required();
    import->add_option("FILE", args.textFile, "The filter list (text)")->required();
    args.channelOpt = import->add_option("--channel", args.channel,
                                         "The Channel section to take, when the file has several");
    import->add_flag("--dry-run", args.dryRun, "Show what would change; send and save nothing");
    addFileOption(import, modeFile);

    args.copy = eq->add_subcommand(
        "copy", "Copy the bands of one EQ onto another with the same number of bands");
    args.copy->add_option("FROM", args.eq, "EQ number 0..11")->required();
    args.copy->add_option("TO", args.to, "EQ number 0..11")->required();
    addFileOption(args.copy, modeFile);
}

bool EqArgs::given() const {
    return get->parsed() || set->parsed() || exportText->parsed() || importText->parsed() ||
           copy->parsed();
}

bool EqArgs::prepare(int& exitCode) {
    exitCode = kExitUsage;
    if (!eqNumberValid(eq)) return false;
    if (copy->parsed()) {
        if (!eqNumberValid(to)) return false;
        // The EQ model refuses the pair before any unit is opened.
        EqGraphModel from;
        EqGraphModel target;
        loadResetBands(from, eq);
        loadResetBands(target, to);
        const EqCopy tried = copyEq(from, target);
        if (!tried.ok()) {
            std::cerr << "v36ctl: " << tried.errors[0].textFor(kEnglish) << "\n";
            return false;
        }
    }
    if (set->parsed()) {
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
    }
    if (importText->parsed()) {
        const FileRead read = readFileHead(pathFromText(textFile), kEqTextMaxBytes + 1);
        if (!read.result) {
            std::cerr << "v36ctl: " << read.result.error.detail << "\n";
            exitCode = kExitFailure;
            return false;
        }
        parsed = parseEqText(read.bytes);
        if (!parsed->errors.empty()) {
            std::cerr << "v36ctl: " << textFile << ": " << parsed->errors[0].textFor(kEnglish)
                      << "\n";
            exitCode = kExitFailure;
            return false;
        }
        const auto& channels = parsed->channels;
        std::string names;
        for (const auto& c : channels)
            names += (names.empty() ? "\"" : ", \"") + c.name + "\"";
        if (channelOpt->count() > 0) {
            for (std::size_t i = 0; i < channels.size() && !channelIndex; ++i)
                if (lowered(channels[i].name) == lowered(channel))
                    channelIndex = static_cast<int>(i);
            if (!channelIndex) {
                std::cerr << "v36ctl: " << textFile << " has no Channel section \"" << channel
                          << "\"" << (names.empty() ? "" : "; it has " + names) << "\n";
                return false;
            }
        } else if (channels.size() > 1) {
            std::cerr << "v36ctl: " << textFile << " has the Channel sections " << names
                      << ": pick one with --channel NAME\n";
            return false;
        }
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

int failed(const std::string& message) {
    std::cerr << "v36ctl: " << message << "\n";
    return kExitFailure;
}

std::string fateLabel(const EqTextLine& line, const EqTextLineFate& fate) {
    switch (fate.fate) {
        case EqTextFate::Ignored:
            return line.kind == EqTextLineKind::Header ? "header" : "comment";
        case EqTextFate::Reported:
            return line.kind == EqTextLineKind::Channel ? "channel" : "preamp";
        case EqTextFate::Band:
            return "band " + formatBandNumber(fate.band);
        case EqTextFate::Off:
            return "off";
        case EqTextFate::Skipped:
            return "skipped";
        case EqTextFate::Dropped:
            return "dropped";
        case EqTextFate::OtherChannel:
            return "other channel";
    }
    return "";
}

// Every line but the blank ones, what became of it and why.
void printFates(const EqTextParse& parsed, const EqTextImport& r) {
    for (std::size_t n = 0; n < parsed.lines.size(); ++n) {
        const EqTextLine& line = parsed.lines[n];
        if (line.kind == EqTextLineKind::Blank) continue;
        std::ostringstream head;
        head << "line " << std::left << std::setw(4) << line.number << " " << std::setw(14)
             << fateLabel(line, r.lines[n]);
        std::cout << head.str() << line.text << "\n";
        for (const EqTextNote& note : r.lines[n].notes)
            std::cout << std::string(24, ' ') << note.textFor(kEnglish) << "\n";
    }
    for (const EqTextNote& note : r.notes)
        std::cout << note.textFor(kEnglish) << "\n";
}

int runImport(EditTarget& target, const EqArgs& args, const EqGraphModel& current) {
    EqTextFitOptions options;
    options.channel = args.channelIndex;
    const EqTextImport r = fitEqText(*args.parsed, current, options);
    printFates(*args.parsed, r);
    if (!r.ok()) {
        std::cerr << "v36ctl: " << args.textFile << ": " << r.errors[0].textFor(kEnglish) << "\n";
        return r.errors[0].kind == EqTextNoteKind::PickChannel ? kExitUsage : kExitFailure;
    }
    const auto changed = changedBands(current, r.graph);
    if (args.dryRun) {
        printBands(r.graph, args.eq, false);
        std::cerr << "v36ctl: dry run: " << changed.size() << " bands would change; nothing "
                  << target.outcome() << "\n";
        return kExitOk;
    }
    target.editor().apply(bandsEdit(args.eq, r.graph.bands(), changed, {"导入均衡", "Import EQ"}));
    std::string error;
    if (!target.finish(error)) return failed(error);
    printBands(r.graph, args.eq, false);
    if (changed.empty()) {
        std::cerr << "v36ctl: no band changed\n";
    } else {
        std::cerr << "v36ctl: " << changed.size() << " bands changed and " << target.outcome()
                  << "\n";
    }
    return kExitOk;
}

int runCopy(EditTarget& target, const EqArgs& args) {
    EqGraphModel from;
    EqGraphModel to;
    loadEqFromStore(target.store(), from, args.eq);
    loadEqFromStore(target.store(), to, args.to);
    const EqCopy r = copyEq(from, to);
    if (!r.ok()) {
        std::cerr << "v36ctl: " << r.errors[0].textFor(kEnglish) << "\n";
        return kExitUsage;
    }
    for (const EqTextNote& note : r.notes)
        std::cout << note.textFor(kEnglish) << "\n";
    target.editor().apply(
        bandsEdit(args.to, r.graph.bands(), changedBands(to, r.graph), {"复制均衡", "Copy EQ"}));
    std::string error;
    if (!target.finish(error)) return failed(error);
    printBands(r.graph, args.to, false);
    return kExitOk;
}

int runExport(const EqArgs& args, const EqGraphModel& graph) {
    const EqTextExport text = writeEqText(args.eq, graph.bands());
    for (const EqTextNote& note : text.notes)
        std::cerr << "v36ctl: " << note.textFor(kEnglish) << "\n";
    if (args.output.empty()) {
        std::cout << text.text;
        return kExitOk;
    }
    const FileResult r =
        replaceFile(pathFromText(args.output),
                    std::span<const std::uint8_t>(
                        reinterpret_cast<const std::uint8_t*>(text.text.data()), text.text.size()));
    return r ? kExitOk : failed(r.error.detail);
}

}  // namespace

int runEq(EditTarget& target, const EqArgs& args) {
    std::string error;
    if (!target.load(error)) return failed(error);
    if (args.copy->parsed()) return runCopy(target, args);
    EqGraphModel graph;
    loadEqFromStore(target.store(), graph, args.eq);
    if (args.exportText->parsed()) return runExport(args, graph);
    if (args.importText->parsed()) return runImport(target, args, graph);
    if (args.set->parsed()) {
        const int n = args.band - 1;
        if (args.typeOpt->count() > 0) graph.setType(n, args.type);
        if (args.freqOpt->count() > 0) graph.setFrequency(n, static_cast<float>(args.freq));
        if (args.gainOpt->count() > 0) graph.setGain(n, static_cast<float>(args.gain));
        if (args.qOpt->count() > 0) graph.setQ(n, static_cast<float>(args.q));
        target.editor().apply(bandEdit(args.eq, graph.bands(), n));
        if (!target.finish(error)) return failed(error);
    }
    printBands(graph, args.eq, args.json);
    return kExitOk;
}

}  // namespace v36::cli
