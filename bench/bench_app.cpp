// The shell's speed: process start to the first shown main window, and the
// longest stall of the GUI event loop while a silent unit holds every write.
//
//   BM_StartToWindow             a fresh process (this program, run again with
//                                --child-start) from exec to the first paint
//                                of the main window, offscreen, on the virtual
//                                unit.
//   BM_GuiStallUnresponsiveUnit  the virtual unit answers nothing; 50 ribbon
//                                slider moves; the reported time is the
//                                longest gap between two ticks of a 1 ms timer
//                                on the GUI thread (target < 50 ms).
//   BM_EditSeenElsewhere         a phone's edit (the room remote's hub, as a
//                                phone's message reaches it) until the
//                                window's ribbon shows the value (target
//                                < 1 ms).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "app/app.h"
#include "app/main_frame.h"
#include "app/main_view.h"
#include "app/ribbon.h"
#include "app/ribbon_texts.h"
#include "app/room_remote.h"
#include "phone/phone_hub.h"

namespace {

char* gSelf = nullptr;

// Ends the child process at the first paint of the main window.
class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && qobject_cast<v36::CMainFrame*>(widget->window())) _exit(0);
        }
        return false;
    }
};

int childStart(int argc, char** argv) {
    QApplication application(argc, argv);
    FirstPaint firstPaint;
    application.installEventFilter(&firstPaint);
    v36::AppOptions options;
    options.simulate = true;
    options.singleInstance = false;
    options.settingsFile = qEnvironmentVariable("V36_BENCH_SETTINGS");
    v36::CKorvelv13App app(std::move(options));
    if (!app.InitInstance()) return 2;
    return QApplication::exec();
}

void BM_StartToWindow(benchmark::State& state) {
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("V36_BENCH_SETTINGS"), dir.filePath(QStringLiteral("s.ini")));
    for (auto _ : state) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        child.start(QString::fromLocal8Bit(gSelf), {QStringLiteral("--child-start")});
        if (!child.waitForFinished(30000) || child.exitCode() != 0) {
            state.SkipWithError("the child did not show its window");
            return;
        }
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_StartToWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_GuiStallUnresponsiveUnit(benchmark::State& state) {
    QTemporaryDir dir;
    v36::AppOptions options;
    options.simulate = true;
    options.singleInstance = false;
    options.settingsFile = dir.filePath(QStringLiteral("s.ini"));
    options.startDelayMs = 10;
    v36::SyncTimings timings;
    timings.pullStart = std::chrono::milliseconds(20);
    timings.afterDone = std::chrono::milliseconds(5);
    options.syncTimings = timings;
    auto app = std::make_unique<v36::CKorvelv13App>(std::move(options));
    app->setMessageBoxHandler([](const v36::MessageBoxRequest&) { return QMessageBox::Ok; });
    if (!app->InitInstance()) {
        state.SkipWithError("start-up failed");
        return;
    }
    QElapsedTimer waited;
    waited.start();
    while (!(app->isConnected() && !app->sync().busy() && !app->syncDialog())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (waited.elapsed() > 30000) {
            state.SkipWithError("the virtual unit was not read");
            return;
        }
    }
    v36::VirtualUnit& unit = *app->device().virtualUnit();
    unit.setDropAnswers(true);
    app->device().store.settingsApplied.set(5, 99);
    app->device().store.settingsApplied.set(6, 99);
    v36::CMyMFCRibbonBar& ribbon = *app->mainFrame()->ribbon();
    const v36::RibbonIds& ids = v36::kRibbonIds[v36::kInputCategory];
    const int sliders[] = {ids.micSlider, ids.effectSlider, ids.musicSlider, ids.gateSlider};

    double worstMs = 0;
    for (auto _ : state) {
        // A 1 ms ticker measures the gaps of the event loop while the moves
        // run, and for half a second after them.
        qint64 last = -1;
        qint64 longest = 0;
        QElapsedTimer clock;
        clock.start();
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (last >= 0) longest = std::max(longest, now - last);
            last = now;
        });
        ticker.start(1);
        int moves = 0;
        QTimer mover;
        QObject::connect(&mover, &QTimer::timeout, [&] {
            if (moves >= 50) return;
            v36::CMFCRibbonStepSlider* s = ribbon.slider(sliders[moves % 4]);
            s->setValue((s->value() + 7) % 90);
            ++moves;
        });
        mover.start(4);
        while (moves < 50 || clock.elapsed() < 700) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        ticker.stop();
        mover.stop();
        const double ms = static_cast<double>(longest) / 1e6;
        worstMs = std::max(worstMs, ms);
        state.SetIterationTime(ms / 1e3);
    }
    state.counters["worst_stall_ms"] = worstMs;
    // Let the writer finish quickly at the end.
    unit.setDropAnswers(false);
    app->device().link.setResponseWait(std::chrono::milliseconds(10));
    app->mainFrame()->closeWithoutPrompt();
    app.reset();
}
BENCHMARK(BM_GuiStallUnresponsiveUnit)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The application on the virtual unit, read and idle; null when it failed.
std::unique_ptr<v36::CKorvelv13App> startedApp(const QString& settingsFile) {
    v36::AppOptions options;
    options.simulate = true;
    options.singleInstance = false;
    options.settingsFile = settingsFile;
    options.startDelayMs = 10;
    v36::SyncTimings timings;
    timings.pullStart = std::chrono::milliseconds(20);
    timings.afterDone = std::chrono::milliseconds(5);
    options.syncTimings = timings;
    auto app = std::make_unique<v36::CKorvelv13App>(std::move(options));
    app->setMessageBoxHandler([](const v36::MessageBoxRequest&) { return QMessageBox::Ok; });
    if (!app->InitInstance()) return nullptr;
    QElapsedTimer waited;
    waited.start();
    while (!(app->isConnected() && !app->sync().busy() && !app->syncDialog())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (waited.elapsed() > 30000) return nullptr;
    }
    return app;
}

void BM_EditSeenElsewhere(benchmark::State& state) {
    QTemporaryDir dir;
    auto app = startedApp(dir.filePath(QStringLiteral("s.ini")));
    if (!app) {
        state.SkipWithError("the virtual unit was not read");
        return;
    }
    v36::DesktopPhoneEditor editor(*app);
    v36::phone::PhoneHub hub(app->device().store, editor, "123456");
    v36::phone::Outbox out;
    const int phone = hub.open("192.0.2.7", out);
    hub.receive(phone, R"({"pair": "123456"})", out);
    v36::CMFCRibbonStepSlider* slider =
        app->mainFrame()->ribbon()->slider(v36::kRibbonIds[v36::kInputCategory].effectSlider);
    int value = 0;
    for (auto _ : state) {
        value = value % 90 + 1;
        const std::string message =
            R"({"set": "effectVolume", "value": )" + std::to_string(value) + "}";
        QElapsedTimer clock;
        clock.start();
        hub.receive(phone, message, out);
        while (slider->value() != value)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        out = {};
    }
    app->device().writer.waitIdle();
    app->mainFrame()->closeWithoutPrompt();
    app.reset();
}
BENCHMARK(BM_EditSeenElsewhere)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace

int main(int argc, char** argv) {
    gSelf = argv[0];
    if (argc > 1 && std::strcmp(argv[1], "--child-start") == 0) return childStart(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
