// The drawn controls: the main EQ panel repainted while a band is dragged.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <cmath>

#include "controls/eq_panel.h"

namespace {

void sendMouse(QWidget& w, QEvent::Type type, QPointF at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, w.mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

// The 24-band main EQ at 1280 x 600 with band 9 held by the left button: each
// iteration is one pointer move (the band recomputed under the rules) and one
// full offscreen paint of the panel.
void BM_EqPanelRepaint(benchmark::State& state) {
    v36::CEqPanel panel;
    panel.resize(1280, 600);
    panel.setEqNumber(v36::kEqMain);
    panel.setBandCount(24);
    for (int n = 0; n < 24; ++n)
        panel.setGain(n, static_cast<float>(n % 7) - 3.0f);
    panel.setType(0, v36::kHighPass);
    panel.setType(23, v36::kLowShelf);
    panel.show();
    QImage target(panel.size(), QImage::Format_ARGB32_Premultiplied);

    const int band = 9;
    const QPointF marker = panel.markerPosition(band);
    sendMouse(panel, QEvent::MouseButtonPress, marker - QPointF(0, 2), Qt::LeftButton,
              Qt::LeftButton);
    if (panel.selectedBand() != band) {
        state.SkipWithError("the band was not grabbed");
        return;
    }
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 400;
        const double x = 200.0 + 2.0 * step;
        const double y = 150.0 + 100.0 * std::sin(step / 20.0);
        sendMouse(panel, QEvent::MouseMove, QPointF(x, y), Qt::NoButton, Qt::LeftButton);
        panel.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    sendMouse(panel, QEvent::MouseButtonRelease, QPointF(200, 150), Qt::LeftButton, Qt::NoButton);
}
BENCHMARK(BM_EqPanelRepaint)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
