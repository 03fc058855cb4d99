// One parameter edit through the whole link: the sender builds the report,
// the write path hands it to the virtual unit (no latency), the unit
// answers, the read thread dispatches the answer and releases the next
// write.
#include <benchmark/benchmark.h>

#include <chrono>

#include "context/device_context.h"

namespace {

void BM_LinkRoundTrip(benchmark::State& state) {
    v36::DeviceContext ctx;
    v36::VirtualUnitConfig config;
    config.latency = std::chrono::microseconds(0);
    config.recording = false;
    ctx.useVirtualUnit(config);
    if (!ctx.openLink().ok()) {
        state.SkipWithError("the virtual unit did not open");
        return;
    }
    v36::Event& answered = ctx.link.responseEvent;
    // Let the unit's greeting (the mode names) pass.
    ctx.senders.sendCommand({7, -1});
    answered.waitFor(std::chrono::milliseconds(2500));
    answered.set();

    float value = 0.0f;
    for (auto _ : state) {
        ctx.senders.sendParam(5, 28, value, 1);
        // The answer has been dispatched when the response event is set.
        answered.waitFor(std::chrono::milliseconds(2500));
        answered.set();
        value = value < 1.0f ? value + 0.01f : 0.0f;
    }
    ctx.closeLink();
}
BENCHMARK(BM_LinkRoundTrip)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

}  // namespace
