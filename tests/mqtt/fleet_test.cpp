#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "context/device_context.h"
#include "mqtt/broker.h"
#include "mqtt/fleet.h"
#include "mqtt/room_bridge.h"
#include "protocol/words.h"

namespace v36 {
namespace {

using namespace std::chrono_literals;
using test::Broker;
using test::Listener;

struct BridgedUnit {
    BridgedUnit(const Broker& broker, const std::string& room) {
        VirtualUnitConfig config;
        config.serial = room;
        unit = &ctx.useVirtualUnit(config);
        ctx.openLink();
        mqtt::RoomOptions options;
        options.room = room;
        options.serial = room;
        options.discovery = false;
        bridge = std::make_unique<mqtt::RoomBridge>(ctx, broker.address(), options);
        std::string why;
        EXPECT_TRUE(bridge->start(why)) << why;
    }
    DeviceContext ctx;
    VirtualUnit* unit = nullptr;
    std::unique_ptr<mqtt::RoomBridge> bridge;
};

// What a command printed and its exit code.
struct CommandRun {
    std::string out;
    int code = -1;
};
CommandRun v36ctl(const std::string& args) {
    CommandRun r;
    FILE* p = popen((std::string(V36CTL) + " " + args + " 2>&1").c_str(), "r");
    char buf[512];
    while (p != nullptr && std::fgets(buf, sizeof buf, p) != nullptr)
        r.out += buf;
    const int status = p != nullptr ? pclose(p) : -1;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(Fleet, SetAllIsConfirmedByEveryRoomAndASilentRoomFailsAlone) {
    Broker broker;
    BridgedUnit a(broker, "roomA");
    BridgedUnit b(broker, "roomB");
    {
        Listener l(broker, {"v36/+/status"});
        ASSERT_TRUE(l.waitFor("v36/roomA/status", "online"));
        ASSERT_TRUE(l.waitFor("v36/roomB/status", "online"));
    }

    mqtt::Fleet fleet(broker.address());
    std::string why;
    ASSERT_TRUE(fleet.connect(5s, why)) << why;
    const auto rooms = fleet.rooms();
    ASSERT_EQ(rooms.size(), 2u);
    EXPECT_EQ(rooms[0].room, "roomA");
    EXPECT_TRUE(rooms[0].online);
    EXPECT_EQ(rooms[1].serial, "roomB");

    auto results = fleet.set("all", "micVolume", "40", 5s);
    ASSERT_EQ(results.size(), 2u);
    for (const auto& r : results)
        EXPECT_TRUE(r.ok) << r.room << ": " << r.text;
    EXPECT_EQ(a.ctx.store.params.getInt(w::micVolume), 40);
    EXPECT_EQ(b.ctx.store.params.getInt(w::micVolume), 40);

    results = fleet.recall("all", 3, 5s);
    for (const auto& r : results)
        EXPECT_FALSE(r.ok) << r.room;  // these bridges were given no way to recall

    // Room B's unit stops answering; the next edits find it out.
    b.ctx.link.setResponseWait(50ms);
    b.unit->setDropAnswers(true);
    b.ctx.editor.apply(wordEdit(b.ctx.store, w::musicVolume, 5));
    b.ctx.editor.waitIdle();
    b.ctx.editor.apply(wordEdit(b.ctx.store, w::effectVolume, 6));
    b.ctx.editor.waitIdle();
    ASSERT_GT(b.ctx.link.unansweredWrites(), 0);
    results = fleet.set("all", "micVolume", "41", 5s);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].ok) << results[0].text;
    EXPECT_FALSE(results[1].ok);
    EXPECT_NE(results[1].text.find("does not answer"), std::string::npos) << results[1].text;
}

TEST(Fleet, TheCommandLinePrintsOneLinePerRoomAndFailsForAnyRoomThatFailed) {
    Broker broker;
    BridgedUnit a(broker, "roomA");
    {
        Listener l(broker, {"v36/+/status"});
        ASSERT_TRUE(l.waitFor("v36/roomA/status", "online"));
    }
    const std::string mqtt = "fleet --mqtt " + broker.url() + " ";
    CommandRun r = v36ctl(mqtt + "list");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("roomA  online  present"), std::string::npos) << r.out;

    r = v36ctl(mqtt + "set all musicVolume 44");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out, "roomA: ok, musicVolume = 44\n");
    r = v36ctl(mqtt + "get roomA musicVolume");
    EXPECT_EQ(r.out, "44\n");

    r = v36ctl(mqtt + "set roomA musicVolume 444");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("roomA: failed, musicVolume lies within"), std::string::npos) << r.out;

    // A room nobody serves does not confirm.
    r = v36ctl(mqtt + "set nobody musicVolume 4 --timeout 0.5");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("nobody: failed, did not confirm"), std::string::npos) << r.out;

    r = v36ctl("fleet --mqtt http://x list");
    EXPECT_EQ(r.code, 2);
}

TEST(Fleet, ServeAllBridgesEveryUnitAndAUnitThatDoesNotAnswerFailsAlone) {
    Broker broker;
    test::Process serve({V36CTL, "--simulate", "--sim-units", "3", "--sim-fault", "2:silent",
                         "serve", "--all", "--mqtt", broker.url(), "--room", "SIM0003=bar"});
    Listener l(broker, {"v36/+/status", "v36/+/state/micVolume"});
    ASSERT_TRUE(l.waitFor("v36/SIM0001/status", "online", 10s));
    ASSERT_TRUE(l.waitFor("v36/bar/status", "online", 10s));
    ASSERT_TRUE(l.waitFor("v36/SIM0002/status", "online", 10s));
    // Rooms 1 and 3 are read; room 2 tells no state it could not read.
    ASSERT_TRUE(l.waitFor("v36/SIM0001/state/micVolume", "", 10s));
    ASSERT_TRUE(l.waitFor("v36/bar/state/micVolume", "", 10s));
    EXPECT_EQ(l.latest("v36/SIM0002/state/micVolume"), "");

    const CommandRun r = v36ctl("fleet --mqtt " + broker.url() + " set all micVolume 42");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("SIM0001: ok, micVolume = 42"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bar: ok, micVolume = 42"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("SIM0002: failed, "), std::string::npos) << r.out;
}

}  // namespace
}  // namespace v36
