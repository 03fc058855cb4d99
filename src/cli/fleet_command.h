#pragma once

#include <string>

namespace CLI {
class App;
}  // namespace CLI

namespace v36::cli {

// `fleet --mqtt URL list|get|set|recall`: the rooms on a broker, read and
// edited without a unit of one's own.
struct FleetArgs {
    CLI::App* command = nullptr;
    CLI::App* list = nullptr;
    CLI::App* get = nullptr;
    CLI::App* set = nullptr;
    CLI::App* recall = nullptr;
    std::string url;
    std::string passwordFile;
    std::string caFile;
    double timeout = 5.0;
    bool json = false;
    std::string room;
    std::string name;
    std::string value;
    int mode = 0;
};

void addFleetCommand(CLI::App& app, FleetArgs& args);
int runFleet(const FleetArgs& args);

// The password of a broker: V36_MQTT_PASSWORD, else the first line of
// `file`; the reason in `why` when the file cannot be read.
bool brokerPassword(const std::string& file, std::string& password, std::string& why);

}  // namespace v36::cli
