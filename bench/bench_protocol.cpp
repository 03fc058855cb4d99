// From an edit to the 61 bytes handed to the transport.
//
//   BM_EditToReport  a word set through the one edit path (the store, the
//                    writer thread, the sender) until its report reaches the
//                    transport (target < 5 us).
//   BM_SendParam     the sender alone: one parameter report built and written.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "context/device_context.h"
#include "protocol/codecs.h"
#include "protocol/edit.h"

namespace {

// A transport with no latency that answers every report at once.
class NullTransport : public v36::ReportTransport {
  public:
    explicit NullTransport(v36::Event& answer) : answer_(answer) {}
    int writeReport(const std::uint8_t* report, std::size_t length) override {
        benchmark::DoNotOptimize(report[length - 1]);
        answer_.set();
        written.fetch_add(1, std::memory_order_release);
        return static_cast<int>(length);
    }
    std::atomic<long> written{0};

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
        const long before = transport.written.load(std::memory_order_acquire);
        ctx.editor.apply(v36::wordEdit(ctx.store, word, position));
        while (transport.written.load(std::memory_order_acquire) == before)
            std::this_thread::yield();
    }
    ctx.writer.waitIdle();
}
BENCHMARK(BM_EditToReport)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SendParam(benchmark::State& state) {
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
BENCHMARK(BM_SendParam)->Repetitions(5)->ReportAggregatesOnly(true);

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
