#include "cli/eq_command.h"

#include <CLI/CLI.hpp>

#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/io.h"
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

void addAllFlag(CLI::App* command, bool& all) {
    command->add_flag("--all", all, "The same change to every attached unit, at once");
}

bool eqNumberValid(int eq, Io& io) {
    if (isEqNumber(eq)) return true;
    io.usage("EQ numbers run from 0 to 11");
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
    addAllFlag(set, args.all);

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
    addAllFlag(import, args.all);

    args.copy = eq->add_subcommand(
        "copy", "Copy the bands of one EQ onto another with the same number of bands");
    args.copy->add_option("FROM", args.eq, "EQ number 0..11")->required();
    args.copy->add_option("TO", args.to, "EQ number 0..11")->required();
    addFileOption(args.copy, modeFile);
    addAllFlag(args.copy, args.all);
}

bool EqArgs::given() const {
    return get->parsed() || set->parsed() || exportText->parsed() || importText->parsed() ||
           copy->parsed();
}

bool EqArgs::readOnly() const {
    return get->parsed() || exportText->parsed() || (importText->parsed() && dryRun);
}

bool EqArgs::prepare(Io& io, int& exitCode) {
    exitCode = kExitUsage;
    if (!eqNumberValid(eq, io)) return false;
    if (copy->parsed()) {
        if (!eqNumberValid(to, io)) return false;
        // The EQ model refuses the pair before any unit is opened.
        EqGraphModel from;
        EqGraphModel target;
        loadResetBands(from, eq);
        loadResetBands(target, to);
        const EqCopy tried = copyEq(from, target);
        if (!tried.ok()) {
            io.usage(tried.errors[0].textFor(kEnglish));
            return false;
        }
    }
    if (set->parsed()) {
        if (band < 1 || band > eqPointCount(eq)) {
            io.usage("EQ " + std::to_string(eq) + " has bands 1.." +
                     std::to_string(eqPointCount(eq)));
            return false;
        }
        if (typeOpt->count() + freqOpt->count() + gainOpt->count() + qOpt->count() == 0) {
            io.usage("eq set needs --type, --freq, --gain or --q");
            return false;
        }
        if (typeOpt->count() > 0 && (type < 0 || type > 255)) {
            io.usage("filter type codes run from 0 to 255");
            return false;
        }
    }
    if (importText->parsed()) {
        const FileRead read = readFileHead(pathFromText(textFile), kEqTextMaxBytes + 1);
        if (!read.result) {
            exitCode = io.fail(read.result.error.detail);
            return false;
        }
        parsed = parseEqText(read.bytes);
        if (!parsed->errors.empty()) {
            exitCode = io.fail(textFile + ": " + parsed->errors[0].textFor(kEnglish));
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
                io.usage(textFile + " has no Channel section \"" + channel + "\"" +
                         (names.empty() ? "" : "; it has " + names));
                return false;
            }
        } else if (channels.size() > 1) {
            io.usage(textFile + " has the Channel sections " + names +
                     ": pick one with --channel NAME");
            return false;
        }
    }
    exitCode = kExitOk;
    return true;
}

namespace {

void printBands(std::ostream& out, const EqGraphModel& graph, int eq, bool json) {
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
        out << jsonText(j) << "\n";
        return;
    }
    out << "EQ " << eq << " " << eqTitle(eq, 1) << "\n";
    for (int n = 0; n < graph.visibleBandCount(); ++n) {
        const EqBand& b = graph.band(n);
        out << "band " << formatBandNumber(n) << ": type " << b.type << ", "
            << formatFrequency(b.freq) << ", " << formatGain(b.gain) << ", Q " << formatQ(b.q)
            << "\n";
    }
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
void printFates(std::ostream& out, const EqTextParse& parsed, const EqTextImport& r) {
    for (std::size_t n = 0; n < parsed.lines.size(); ++n) {
        const EqTextLine& line = parsed.lines[n];
        if (line.kind == EqTextLineKind::Blank) continue;
        std::ostringstream head;
        head << "line " << std::left << std::setw(4) << line.number << " " << std::setw(14)
             << fateLabel(line, r.lines[n]);
        out << head.str() << line.text << "\n";
        for (const EqTextNote& note : r.lines[n].notes)
            out << std::string(24, ' ') << note.textFor(kEnglish) << "\n";
    }
    for (const EqTextNote& note : r.notes)
        out << note.textFor(kEnglish) << "\n";
}

// Fits the file onto `current` and prints each line's fate; the exit code
// when the file has no usable filter.
std::optional<int> fitImport(const EqArgs& args, const EqGraphModel& current, EqTextImport& r,
                             Io& io) {
    EqTextFitOptions options;
    options.channel = args.channelIndex;
    r = fitEqText(*args.parsed, current, options);
    printFates(io.out, *args.parsed, r);
    if (r.ok()) return std::nullopt;
    const std::string why = args.textFile + ": " + r.errors[0].textFor(kEnglish);
    return r.errors[0].kind == EqTextNoteKind::PickChannel ? io.usage(why) : io.fail(why);
}

int runImport(EditTarget& target, const EqArgs& args, const EqGraphModel& current, Io& io) {
    EqTextImport r;
    if (const auto failed = fitImport(args, current, r, io)) return *failed;
    const auto changed = changedBands(current, r.graph);
    if (args.dryRun) {
        printBands(io.out, r.graph, args.eq, false);
        io.note("dry run: " + counted(changed.size(), "band", "bands") + " would change; nothing " +
                target.outcome());
        return kExitOk;
    }
    target.editor().apply(bandsEdit(args.eq, r.graph.bands(), changed, {"导入均衡", "Import EQ"}));
    std::string error;
    if (!target.finish(error)) return io.fail(error);
    printBands(io.out, r.graph, args.eq, false);
    if (changed.empty()) {
        io.note("no band changed");
    } else {
        io.note(counted(changed.size(), "band", "bands") + " changed and " + target.outcome());
    }
    return kExitOk;
}

int runCopy(EditTarget& target, const EqArgs& args, Io& io) {
    EqGraphModel from;
    EqGraphModel to;
    loadEqFromStore(target.store(), from, args.eq);
    loadEqFromStore(target.store(), to, args.to);
    const EqCopy r = copyEq(from, to);
    if (!r.ok()) {
        return io.usage(r.errors[0].textFor(kEnglish));
    }
    for (const EqTextNote& note : r.notes)
        io.out << note.textFor(kEnglish) << "\n";
    target.editor().apply(
        bandsEdit(args.to, r.graph.bands(), changedBands(to, r.graph), {"复制均衡", "Copy EQ"}));
    std::string error;
    if (!target.finish(error)) return io.fail(error);
    printBands(io.out, r.graph, args.to, false);
    return kExitOk;
}

int runExport(const EqArgs& args, const EqGraphModel& graph, Io& io) {
    const EqTextExport text = writeEqText(args.eq, graph.bands());
    for (const EqTextNote& note : text.notes)
        io.note(note.textFor(kEnglish));
    if (args.output.empty()) {
        io.out << text.text;
        return kExitOk;
    }
    const FileResult r =
        replaceFile(pathFromText(args.output),
                    std::span<const std::uint8_t>(
                        reinterpret_cast<const std::uint8_t*>(text.text.data()), text.text.size()));
    return r ? kExitOk : io.fail(r.error.detail);
}

}  // namespace

int runImportOnLayout(const EqArgs& args, Io& io) {
    EqGraphModel layout;
    loadResetBands(layout, args.eq);
    io.note("no unit attached: the file is fitted to the bands of EQ " + std::to_string(args.eq) +
            " as a reset leaves them");
    EqTextImport r;
    if (const auto failed = fitImport(args, layout, r, io)) return *failed;
    printBands(io.out, r.graph, args.eq, false);
    io.note("dry run: " + counted(changedBands(layout, r.graph).size(), "band", "bands") +
            " would differ from the reset bands; nothing sent");
    return kExitOk;
}

int runEq(EditTarget& target, const EqArgs& args, Io& io) {
    std::string error;
    if (!target.load(error)) return io.fail(error);
    if (args.copy->parsed()) return runCopy(target, args, io);
    EqGraphModel graph;
    loadEqFromStore(target.store(), graph, args.eq);
    if (args.exportText->parsed()) return runExport(args, graph, io);
    if (args.importText->parsed()) return runImport(target, args, graph, io);
    if (args.set->parsed()) {
        const int n = args.band - 1;
        if (args.typeOpt->count() > 0) graph.setType(n, args.type);
        if (args.freqOpt->count() > 0) graph.setFrequency(n, static_cast<float>(args.freq));
        if (args.gainOpt->count() > 0) graph.setGain(n, static_cast<float>(args.gain));
        if (args.qOpt->count() > 0) graph.setQ(n, static_cast<float>(args.q));
        target.editor().apply(bandEdit(args.eq, graph.bands(), n));
        if (!target.finish(error)) return io.fail(error);
    }
    printBands(io.out, graph, args.eq, args.json);
    return kExitOk;
}

}  // namespace v36::cli
