// Filter design and the EQ graph's curves.
#include <benchmark/benchmark.h>

#include "dsp/eq_model.h"
#include "dsp/filter_design.h"

namespace {

constexpr int kPlotWidth = 800;

// One band moved: its section designed and its 512-point curve evaluated.
void BM_DesignSectionAndCurve(benchmark::State& state) {
    const v36::CurveAxis axis(kPlotWidth);
    v36::EqBand band;
    band.type = v36::kPeq;
    band.q = 1.41f;
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 300;
        band.freq = 100.0f + 10.0f * static_cast<float>(step);
        band.gain = -15.0f + 0.1f * static_cast<float>(step);
        v36::bandCurve(band, axis, band.curve);
        benchmark::DoNotOptimize(band.curve.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DesignSectionAndCurve)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The 24-band main EQ redrawn after one band moved: that band's curve and
// the total.
void BM_MainEqTotalCurve(benchmark::State& state) {
    v36::EqGraphModel model;
    model.selectEq(v36::kEqMain);
    model.setPlotWidth(kPlotWidth);
    for (int n = 0; n < model.bandCount(); ++n)
        model.setGain(n, static_cast<float>(n % 7) - 3.0f);
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 240;
        const int n = step % 24;
        model.setFrequency(n, 50.0f + 80.0f * static_cast<float>(step));
        const v36::Curve& total = model.totalCurve();
        benchmark::DoNotOptimize(total.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MainEqTotalCurve)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
