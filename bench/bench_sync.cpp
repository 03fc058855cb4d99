// A whole pull and a whole push against the virtual unit answering after
// 1 ms, as a full-speed USB interrupt endpoint does. floor_ratio is the
// wall time over its floor: one millisecond per report plus the fixed
// pauses of the connection sequence.
#include <benchmark/benchmark.h>

#include <chrono>

#include "context/device_context.h"
#include "protocol/sync.h"
#include "protocol/words.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Rig {
    Rig() {
        v36::VirtualUnitConfig config;
        config.latency = std::chrono::microseconds(1000);
        config.recording = false;
        ctx.useVirtualUnit(config);
        ctx.openLink();
        // A push that fades nothing: only its two fixed pauses sleep.
        ctx.store.params.setInt(v36::w::musicMute, 1);
    }
    v36::DeviceContext ctx;
    v36::SyncWorker sync{ctx.store, ctx.link, ctx.dispatcher};
};

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void BM_FullPull(benchmark::State& state) {
    Rig rig;
    const v36::SyncTimings t;
    const double pauses = static_cast<double>(
        (t.pullStart + t.modelAnswer + t.afterRead + t.beforeDone + t.afterDone).count());
    const double floor = v36::SyncWorker::kPullReports * 1.0 + pauses;
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        rig.sync.syncFromUnit();
        const double elapsed = ms(Clock::now() - start);
        state.SetIterationTime(elapsed / 1000.0);
        total += elapsed;
    }
    state.counters["floor_ms"] = floor;
    state.counters["floor_ratio"] = total / static_cast<double>(state.iterations()) / floor;
}
BENCHMARK(BM_FullPull)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FullPush(benchmark::State& state) {
    Rig rig;
    const v36::SyncTimings t;
    const int reports = rig.sync.pushReportCount();
    const double floor = reports * 1.0 + static_cast<double>((t.pushStart + t.pushEnd).count());
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        rig.sync.pushToUnit();
        const double elapsed = ms(Clock::now() - start);
        state.SetIterationTime(elapsed / 1000.0);
        total += elapsed;
    }
    state.counters["reports"] = reports;
    state.counters["floor_ms"] = floor;
    state.counters["floor_ratio"] = total / static_cast<double>(state.iterations()) / floor;
}
BENCHMARK(BM_FullPush)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
