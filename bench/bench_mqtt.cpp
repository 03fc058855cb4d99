// A venue on one broker: N rooms, each a virtual unit with its own link and
// bridge, and one fleet client; `set all micVolume` until every room has
// confirmed. Starts mosquitto on a free loopback port.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "context/device_context.h"
#include "mqtt/broker.h"
#include "mqtt/fleet.h"
#include "mqtt/room_bridge.h"

namespace {

using namespace std::chrono_literals;

struct BridgedRoom {
    BridgedRoom(const v36::test::Broker& broker, int n) {
        v36::VirtualUnitConfig config;
        config.serial = "SIM" + std::to_string(1000 + n);
        ctx.useVirtualUnit(config);
        ctx.openLink();
        v36::mqtt::RoomOptions options;
        options.room = "room" + std::to_string(n);
        options.serial = config.serial;
        options.discovery = false;
        bridge = std::make_unique<v36::mqtt::RoomBridge>(ctx, broker.address(), options);
        std::string why;
        bridge->start(why);
    }
    v36::DeviceContext ctx;
    std::unique_ptr<v36::mqtt::RoomBridge> bridge;
};

void BM_FleetSetAll(benchmark::State& state) {
    const int rooms = static_cast<int>(state.range(0));
    v36::test::Broker broker;
    std::vector<std::unique_ptr<BridgedRoom>> units;
    for (int n = 0; n < rooms; ++n)
        units.push_back(std::make_unique<BridgedRoom>(broker, n));
    for (auto& u : units) {
        for (int i = 0; i < 500 && !u->bridge->connected(); ++i)
            std::this_thread::sleep_for(10ms);
    }
    v36::mqtt::Fleet fleet(broker.address());
    std::string why;
    if (!fleet.connect(5s, why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    // Every room online before the clock starts.
    for (int i = 0; i < 100; ++i) {
        const auto list = fleet.rooms();
        if (static_cast<int>(std::count_if(list.begin(), list.end(),
                                           [](const auto& r) { return r.online; })) == rooms)
            break;
        std::this_thread::sleep_for(50ms);
    }
    int value = 40;
    std::vector<double> times;
    for (auto _ : state) {
        value = value == 40 ? 41 : 40;
        const auto start = std::chrono::steady_clock::now();
        const auto results = fleet.set("all", "micVolume", std::to_string(value), 5s);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        const auto confirmed =
            std::count_if(results.begin(), results.end(), [](const auto& r) { return r.ok; });
        if (confirmed != rooms) {
            state.SkipWithError("a room did not confirm");
            break;
        }
    }
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        state.counters["median_ms"] = times[times.size() / 2];
        state.counters["worst_ms"] = times.back();
    }
}
BENCHMARK(BM_FleetSetAll)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
