#include "cli/fleet_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <iostream>

#include "cli/cli.h"
#include "mqtt/fleet.h"

namespace v36::cli {

namespace {

int exitWith(int code, const std::string& message) {
    std::cerr << "v36ctl: " << message << "\n";
    return code;
}

}  // namespace

bool brokerPassword(const std::string& file, std::string& password, std::string& why) {
    if (const char* env = std::getenv("V36_MQTT_PASSWORD"); env != nullptr && *env != '\0') {
        password = env;
        return true;
    }
    if (file.empty()) return true;
    std::ifstream in(file);
    if (!in || !std::getline(in, password)) {
        why = "cannot read the broker's password from " + file;
        return false;
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return true;
}

void addFleetCommand(CLI::App& app, FleetArgs& args) {
    args.command = app.add_subcommand(
        "fleet",
        "The rooms on an MQTT broker: list them, read a value, set one in a room or "
        "in all rooms, recall a memory mode; each edit waits for the rooms to confirm");
    args.command->add_option("--mqtt", args.url, "The broker: mqtt://[user@]host[:port]")
        ->required();
    args.command->add_option("--mqtt-password-file", args.passwordFile,
                             "Read the broker's password from this file (or V36_MQTT_PASSWORD)");
    args.command->add_option("--mqtt-cafile", args.caFile,
                             "The authority that signed an mqtts:// broker's certificate");
    args.command
        ->add_option("--timeout", args.timeout,
                     "Seconds to wait for the rooms to confirm (default 5)")
        ->check(CLI::Range(0.1, 600.0));
    args.command->require_subcommand(1);
    // The options may also follow the subcommand.
    args.command->fallthrough();
    args.list = args.command->add_subcommand("list",
                                             "One line per room: name, online or not, "
                                             "unit, model, serial, mode, last seen");
    args.list->add_flag("--json", args.json, "Print the rooms as JSON");
    args.get = args.command->add_subcommand("get", "Print a room's value of a parameter");
    args.get->add_option("room", args.room, "The room")->required();
    args.get->add_option("name", args.name, "e.g. micVolume, outMain.mute, mode")->required();
    args.set = args.command->add_subcommand("set", "Set a parameter in a room or in all rooms");
    args.set->add_option("room", args.room, "The room, or all")->required();
    args.set->add_option("name", args.name, "e.g. micVolume")->required();
    args.set->add_option("value", args.value, "The value in display units")->required();
    args.recall =
        args.command->add_subcommand("recall", "Recall a memory mode in a room or in all");
    args.recall->add_option("room", args.room, "The room, or all")->required();
    args.recall->add_option("mode", args.mode, "The memory mode 1..4")
        ->required()
        ->check(CLI::Range(1, 4));
}

int runFleet(const FleetArgs& args) {
    std::string why;
    auto broker = mqtt::parseBrokerUrl(args.url, why);
    if (!broker) return exitWith(kExitUsage, why);
    if ((*args.get || *args.set || *args.recall) && args.room != "all" &&
        !mqtt::isRoomName(args.room))
        return exitWith(kExitUsage, "a room's name is letters, digits, - and _ (at most 64)");
    if (*args.get && args.room == "all") return exitWith(kExitUsage, "get reads one room");
    if (!brokerPassword(args.passwordFile, broker->password, why))
        return exitWith(kExitFailure, why);
    broker->caFile = args.caFile;
    const auto timeout = std::chrono::milliseconds(static_cast<long>(args.timeout * 1000.0));

    mqtt::Fleet fleet(*broker);
    if (!fleet.connect(timeout, why))
        return exitWith(kExitFailure, "broker " + args.url + ": " + why);

    if (*args.list) {
        const auto rooms = fleet.rooms();
        if (rooms.empty()) std::cerr << "v36ctl: no room on the broker\n";
        if (args.json) {
            nlohmann::ordered_json list = nlohmann::ordered_json::array();
            for (const auto& r : rooms)
                list.push_back({{"room", r.room},
                                {"online", r.online},
                                {"unit", r.unit},
                                {"model", r.model},
                                {"serial", r.serial},
                                {"protocol", r.protocol},
                                {"mode", r.mode},
                                {"seen", r.seen}});
            std::cout << list.dump(2) << "\n";
            return kExitOk;
        }
        for (const auto& r : rooms) {
            std::cout << r.room << "  " << (r.online ? "online" : "offline") << "  "
                      << (r.unit.empty() ? "-" : r.unit) << "  "
                      << (r.model.empty() ? "-" : r.model) << "  "
                      << (r.serial.empty() ? "-" : r.serial) << "  mode "
                      << (r.mode > 0 ? std::to_string(r.mode) : "-") << "  seen "
                      << (r.seen.empty() ? "-" : r.seen) << "\n";
        }
        return kExitOk;
    }
    if (*args.get) {
        const auto value = fleet.get(args.room, args.name);
        if (!value)
            return exitWith(kExitFailure, "room " + args.room + " has no value of " + args.name);
        std::cout << *value << "\n";
        return kExitOk;
    }
    const auto results = *args.set ? fleet.set(args.room, args.name, args.value, timeout)
                                   : fleet.recall(args.room, args.mode, timeout);
    if (results.empty()) return exitWith(kExitFailure, "no room is online");
    bool allOk = true;
    for (const auto& r : results) {
        std::cout << r.room << ": " << (r.ok ? "ok, " : "failed, ") << r.text << "\n";
        allOk = allOk && r.ok;
    }
    return allOk ? kExitOk : kExitFailure;
}

}  // namespace v36::cli
