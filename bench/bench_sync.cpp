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
    explicit Rig(int dropPercent = 0) {
        v36::VirtualUnitConfig config;
        config.latency = std::chrono::microseconds(1000);
        config.recording = false;
        config.dropPercent = dropPercent;
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

// A pull over a link that loses 5 % of the unit's answers: every read is
// asked again until answered and the pull ends whole. lossy_ratio is its
// time over a clean pull's (measured here too).
void BM_PullLossy(benchmark::State& state) {
    Rig clean;
    double cleanTotal = 0;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        clean.sync.pullUnit();
        cleanTotal += ms(Clock::now() - start);
    }
    Rig lossy(5);
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const v36::ReadReport report = lossy.sync.pullUnit();
        const double elapsed = ms(Clock::now() - start);
        state.SetIterationTime(elapsed / 1000.0);
        total += elapsed;
        if (!report.complete()) {
            state.SkipWithError("a lossy pull did not end whole");
            return;
        }
    }
    state.counters["clean_ms"] = cleanTotal / 3.0;
    state.counters["lossy_ratio"] =
        total / static_cast<double>(state.iterations()) / (cleanTotal / 3.0);
}
BENCHMARK(BM_PullLossy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

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
