#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

#include "context/device_context.h"
#include "mqtt/broker.h"
#include "mqtt/room_bridge.h"
#include "protocol/controls.h"
#include "protocol/report.h"
#include "protocol/words.h"

namespace v36 {
namespace {

using namespace std::chrono_literals;
using test::Broker;
using test::Listener;

// A virtual unit, opened, bridged as room "r1".
struct Room {
    explicit Room(const Broker& broker, std::string name = "r1") {
        VirtualUnitConfig config;
        config.serial = "SIM000" + std::to_string(++count());
        unit = &ctx.useVirtualUnit(config);
        ctx.openLink();
        mqtt::RoomOptions options;
        options.room = std::move(name);
        options.serial = config.serial;
        bridge = std::make_unique<mqtt::RoomBridge>(ctx, broker.address(), options);
        std::string why;
        EXPECT_TRUE(bridge->start(why)) << why;
    }
    static int& count() {
        static int n = 0;
        return n;
    }
    bool unitGotParams() {
        ctx.editor.waitIdle();
        for (const Report& r : unit->received())
            if (r[1] == cmd::kSetParam) return true;
        return false;
    }

    DeviceContext ctx;
    VirtualUnit* unit = nullptr;
    std::unique_ptr<mqtt::RoomBridge> bridge;
};

TEST(Bridge, RetainedStateInfoAndDiscoveryAppear) {
    Broker broker;
    Room room(broker);
    Listener l(broker, {"v36/r1/#", "homeassistant/#"});
    ASSERT_TRUE(l.waitFor("v36/r1/status", "online"));
    ASSERT_TRUE(l.waitFor("v36/r1/state/micVolume"));
    EXPECT_EQ(l.latest("v36/r1/state/micVolume"), wordValueText(room.ctx.store, w::micVolume));
    EXPECT_TRUE(l.waitFor("v36/r1/state/outMain.mute", "0"));
    EXPECT_TRUE(l.waitFor("v36/r1/state/mode", "1"));
    EXPECT_TRUE(l.waitFor("v36/r1/unit", "present"));

    ASSERT_TRUE(l.waitFor("v36/r1/info"));
    const auto info = nlohmann::json::parse(l.latest("v36/r1/info"));
    EXPECT_EQ(info["serial"], room.unit->listUnits(room.ctx.trace).units.at(0).serial);
    for (const char* key : {"model", "protocol", "version"})
        EXPECT_TRUE(info.contains(key)) << key;

    ASSERT_TRUE(l.waitFor("v36/r1/eq/1"));
    const auto eq = nlohmann::json::parse(l.latest("v36/r1/eq/1"));
    ASSERT_FALSE(eq["bands"].empty());
    for (const char* key : {"type", "freq", "gain", "q"})
        EXPECT_TRUE(eq["bands"][0].contains(key)) << key;

    // Numbers with the control table's range, switches, the mode select.
    ASSERT_TRUE(l.waitFor("homeassistant/number/v36_r1/musicPitch/config"));
    const auto pitch =
        nlohmann::json::parse(l.latest("homeassistant/number/v36_r1/musicPitch/config"));
    const ControlInfo& c = controlInfo(w::musicPitch);
    EXPECT_EQ(pitch["min"].get<double>(), c.lo);
    EXPECT_EQ(pitch["max"].get<double>(), c.hi);
    EXPECT_EQ(pitch["command_topic"], "v36/r1/set/musicPitch");
    EXPECT_EQ(pitch["availability_topic"], "v36/r1/status");
    EXPECT_EQ(pitch["device"]["identifiers"][0], "v36_r1");
    EXPECT_EQ(pitch["device"]["model"], "V36");
    EXPECT_TRUE(l.waitFor("homeassistant/switch/v36_r1/outSub_mute/config"));
    ASSERT_TRUE(l.waitFor("homeassistant/select/v36_r1/mode/config"));
    EXPECT_EQ(nlohmann::json::parse(l.latest("homeassistant/select/v36_r1/mode/config"))["options"],
              nlohmann::json::array({"1", "2", "3", "4"}));

    // A room that leaves for good takes its configs with it.
    room.bridge->stop(true);
    std::this_thread::sleep_for(200ms);
    Listener after(broker, {"homeassistant/#", "v36/#"});
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(after.all().empty()) << after.all().front().topic;
}

TEST(Bridge, EditsFromTheBrokerAndFromTheCoreEchoOnState) {
    Broker broker;
    Room room(broker);
    Listener l(broker, {"v36/r1/#"});
    ASSERT_TRUE(l.waitFor("v36/r1/status", "online"));
    room.unit->clearTraffic();

    l.client().publish("v36/r1/set/micVolume", "40", false);
    EXPECT_TRUE(l.waitFor("v36/r1/state/micVolume", "40"));
    EXPECT_EQ(room.ctx.store.params.getInt(w::micVolume), 40);
    EXPECT_TRUE(room.unitGotParams());

    // Any edit of the store is told, whoever made it.
    room.ctx.editor.apply(wordEdit(room.ctx.store, w::musicVolume, 33));
    EXPECT_TRUE(l.waitFor("v36/r1/state/musicVolume", "33"));

    l.client().publish("v36/r1/set/eq/1/band/1", R"({"gain": 3.5})", false);
    ASSERT_TRUE(l.waitFor("v36/r1/eq/1"));
    for (int i = 0; i < 100; ++i) {
        const auto eq = nlohmann::json::parse(l.latest("v36/r1/eq/1"));
        if (eq["bands"][0]["gain"].get<double>() == 3.5) break;
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(nlohmann::json::parse(l.latest("v36/r1/eq/1"))["bands"][0]["gain"].get<double>(),
              3.5);

    // A flood of one word: the last value wins.
    for (int v = 0; v <= 50; ++v)
        l.client().publish("v36/r1/set/effectVolume", std::to_string(v), false);
    EXPECT_TRUE(l.waitFor("v36/r1/state/effectVolume", "50"));
    room.ctx.editor.waitIdle();
    EXPECT_EQ(room.ctx.store.params.getInt(w::effectVolume), 50);
}

TEST(Bridge, BadEditsAreAnsweredOnErrorAndNothingIsSent) {
    Broker broker;
    Room room(broker);
    Listener l(broker, {"v36/r1/error", "v36/r1/status"});
    ASSERT_TRUE(l.waitFor("v36/r1/status", "online"));
    struct Case {
        std::string topic, payload, error;
    };
    const Case cases[] = {
        {"set/nothing", "1", "no parameter named \"nothing\""},
        {"set/micVolume", "loud", "is not a number"},
        {"set/micVolume", "", "is not a number"},
        {"set/micVolume", "500", "micVolume lies within"},
        {"set/mode", "7", "memory modes run from 1 to 4"},
        {"set/eq/1/band/99", "{}", "has bands"},
        {"set/eq/1/band/1", "[1]", "a band is a JSON object"},
        {"set/eq/1/band/1", R"({"gain": "3"})", "gain takes a number"},
        {"set/eq/1/band/1", R"({"colour": 3})", "no field \"colour\""},
        {"set/eq/1/band/1", R"({"gain": 99})", "gain lies within"},
        {"set/micVolume", std::string(70 * 1024, '1'), "payloads are at most 65536 bytes"},
    };
    room.unit->clearTraffic();
    // What an edit would change (the unit's live levels change on their own).
    const auto edits = [&room] {
        const StoreChanges& c = room.ctx.store.changes;
        return std::make_pair(c.area(StoreChanges::Area::Words),
                              c.area(StoreChanges::Area::Records));
    };
    const auto before = edits();
    for (const Case& c : cases) {
        l.clear();
        l.client().publish("v36/r1/" + c.topic, c.payload, false);
        ASSERT_TRUE(l.waitFor("v36/r1/error")) << c.topic << " " << c.payload.substr(0, 20);
        const auto e = nlohmann::json::parse(l.latest("v36/r1/error"));
        EXPECT_EQ(e["topic"], "v36/r1/" + c.topic);
        EXPECT_NE(e["error"].get<std::string>().find(c.error), std::string::npos)
            << e["error"] << " for " << c.topic;
    }
    EXPECT_EQ(edits(), before);
    EXPECT_FALSE(room.unitGotParams());

    // A unit that is gone takes no edit.
    room.unit->unplug();
    for (int i = 0; i < 200 && room.ctx.unitAttached(); ++i)
        std::this_thread::sleep_for(10ms);
    l.clear();
    l.client().publish("v36/r1/set/micVolume", "10", false);
    ASSERT_TRUE(l.waitFor("v36/r1/error"));
    EXPECT_NE(l.latest("v36/r1/error").find("not attached"), std::string::npos);
}

TEST(Bridge, TheBrokerComingBackGetsTheRoomAgain) {
    Broker broker;
    Room room(broker);
    {
        Listener l(broker, {"v36/r1/status"});
        ASSERT_TRUE(l.waitFor("v36/r1/status", "online"));
    }
    // The broker forgets everything (no persistence) and comes back.
    broker.stop();
    room.ctx.editor.apply(wordEdit(room.ctx.store, w::musicVolume, 21));
    broker.start();
    Listener l(broker, {"v36/r1/#"});
    EXPECT_TRUE(l.waitFor("v36/r1/status", "online", 10s));
    EXPECT_TRUE(l.waitFor("v36/r1/state/musicVolume", "21", 10s));
    l.client().publish("v36/r1/set/micVolume", "12", false);
    EXPECT_TRUE(l.waitFor("v36/r1/state/micVolume", "12"));
}

TEST(Bridge, AKilledBridgeLeavesItsLastWill) {
    Broker broker;
    Listener l(broker, {"v36/+/status"});
    test::Process serve(
        {V36CTL, "--simulate", "serve", "--mqtt", broker.url(), "--no-phone", "--room", "killed"});
    ASSERT_TRUE(l.waitFor("v36/killed/status", "online", 10s));
    serve.stop(SIGKILL);
    EXPECT_TRUE(l.waitFor("v36/killed/status", "offline", 60s));
}

}  // namespace
}  // namespace v36
