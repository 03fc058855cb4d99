#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mqtt/mqtt_client.h"

namespace v36::mqtt {

// The rooms on a broker as one fleet: what each room says of itself, and
// edits to one room or to all of them, each confirmed by the room's echo.
class Fleet {
  public:
    struct Room {
        std::string room;
        bool online = false;
        std::string unit;  // present / absent / "" (not said)
        std::string model;
        std::string serial;
        int protocol = 0;
        std::string version;
        int mode = 0;  // 1..4; 0 when not said
        std::string seen;
    };
    struct Result {
        std::string room;
        bool ok = false;
        std::string text;  // the value confirmed, or why not
    };

    explicit Fleet(const BrokerAddress& broker);

    // Connects; false with the reason when the broker cannot be reached in
    // `wait`.
    bool connect(std::chrono::milliseconds wait, std::string& why);

    // Every room the broker keeps, sorted by name.
    std::vector<Room> rooms();
    // A room's value of `name` (a word or "mode"); nullopt when it has none.
    std::optional<std::string> get(const std::string& room, const std::string& name);
    // Sets `name` to `value` in each room of `rooms` ("all": every room
    // online) and waits for each room's echo until `timeout`.
    std::vector<Result> set(const std::string& rooms, const std::string& name,
                            const std::string& value, std::chrono::milliseconds timeout);
    // Recalls memory mode 1..4 in each addressed room.
    std::vector<Result> recall(const std::string& rooms, int mode,
                               std::chrono::milliseconds timeout);

  private:
    std::vector<std::string> addressed(const std::string& rooms);
    std::vector<Result> edit(const std::string& rooms, const std::string& name,
                             const std::string& value, bool firstEchoDecides,
                             std::chrono::milliseconds timeout);

    // What the broker sent: the newest payload of each topic, and the
    // messages sent live (not kept ones) in order.
    struct Inbox {
        std::mutex mutex;
        std::condition_variable changed;
        std::map<std::string, std::string> latest;
        std::vector<Client::Message> live;
        std::chrono::steady_clock::time_point last;
    };
    // Subscribes and waits until the kept messages stopped coming.
    void subscribeAndSettle(const std::vector<std::string>& patterns);

    Inbox inbox_;
    bool listed_ = false;
    Client client_;
};

}  // namespace v36::mqtt
