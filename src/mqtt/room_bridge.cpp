#include "mqtt/room_bridge.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "context/device_context.h"
#include "phone/remote_edit.h"
#include "protocol/controls.h"
#include "protocol/eq_access.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36::mqtt {

namespace {

using Json = nlohmann::ordered_json;

constexpr auto kSeenEvery = std::chrono::seconds(60);

std::string jsonText(const Json& j) {
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A payload as a number: optional spaces around one decimal number.
std::optional<double> numberOf(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                             text.back() == '\r'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return v;
}

// The object id of a word in discovery topics: letters, digits and '_'.
std::string objectId(std::string_view name) {
    std::string id;
    for (const char c : name)
        id += (std::isalnum(static_cast<unsigned char>(c)) != 0) ? c : '_';
    while (!id.empty() && id.back() == '_')
        id.pop_back();
    return id;
}

std::string utcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

}  // namespace

RoomBridge::RoomBridge(DeviceContext& ctx, const BrokerAddress& broker, RoomOptions options,
                       RoomHooks hooks)
    : ctx_(ctx),
      options_(std::move(options)),
      hooks_(std::move(hooks)),
      base_("v36/" + options_.room + "/"),
      client_(options_.clientId.empty() ? "v36-" + options_.room : options_.clientId, broker,
              Client::Will{base_ + "status", "offline", true}) {}

RoomBridge::~RoomBridge() {
    stop(false);
}

std::string RoomBridge::topic(std::string_view sub) const {
    return base_ + std::string(sub);
}

bool RoomBridge::start(std::string& why) {
    if (running_) return true;
    client_.onConnect([this] { connected_(); });
    client_.onMessage([this](const Client::Message& m) { receive(m); });
    if (!client_.start(why)) return false;
    running_ = true;
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        stopping_ = false;
    }
    subscription_ = ctx_.store.changes.subscribe([this] { nudge(); });
    watcher_ = std::thread([this] { watch(); });
    return true;
}

void RoomBridge::stop(bool forget) {
    if (!running_.exchange(false)) return;
    ctx_.store.changes.unsubscribe(subscription_);
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (watcher_.joinable()) watcher_.join();
    if (client_.connected()) {
        if (forget) {
            // An empty retained message removes what the broker kept.
            for (const auto& [topic, payload] : discoveryConfigs())
                client_.publish(topic, "", true);
            for (const ControlInfo& c : controlTable())
                client_.publish(topic("state/" + c.name), "", true);
            for (int eq = 0; eq < kEqCount; ++eq)
                client_.publish(topic("eq/" + std::to_string(eq)), "", true);
            for (const char* sub : {"state/mode", "info", "unit", "seen", "status"})
                client_.publish(topic(sub), "", true);
        } else {
            client_.publish(topic("status"), "offline", true);
        }
        client_.flush(std::chrono::seconds(2));
    }
    client_.stop();
}

void RoomBridge::connected_() {
    client_.subscribe(topic("set/#"));
    publishAll();
}

void RoomBridge::publishAll() {
    client_.publish(topic("status"), "online", true);
    {
        std::lock_guard<std::mutex> lock(publishedMutex_);
        unitPresent_ = -1;
        infoText_.clear();
    }
    publishChanges(true);
    publishSeen();
    if (options_.discovery) {
        for (const auto& [t, payload] : discoveryConfigs())
            client_.publish(t, payload, true);
    }
}

void RoomBridge::watch() {
    auto nextSeen = std::chrono::steady_clock::now() + kSeenEvery;
    std::unique_lock<std::mutex> lock(wakeMutex_);
    while (!stopping_) {
        wake_.wait_for(lock, std::chrono::seconds(1), [this] { return woken_ || stopping_; });
        if (stopping_) break;
        woken_ = false;
        lock.unlock();
        if (client_.connected()) {
            publishChanges(false);
            if (std::chrono::steady_clock::now() >= nextSeen) {
                publishSeen();
                nextSeen = std::chrono::steady_clock::now() + kSeenEvery;
            }
        }
        lock.lock();
    }
}

void RoomBridge::publishWord(int word, bool force) {
    const std::uint32_t raw = ctx_.store.params.getRaw(word);
    const auto w = static_cast<std::size_t>(word);
    if (!force && wordKnown_[w] && words_[w] == raw) return;
    words_[w] = raw;
    wordKnown_[w] = true;
    client_.publish(topic("state/" + controlInfo(word).name), wordValueText(ctx_.store, word),
                    true);
}

void RoomBridge::publishMode(bool force) {
    const int mode = ctx_.store.currentMode.load();
    if (!force && mode == mode_) return;
    mode_ = mode;
    client_.publish(topic("state/mode"), std::to_string(mode + 1), true);
}

void RoomBridge::publishInfo() {
    const ParamStore& s = ctx_.store;
    const std::string text = jsonText(Json{{"model", s.deviceModel.utf8()},
                                           {"protocol", int{s.protocolVersion.load()}},
                                           {"serial", options_.serial},
                                           {"version", s.dspVersion.utf8()}});
    if (text == infoText_) return;
    infoText_ = text;
    client_.publish(topic("info"), text, true);
}

void RoomBridge::publishSeen() {
    client_.publish(topic("seen"), utcNow(), true);
}

void RoomBridge::hold(std::string why) {
    {
        std::lock_guard<std::mutex> lock(publishedMutex_);
        held_ = std::move(why);
    }
    refuse(topic("unit"), held_);
}

void RoomBridge::release() {
    {
        std::lock_guard<std::mutex> lock(publishedMutex_);
        if (held_.empty()) return;
        held_.clear();
    }
    if (client_.connected()) publishChanges(true);
}

void RoomBridge::publishChanges(bool all) {
    std::lock_guard<std::mutex> lock(publishedMutex_);
    publishUnit();
    // A unit that could not be read whole: what the store holds is not its
    // state.
    if (!held_.empty()) return;
    for (int word = 0; word < ParamBlock::kWords; ++word)
        publishWord(word, all);
    publishMode(all);
    publishInfo();

    const std::uint64_t records = ctx_.store.changes.area(StoreChanges::Area::Records) +
                                  ctx_.store.changes.area(StoreChanges::Area::Words);
    if (all || records != recordsSeen_) {
        recordsSeen_ = records;
        for (int eq = 0; eq < kEqCount; ++eq) {
            EqGraphModel graph;
            phone::loadRemoteGraph(ctx_.store, graph, eq);
            Json bands = Json::array();
            for (int n = 0; n < graph.visibleBandCount(); ++n) {
                const EqBand& b = graph.band(n);
                bands.push_back({{"type", phone::shownType(eq, graph.bands(), n)},
                                 {"freq", b.freq},
                                 {"gain", b.gain},
                                 {"q", b.q}});
            }
            std::string text = jsonText(Json{{"bands", std::move(bands)}});
            auto& known = eqs_[static_cast<std::size_t>(eq)];
            if (!all && text == known) continue;
            known = std::move(text);
            client_.publish(topic("eq/" + std::to_string(eq)), known, true);
        }
    }
}

void RoomBridge::publishUnit() {
    const int present = unitPresent() ? 1 : 0;
    if (present != unitPresent_) {
        unitPresent_ = present;
        client_.publish(topic("unit"), present != 0 ? "present" : "absent", true);
    }
    // A unit that stops answering is still served; the broker hears of it.
    const int missed = ctx_.link.missedAnswers();
    if (missed > missedSeen_) {
        missedSeen_ = missed;
        client_.publish(
            topic("error"),
            jsonText(Json{{"topic", topic("unit")},
                          {"error", "the unit does not answer: " + std::to_string(missed) +
                                        " reports unanswered so far"}}),
            false);
    }
}

void RoomBridge::refuse(const std::string& t, const std::string& why) {
    client_.publish(topic("error"), jsonText(Json{{"topic", t}, {"error", why}}), false);
}

void RoomBridge::nudge() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        woken_ = true;
    }
    wake_.notify_one();
}

void RoomBridge::run(std::function<void()> job) {
    if (hooks_.run) {
        hooks_.run(std::move(job));
    } else {
        job();
    }
}

void RoomBridge::receive(const Client::Message& m) {
    const std::string prefix = topic("set/");
    if (m.topic.compare(0, prefix.size(), prefix) != 0) return;
    if (m.tooLarge) {
        refuse(m.topic, "payloads are at most " + std::to_string(kMaxPayload) + " bytes");
        return;
    }
    if (m.retained) {
        // A kept command would run again at every start: refuse it.
        refuse(m.topic, "edits are not retained: publish them without the retain flag");
        return;
    }
    handleSet(m.topic.substr(prefix.size()), m.payload);
}

bool RoomBridge::unitPresent() const {
    // A unit pulled out ends the link's read thread before anyone closes it.
    return ctx_.unitAttached() && !ctx_.link.readThreadEnd.load();
}

std::string RoomBridge::unitTrouble() {
    if (!unitPresent()) return "the unit is not attached";
    {
        std::lock_guard<std::mutex> lock(publishedMutex_);
        if (!held_.empty()) return held_;
    }
    if (ctx_.link.gaveUp() || ctx_.link.unansweredWrites() > 0) return "the unit does not answer";
    return {};
}

void RoomBridge::handleSet(const std::string& what, const std::string& payload) {
    const std::string t = topic("set/" + what);
    // An edit the unit cannot take is refused, not kept as if it had.
    if (const std::string why = unitTrouble(); !why.empty()) {
        refuse(t, why);
        return;
    }
    if (what == "mode") {
        const auto n = numberOf(payload);
        if (!n || *n != static_cast<double>(static_cast<int>(*n)) || *n < 1 || *n > 4) {
            refuse(t, "memory modes run from 1 to 4");
            return;
        }
        const int mode = static_cast<int>(*n) - 1;
        run([this, t, mode] {
            const std::string why = hooks_.recall ? hooks_.recall(mode)
                                                  : std::string(
                                                        "memory modes cannot be "
                                                        "recalled here");
            if (!why.empty()) {
                refuse(t, why);
                return;
            }
            std::lock_guard<std::mutex> lock(publishedMutex_);
            publishMode(true);
        });
        return;
    }
    if (what.compare(0, 3, "eq/") == 0) {
        int eq = -1;
        int band = -1;
        char tail = 0;
        if (std::sscanf(what.c_str(), "eq/%d/band/%d%c", &eq, &band, &tail) != 2) {
            refuse(t, "EQ bands are set on eq/<n>/band/<b>");
            return;
        }
        const Json j = Json::parse(payload, nullptr, false);
        if (j.is_discarded() || !j.is_object()) {
            refuse(t, "a band is a JSON object of type, freq, gain and q");
            return;
        }
        phone::BandRequest request;
        request.eq = eq;
        request.band = band;
        request.end = true;
        for (const auto& [key, value] : j.items()) {
            if (!value.is_number()) {
                refuse(t, key + " takes a number");
                return;
            }
            const double v = value.get<double>();
            if (key == "type") {
                request.type = static_cast<int>(v);
            } else if (key == "freq") {
                request.freq = v;
            } else if (key == "gain") {
                request.gain = v;
            } else if (key == "q") {
                request.q = v;
            } else {
                refuse(t, "a band has no field \"" + key + "\"");
                return;
            }
        }
        run([this, t, request] {
            std::string why;
            auto edit = phone::remoteBandEdit(ctx_.store, request, why);
            if (!edit && !why.empty()) {
                refuse(t, why);
                return;
            }
            if (edit) {
                if (hooks_.apply) {
                    hooks_.apply(std::move(*edit));
                } else {
                    ctx_.editor.apply(std::move(*edit));
                }
            }
            {
                // The sender hears the EQ even when nothing changed.
                std::lock_guard<std::mutex> lock(publishedMutex_);
                eqs_[static_cast<std::size_t>(request.eq)].clear();
                recordsSeen_ = ~std::uint64_t{0};
            }
            nudge();
        });
        return;
    }
    const auto word = findWord(what);
    if (!word || !controlInfo(*word).settable()) {
        refuse(t, "no parameter named \"" + what + "\" can be set");
        return;
    }
    const auto value = numberOf(payload);
    if (!value) {
        refuse(t, "\"" + payload.substr(0, 64) + "\" is not a number");
        return;
    }
    const int w = *word;
    const double v = *value;
    run([this, t, w, v] {
        std::string why;
        auto edit = phone::remoteWordEdit(ctx_.store, w, v, ctx_.unitAttached(), why);
        if (!edit) {
            refuse(t, why);
            return;
        }
        if (phone::editChanges(ctx_.store, *edit)) {
            if (hooks_.apply) {
                hooks_.apply(std::move(*edit));
            } else {
                ctx_.editor.apply(std::move(*edit));
            }
        }
        // The sender hears its word even when nothing changed.
        std::lock_guard<std::mutex> lock(publishedMutex_);
        publishWord(w, true);
    });
}

std::vector<std::pair<std::string, std::string>> RoomBridge::discoveryConfigs() const {
    std::vector<std::pair<std::string, std::string>> configs;
    const std::string& room = options_.room;
    const Json device{{"identifiers", Json::array({"v36_" + room})},
                      {"name", room},
                      {"model", "V36"},
                      {"serial_number", options_.serial}};
    auto config = [&](const std::string& component, const std::string& object, Json body) {
        body["unique_id"] = "v36_" + room + "_" + object;
        body["availability_topic"] = topic("status");
        body["device"] = device;
        configs.emplace_back(
            options_.discoveryPrefix + "/" + component + "/v36_" + room + "/" + object + "/config",
            jsonText(body));
    };
    for (const int word : {w::micVolume, w::effectVolume, w::musicVolume, w::musicPitch}) {
        const ControlInfo& c = controlInfo(word);
        Json body{{"name", c.en},
                  {"state_topic", topic("state/" + c.name)},
                  {"command_topic", topic("set/" + c.name)},
                  {"min", c.lo},
                  {"max", c.hi},
                  {"step", c.step},
                  {"mode", "slider"}};
        if (!c.unit.empty() && c.unit != ":1") body["unit_of_measurement"] = c.unit;
        config("number", objectId(c.name), std::move(body));
    }
    std::vector<int> switches{w::micMute, w::musicMute};
    for (const OutputGroup& g : kOutputGroups)
        switches.push_back(g.mute());
    for (const int word : switches) {
        const ControlInfo& c = controlInfo(word);
        config("switch", objectId(c.name),
               Json{{"name", c.en},
                    {"state_topic", topic("state/" + c.name)},
                    {"command_topic", topic("set/" + c.name)},
                    {"payload_on", "1"},
                    {"payload_off", "0"},
                    {"state_on", "1"},
                    {"state_off", "0"}});
    }
    config("select", "mode",
           Json{{"name", "Memory mode"},
                {"state_topic", topic("state/mode")},
                {"command_topic", topic("set/mode")},
                {"options", Json::array({"1", "2", "3", "4"})}});
    return configs;
}

}  // namespace v36::mqtt
