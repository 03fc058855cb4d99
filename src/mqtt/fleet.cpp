#include "mqtt/fleet.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>

namespace v36::mqtt {

namespace {

constexpr auto kSettle = std::chrono::milliseconds(150);
constexpr auto kSettleAtMost = std::chrono::seconds(2);

std::string clientId() {
    std::random_device device;
    return "v36-fleet-" + std::to_string(device() % 1000000u);
}

// "v36/<room>/<rest>": the room, when the topic has that shape.
std::optional<std::pair<std::string, std::string>> splitTopic(const std::string& topic) {
    if (topic.compare(0, 4, "v36/") != 0) return std::nullopt;
    const auto slash = topic.find('/', 4);
    if (slash == std::string::npos) return std::nullopt;
    return std::make_pair(topic.substr(4, slash - 4), topic.substr(slash + 1));
}

bool sameValue(const std::string& a, const std::string& b) {
    if (a == b) return true;
    char* endA = nullptr;
    char* endB = nullptr;
    const double x = std::strtod(a.c_str(), &endA);
    const double y = std::strtod(b.c_str(), &endB);
    if (endA == a.c_str() || *endA != '\0' || endB == b.c_str() || *endB != '\0') return false;
    return std::fabs(x - y) <= 1e-4 * std::max(1.0, std::fabs(y));
}

}  // namespace

Fleet::Fleet(const BrokerAddress& broker) : client_(clientId(), broker) {
    client_.onMessage([this](const Client::Message& m) {
        {
            std::lock_guard<std::mutex> lock(inbox_.mutex);
            inbox_.latest[m.topic] = m.payload;
            if (!m.retained) inbox_.live.push_back(m);
            inbox_.last = std::chrono::steady_clock::now();
        }
        inbox_.changed.notify_all();
    });
}

bool Fleet::connect(std::chrono::milliseconds wait, std::string& why) {
    if (!client_.start(why)) return false;
    if (!client_.waitConnected(wait)) {
        why = "the broker did not answer within " + std::to_string(wait.count()) + " ms";
        return false;
    }
    return true;
}

void Fleet::subscribeAndSettle(const std::vector<std::string>& patterns) {
    for (const std::string& p : patterns)
        client_.subscribe(p);
    client_.waitSubscribed(kSettleAtMost);
    // The kept messages follow the acknowledgement: wait until they pause.
    const auto until = std::chrono::steady_clock::now() + kSettleAtMost;
    std::unique_lock<std::mutex> lock(inbox_.mutex);
    inbox_.last = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < until) {
        const auto quietUntil = inbox_.last + kSettle;
        if (std::chrono::steady_clock::now() >= quietUntil) break;
        inbox_.changed.wait_until(lock, quietUntil);
    }
}

std::vector<Fleet::Room> Fleet::rooms() {
    // Once subscribed, the inbox follows the rooms as they change.
    if (!listed_) {
        subscribeAndSettle(
            {"v36/+/status", "v36/+/info", "v36/+/state/mode", "v36/+/seen", "v36/+/unit"});
        listed_ = true;
    }
    std::map<std::string, Room> rooms;
    std::lock_guard<std::mutex> lock(inbox_.mutex);
    for (const auto& [topic, payload] : inbox_.latest) {
        const auto split = splitTopic(topic);
        if (!split || payload.empty()) continue;
        Room& r = rooms[split->first];
        r.room = split->first;
        const std::string& what = split->second;
        if (what == "status") {
            r.online = payload == "online";
        } else if (what == "unit") {
            r.unit = payload;
        } else if (what == "seen") {
            r.seen = payload;
        } else if (what == "state/mode") {
            r.mode = std::atoi(payload.c_str());
        } else if (what == "info") {
            const auto j = nlohmann::json::parse(payload, nullptr, false);
            if (j.is_object()) {
                r.model = j.value("model", "");
                r.serial = j.value("serial", "");
                r.protocol = j.value("protocol", 0);
                r.version = j.value("version", "");
            }
        }
    }
    std::vector<Room> list;
    for (auto& [name, room] : rooms)
        list.push_back(std::move(room));
    return list;
}

std::optional<std::string> Fleet::get(const std::string& room, const std::string& name) {
    const std::string topic = "v36/" + room + "/state/" + name;
    subscribeAndSettle({topic});
    std::lock_guard<std::mutex> lock(inbox_.mutex);
    const auto it = inbox_.latest.find(topic);
    if (it == inbox_.latest.end() || it->second.empty()) return std::nullopt;
    return it->second;
}

std::vector<std::string> Fleet::addressed(const std::string& rooms) {
    if (rooms != "all") return {rooms};
    std::vector<std::string> names;
    for (const Room& r : this->rooms())
        if (r.online) names.push_back(r.room);
    return names;
}

std::vector<Fleet::Result> Fleet::set(const std::string& rooms, const std::string& name,
                                      const std::string& value, std::chrono::milliseconds timeout) {
    return edit(rooms, name, value, true, timeout);
}

std::vector<Fleet::Result> Fleet::recall(const std::string& rooms, int mode,
                                         std::chrono::milliseconds timeout) {
    return edit(rooms, "mode", std::to_string(mode), false, timeout);
}

std::vector<Fleet::Result> Fleet::edit(const std::string& rooms, const std::string& name,
                                       const std::string& value, bool firstEchoDecides,
                                       std::chrono::milliseconds timeout) {
    const std::vector<std::string> names = addressed(rooms);
    std::vector<Result> results;
    if (names.empty()) return results;
    std::vector<std::string> patterns;
    if (rooms == "all") {
        patterns = {"v36/+/state/" + name, "v36/+/error"};
    } else {
        patterns = {"v36/" + rooms + "/state/" + name, "v36/" + rooms + "/error"};
    }
    for (const std::string& p : patterns)
        client_.subscribe(p);
    client_.waitSubscribed(kSettleAtMost);
    std::size_t seen = 0;
    {
        std::lock_guard<std::mutex> lock(inbox_.mutex);
        seen = inbox_.live.size();
    }
    for (const std::string& room : names)
        client_.publish("v36/" + room + "/set/" + name, value, false);

    std::map<std::string, Result> open;
    for (const std::string& room : names)
        open[room] = Result{room, false,
                            "did not confirm within " + std::to_string(timeout.count()) + " ms"};
    std::set<std::string> done;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> lock(inbox_.mutex);
    while (done.size() < names.size()) {
        while (seen < inbox_.live.size()) {
            const Client::Message m = inbox_.live[seen++];
            const auto split = splitTopic(m.topic);
            if (!split) continue;
            const auto it = open.find(split->first);
            if (it == open.end() || done.count(split->first) != 0) continue;
            Result& r = it->second;
            if (split->second == "state/" + name) {
                if (sameValue(m.payload, value)) {
                    r.ok = true;
                    r.text = name + " = " + m.payload;
                    done.insert(r.room);
                } else if (firstEchoDecides) {
                    r.text = name + " is " + m.payload + ", not " + value;
                    done.insert(r.room);
                } else {
                    r.text = name + " is " + m.payload + ", not " + value;
                }
            } else if (split->second == "error") {
                const auto j = nlohmann::json::parse(m.payload, nullptr, false);
                if (!j.is_object()) continue;
                const std::string topic = j.value("topic", "");
                if (topic == "v36/" + r.room + "/set/" + name) {
                    r.text = j.value("error", "refused");
                    done.insert(r.room);
                } else if (topic == "v36/" + r.room + "/unit") {
                    r.text = j.value("error", "the unit does not answer");
                }
            }
        }
        if (done.size() == names.size()) break;
        if (inbox_.changed.wait_until(lock, deadline) == std::cv_status::timeout &&
            seen == inbox_.live.size())
            break;
    }
    for (const std::string& room : names)
        results.push_back(open[room]);
    return results;
}

}  // namespace v36::mqtt
