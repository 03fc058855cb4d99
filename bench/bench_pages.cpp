// The editor pages' speed, offscreen, on the virtual unit after a full pull.
//
//   BM_ShowPage        a page created (refreshed from the store as it is
//                      built), laid out on the page area and painted: what the
//                      user waits for when switching to it (target: a frame,
//                      median < 16 ms). /music: the music page; /output_main:
//                      the output page on the Main channel with its 24 bands.
//                      Qt's raster engine splits large blits and gradient
//                      fills over its own thread pool: on a machine whose cores
//                      are busy with other work the page waits for those
//                      threads and the figure grows.
//   BM_PageRefresh     RefreshFromStore of the live music page, as after a
//                      pull, a mode recall or an undo (target < 2 ms).
//   BM_EqDragToWire    one pointer move on the music page's EQ panel until the
//                      moved band's coefficient report has reached a unit that
//                      answers at once: how quickly the sound follows the hand
//                      (target: median < 2 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/main_frame.h"
#include "app/main_view.h"
#include "controls/eq_panel.h"
#include "pages/dialog_music.h"
#include "pages/dialog_output.h"
#include "pages/eq_editor.h"
#include "pages/factories.h"
#include "protocol/report.h"

namespace {

// The whole application on a virtual unit that answers at once, its state
// read, the music page current.
class Session {
  public:
    Session() {
        v36::AppOptions options;
        options.simulate = true;
        options.singleInstance = false;
        options.settingsFile = dir_.filePath(QStringLiteral("s.ini"));
        options.startDelayMs = 10;
        options.factories = v36::pageFactories();
        options.virtualUnit.latency = std::chrono::microseconds(0);
        v36::SyncTimings timings;
        timings.pullStart = std::chrono::milliseconds(20);
        timings.afterRead = std::chrono::milliseconds(5);
        timings.beforeDone = std::chrono::milliseconds(5);
        timings.afterDone = std::chrono::milliseconds(5);
        options.syncTimings = timings;
        app_ = std::make_unique<v36::CKorvelv13App>(std::move(options));
        app_->setMessageBoxHandler([](const v36::MessageBoxRequest&) { return QMessageBox::Ok; });
        if (!app_->InitInstance()) return;
        QElapsedTimer waited;
        waited.start();
        while (!(app_->isConnected() && !app_->sync().busy() && !app_->syncDialog())) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (waited.elapsed() > 30000) return;
        }
        // The level poll would add its own reports to the wire.
        app_->setLevelPollEnable(false);
        app_->mainFrame()->resize(v36::CMainFrame::kMinWidth, v36::CMainFrame::kMinHeight);
        QCoreApplication::processEvents();
        ready_ = page() != nullptr;
    }
    ~Session() {
        if (app_ && app_->mainFrame()) app_->mainFrame()->closeWithoutPrompt();
    }

    bool ready() const { return ready_; }
    v36::CKorvelv13App& app() { return *app_; }
    v36::CDialogMusic* page() {
        return qobject_cast<v36::CDialogMusic*>(app_->view()->currentPage());
    }

  private:
    QTemporaryDir dir_;
    std::unique_ptr<v36::CKorvelv13App> app_;
    bool ready_ = false;
};

// Made on first use, ended in main while the application still runs.
std::unique_ptr<Session>& sessionHolder() {
    static std::unique_ptr<Session> s;
    return s;
}

Session& session() {
    if (!sessionHolder()) sessionHolder() = std::make_unique<Session>();
    return *sessionHolder();
}

// The median of the iterations' times, reported beside Google Benchmark's mean.
class Times {
  public:
    void add(qint64 ns) { ns_.push_back(ns); }
    void report(benchmark::State& state, const std::string& prefix = {}) {
        if (ns_.empty()) return;
        std::sort(ns_.begin(), ns_.end());
        state.counters[prefix + "median_ms"] = static_cast<double>(ns_[ns_.size() / 2]) / 1e6;
        state.counters[prefix + "max_ms"] = static_cast<double>(ns_.back()) / 1e6;
    }

  private:
    std::vector<qint64> ns_;
};

// Makes the page under test as a child of the view.
using PageMaker = v36::CEditorPage* (*)(v36::CKorvelv13App& app, QWidget* view);

v36::CEditorPage* musicPage(v36::CKorvelv13App& app, QWidget* view) {
    return new v36::CDialogMusic(app, view);
}

v36::CEditorPage* outputMainPage(v36::CKorvelv13App& app, QWidget* view) {
    return new v36::CDialogOutput(app, v36::kEqMain, view);
}

// One switch to a page: created (it refreshes itself from the store),
// placed on the page area, shown, laid out and painted.
qint64 showOnce(Session& s, QImage& image, PageMaker make) {
    v36::CKorvelv13View& view = *s.app().view();
    QElapsedTimer timer;
    timer.start();
    v36::CEditorPage* page = make(s.app(), &view);
    page->setGeometry(view.pageRect());
    page->show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    {
        QPainter painter(&image);
        page->render(&painter);
    }
    const qint64 ns = timer.nsecsElapsed();
    delete page;
    return ns;
}

void BM_ShowPage(benchmark::State& state, PageMaker make) {
    Session& s = session();
    if (!s.ready()) {
        state.SkipWithError("the virtual unit was not read");
        return;
    }
    QImage image(s.app().view()->pageRect().size(), QImage::Format_ARGB32_Premultiplied);
    // The first switches of a run warm the glyph caches and the heap; they
    // are reported apart (cold_median_ms, cold_max_ms).
    Times cold;
    for (int i = 0; i < 20; ++i)
        cold.add(showOnce(s, image, make));
    Times times;
    for (auto _ : state) {
        const qint64 ns = showOnce(s, image, make);
        times.add(ns);
        state.SetIterationTime(static_cast<double>(ns) / 1e9);
    }
    times.report(state);
    cold.report(state, "cold_");
}
BENCHMARK_CAPTURE(BM_ShowPage, music, musicPage)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);
BENCHMARK_CAPTURE(BM_ShowPage, output_main, outputMainPage)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);

void BM_PageRefresh(benchmark::State& state) {
    Session& s = session();
    v36::CDialogMusic* page = s.ready() ? s.page() : nullptr;
    if (page == nullptr) {
        state.SkipWithError("no music page");
        return;
    }
    Times times;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        page->RefreshFromStore();
        times.add(timer.nsecsElapsed());
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    times.report(state);
}
BENCHMARK(BM_PageRefresh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_EqDragToWire(benchmark::State& state) {
    Session& s = session();
    v36::CDialogMusic* page = s.ready() ? s.page() : nullptr;
    if (page == nullptr) {
        state.SkipWithError("no music page");
        return;
    }
    v36::CEqPanel* panel = page->eqEditor()->panel();
    v36::VirtualUnit& unit = *s.app().device().virtualUnit();
    const QPoint start = panel->markerPosition(5).toPoint();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(start), panel->mapToGlobal(QPointF(start)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &press);
    s.app().writer().waitIdle();
    int step = 0;
    Times times;
    for (auto _ : state) {
        // Up and down by a few pixels: every move changes the band's gain.
        const QPoint at = start + QPoint(step % 7, (step % 2 == 0) ? -6 : 6);
        ++step;
        unit.clearTraffic();
        QMouseEvent move(QEvent::MouseMove, QPointF(at), panel->mapToGlobal(QPointF(at)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QElapsedTimer timer;
        timer.start();
        QApplication::sendEvent(panel, &move);
        if (!unit.waitForReceived(v36::cmd::kSetParam, 1, std::chrono::milliseconds(2000))) {
            state.SkipWithError("the coefficients did not arrive");
            break;
        }
        times.add(timer.nsecsElapsed());
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        s.app().writer().waitIdle();
    }
    times.report(state);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(start),
                        panel->mapToGlobal(QPointF(start)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(panel, &release);
}
BENCHMARK(BM_EqDragToWire)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sessionHolder().reset();
    return 0;
}
