// v36ctl's `set --all` on N virtual units answering after 1 ms, as a
// full-speed USB interrupt endpoint does: from the command until every unit
// has its report and has answered it. Each unit has its own link and thread,
// so the time should grow far slower than N.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "sim/virtual_units.h"

namespace {

void BM_SetAllUnits(benchmark::State& state) {
    v36::VirtualUnitConfig base;
    base.latency = std::chrono::microseconds(1000);
    base.recording = false;
    const int count = static_cast<int>(state.range(0));
    v36::VirtualUnits units(v36::virtualUnitConfigs(count, base));
    int value = 10;
    for (auto _ : state) {
        std::ostringstream out;
        std::ostringstream err;
        v36::cli::RunEnvironment env;
        env.out = &out;
        env.err = &err;
        env.units = &units;
        value = value == 10 ? 20 : 10;
        // As `v36ctl --simulate set --all`: each unit is read whole first
        // (the volume limits come from its settings), then written.
        const int code =
            v36::cli::run({"--simulate", "set", "--all", "micVolume", std::to_string(value)}, env);
        if (code != v36::cli::kExitOk) {
            state.SkipWithError(("set --all failed: " + out.str() + err.str()).c_str());
            break;
        }
    }
    state.counters["units"] = count;
}
BENCHMARK(BM_SetAllUnits)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
