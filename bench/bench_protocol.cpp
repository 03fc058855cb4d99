// From a store edit to the 61 bytes handed to the transport.
#include <benchmark/benchmark.h>

#include "context/device_context.h"
#include "protocol/codecs.h"

namespace {

// A transport with no latency that answers every report at once.
class NullTransport : public v36::ReportTransport {
  public:
    explicit NullTransport(v36::Event& answer) : answer_(answer) {}
    int writeReport(const std::uint8_t* report, std::size_t length) override {
        benchmark::DoNotOptimize(report[length - 1]);
        answer_.set();
        return static_cast<int>(length);
    }

  private:
    v36::Event& answer_;
};

void BM_EditToReport(benchmark::State& state) {
    v36::DeviceContext ctx;
    NullTransport transport(ctx.link.responseEvent);
    ctx.link.attach(transport);
    const int word = v36::outMain.level(0);
    int position = 0;
    for (auto _ : state) {
        position = (position + 1) % 101;
        ctx.store.params.setInt(word, position);
        benchmark::DoNotOptimize(
            ctx.senders.sendParam(v36::outMain.block, v36::outMain.unitLevel(0),
                                  v36::levelToUnit(ctx.store.params.getInt(word)), 1));
    }
}
BENCHMARK(BM_EditToReport)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_FullSetEncode(benchmark::State& state) {
    v36::DeviceContext ctx;
    NullTransport transport(ctx.link.responseEvent);
    ctx.link.attach(transport);
    ctx.store.params.setInt(v36::w::musicMute, 1);
    for (auto _ : state)
        ctx.senders.sendFullSet(false);
}
BENCHMARK(BM_FullSetEncode)->Unit(benchmark::kMicrosecond);

}  // namespace
