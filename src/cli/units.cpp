#include "cli/units.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <ostream>
#include <sstream>
#include <thread>
#include <utility>

#include "cli/cli.h"
#include "cli/io.h"
#include "cli/json.h"
#include "link/debug_trace.h"
#include "link/unit_selector.h"
#include "protocol/param_store.h"

namespace v36::cli {

namespace {

// How a unit is named in messages: its serial, or its path when it has none.
std::string unitName(const UnitListing& unit) {
    return unit.serial.empty() ? unit.path : unit.serial;
}

std::string unitLabel(std::size_t position, const UnitListing& unit) {
    return std::to_string(position + 1) + " " + unitName(unit);
}

// Runs `work(i)` for every unit at once, each on its own thread.
template <typename Work>
void onEveryUnit(std::size_t count, Work work) {
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        threads.emplace_back([&work, i] { work(i); });
    for (std::thread& t : threads)
        t.join();
}

UnitList listAttached(LinkBackend& backend, bool debugTrace) {
    DebugTrace trace;
    if (debugTrace) trace.setEnabled(true);
    return backend.listUnits(trace);
}

std::string listFailure(const UnitList& list) {
    return list.message.empty() ? "the list of attached devices cannot be read" : list.message;
}

// The attached units as `list` shows them before they are opened: on the
// error stream, after an unknown or ambiguous selector or a refusal.
void noteUnits(const std::vector<UnitListing>& units, Io& io) {
    if (units.empty()) {
        io.note("no unit attached");
        return;
    }
    io.note("the attached units:");
    for (std::size_t i = 0; i < units.size(); ++i) {
        const UnitListing& u = units[i];
        std::string line = "  " + std::to_string(i + 1) + "  " +
                           (u.serial.empty() ? "(no serial)" : u.serial) + "  " + u.path;
        if (u.problem != OpenError::None) line += "  " + u.message;
        io.note(line);
    }
}

std::string unitsAttached(std::size_t count) {
    return std::to_string(count) + " units are attached";
}

// What identifying one unit found.
struct Identity {
    bool identified = false;
    std::string model;
    int protocol = 0;
    int mode = 0;  // 0..3
    std::string modeName;
    std::string error;
};

Identity identify(const ConnectionOptions& base, const UnitListing& unit, const std::string& label,
                  Io& io) {
    Identity id;
    if (unit.problem != OpenError::None) {
        id.error = unit.message.empty() ? "the unit cannot be opened" : unit.message;
        return id;
    }
    ConnectionOptions options = base;
    options.path = unit.path;
    options.note = [&io, label](const std::string& text) { io.note(label + ": " + text); };
    Connection connection(options);
    if (!connection.open(id.error) || !connection.identify(id.error)) return id;
    const ParamStore& s = connection.store();
    id.identified = true;
    id.model = s.deviceModel.utf8();
    id.protocol = static_cast<int>(s.protocolVersion.load());
    id.mode = std::clamp(static_cast<int>(s.currentMode.load()), 0, 3);
    id.modeName = s.modeNames[static_cast<std::size_t>(id.mode)].utf8();
    return id;
}

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

}  // namespace

int runOnUnit(const ConnectionOptions& base, const UnitCommand& command, Io& io) {
    ConnectionOptions options = base;
    options.note = [&io](const std::string& text) { io.note(text); };
    Connection unit(options);
    std::string error;
    if (!unit.open(error)) return io.fail(error);
    // Whatever the command made of a unit that stopped answering, the run
    // says so.
    const int code = command(unit, io);
    if (code == kExitOk && !unit.answered(error)) return io.fail(error);
    return code;
}

int runOnEveryUnit(const std::vector<UnitListing>& units, const ConnectionOptions& options,
                   const UnitCommand& command, Io& io) {
    struct Run {
        std::ostringstream out;  // the command's results: the result line stands for them
        std::ostringstream err;
        Io io{out, err};
        int code = kExitOk;
    };
    std::vector<std::unique_ptr<Run>> runs;
    for (std::size_t i = 0; i < units.size(); ++i) {
        runs.push_back(std::make_unique<Run>());
        runs.back()->io.keepFailures(true);
    }
    onEveryUnit(units.size(), [&](std::size_t i) {
        Run& run = *runs[i];
        const UnitListing& unit = units[i];
        if (unit.problem != OpenError::None) {
            run.code =
                run.io.fail(unit.message.empty() ? "the unit cannot be opened" : unit.message);
            return;
        }
        ConnectionOptions one = options;
        one.path = unit.path;
        run.code = runOnUnit(one, command, run.io);
    });
    int code = kExitOk;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const Run& run = *runs[i];
        const std::string label = unitLabel(i, units[i]);
        // The unit's messages, each marked with the unit.
        std::istringstream messages(run.err.str());
        for (std::string line; std::getline(messages, line);) {
            const std::string prefix = "v36ctl: ";
            io.note(label + ": " +
                    (line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line));
        }
        if (run.code == kExitOk) {
            io.out << label << ": ok\n";
        } else {
            const std::string why = run.io.failure();
            io.out << label << ": " << (why.empty() ? "failed" : why) << "\n";
            code = kExitFailure;
        }
    }
    io.out.flush();
    return code;
}

int runList(const ConnectionOptions& options, bool json, Io& io) {
    const UnitList list = listAttached(*options.backend, options.debugTrace);
    if (!list.ok()) return io.fail(listFailure(list));
    const std::vector<UnitListing>& units = list.units;
    if (units.empty()) {
        io.note("no unit attached");
        if (json) io.out << "[]\n";
        return kExitOk;
    }
    std::vector<Identity> found(units.size());
    onEveryUnit(units.size(), [&](std::size_t i) {
        found[i] = identify(options, units[i], unitLabel(i, units[i]), io);
    });

    if (json) {
        Json all = Json::array();
        for (std::size_t i = 0; i < units.size(); ++i) {
            const Identity& id = found[i];
            Json entry = {{"index", static_cast<int>(i + 1)},
                          {"serial", units[i].serial},
                          {"path", units[i].path},
                          {"model", nullptr},
                          {"protocol", nullptr},
                          {"mode", nullptr},
                          {"modeName", nullptr},
                          {"error", nullptr}};
            if (id.identified) {
                entry["model"] = id.model;
                entry["protocol"] = id.protocol;
                entry["mode"] = id.mode + 1;
                entry["modeName"] = id.modeName;
            } else {
                entry["error"] = id.error;
            }
            all.push_back(std::move(entry));
        }
        io.out << jsonText(all) << "\n";
        return kExitOk;
    }
    std::size_t serialWidth = 0;
    std::size_t pathWidth = 0;
    const std::size_t indexWidth = std::to_string(units.size()).size();
    for (const UnitListing& u : units) {
        serialWidth = std::max(serialWidth, u.serial.empty() ? std::size_t{1} : u.serial.size());
        pathWidth = std::max(pathWidth, u.path.size());
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        const Identity& id = found[i];
        std::string what = id.error;
        if (id.identified) {
            what = id.model + ", protocol " + std::to_string(id.protocol) + ", mode M" +
                   std::to_string(id.mode + 1);
            if (!id.modeName.empty()) what += " (" + id.modeName + ")";
        }
        io.out << padded(std::to_string(i + 1), indexWidth) << "  "
               << padded(units[i].serial.empty() ? "-" : units[i].serial, serialWidth) << "  "
               << padded(units[i].path, pathWidth) << "  " << what << "\n";
    }
    io.out.flush();
    return kExitOk;
}

UnitChoice chooseUnits(LinkBackend& backend, const UnitRequest& request, bool debugTrace, Io& io) {
    UnitChoice choice;
    const bool needsList = request.device || request.all;
    const UnitList list = listAttached(backend, debugTrace);
    if (!list.ok()) {
        // Without a selector the unit is opened as ever, which says why.
        if (needsList) choice.exitCode = io.fail(listFailure(list));
        return choice;
    }
    const std::vector<UnitListing>& units = list.units;
    if (request.device) {
        const UnitSelection selected = selectUnit(units, *request.device);
        if (!selected.ok()) {
            choice.exitCode = io.usage("--device: " + selected.message);
            noteUnits(units, io);
            return choice;
        }
        choice.path = units[selected.position].path;
        return choice;
    }
    if (request.all) {
        if (units.empty()) {
            choice.exitCode = io.fail("no unit attached");
            return choice;
        }
        choice.units = units;
        return choice;
    }
    // No unit or one: opened as ever (the first that opens).
    choice.none = units.empty();
    if (units.size() <= 1) return choice;
    if (!request.readOnly) {
        choice.exitCode = io.usage(unitsAttached(units.size()) + ": choose one with --device" +
                                   (request.allowsAll ? " or use --all" : ""));
        noteUnits(units, io);
        return choice;
    }
    const UnitListing& first = units.front();
    io.note(unitsAttached(units.size()) + ": using 1 (" +
            (first.serial.empty() ? first.path : first.serial + ", " + first.path) + ")");
    choice.path = first.path;
    return choice;
}

}  // namespace v36::cli
