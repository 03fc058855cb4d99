// The room remote's speed: how quickly the unit follows a phone.
//
//   BM_PhoneEditToWire  one {"set": NAME, "value": V} message from a
//                       WebSocket client on the loopback address until the
//                       report that carries V has been written to the
//                       virtual unit (no latency), through the server as
//                       `v36ctl serve` runs it: the hub checks and stores the
//                       edit, the writer thread sends it (target: median
//                       < 5 ms).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QWebSocket>
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "context/device_context.h"
#include "phone/phone_server.h"
#include "protocol/report.h"
#include "protocol/write_queue.h"

namespace {

using namespace std::chrono_literals;

// Runs the event loop until `done` or `timeoutMs`; whether it came true.
template <typename Done>
bool spinUntil(Done done, int timeoutMs = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}

void BM_PhoneEditToWire(benchmark::State& state) {
    v36::DeviceContext ctx;
    v36::VirtualUnitConfig config;
    config.latency = 0us;
    v36::VirtualUnit& unit = ctx.useVirtualUnit(config);
    if (!ctx.openLink().ok()) {
        state.SkipWithError("the virtual unit did not open");
        return;
    }
    // The unit's settings as read: no volume limit below 99.
    ctx.store.settingsApplied.set(5, 99);
    ctx.store.settingsApplied.set(6, 99);

    v36::phone::DirectEditor editor(
        ctx.editor, [&ctx] { return ctx.unitAttached(); }, [](int) { return std::string(); });
    v36::phone::PhoneServer server(ctx.store, editor);
    v36::phone::PhoneServer::Options options;
    options.listen = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    if (!server.start(options)) {
        state.SkipWithError("the server did not start");
        return;
    }

    QWebSocket phone;
    bool paired = false;
    QObject::connect(&phone, &QWebSocket::textMessageReceived, [&paired](const QString& m) {
        if (m.contains(QStringLiteral("\"paired\":true"))) paired = true;
    });
    phone.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(server.port())));
    if (!spinUntil([&] { return phone.state() == QAbstractSocket::ConnectedState; })) {
        state.SkipWithError("the phone did not connect");
        return;
    }
    phone.sendTextMessage(QStringLiteral("{\"pair\": \"%1\"}").arg(server.pairCode()));
    if (!spinUntil([&] { return paired; })) {
        state.SkipWithError("the phone did not pair");
        return;
    }
    ctx.writer.waitIdle();

    std::vector<qint64> ns;
    int value = 10;
    for (auto _ : state) {
        value = value >= 90 ? 10 : value + 1;
        unit.clearTraffic();
        QElapsedTimer timer;
        timer.start();
        phone.sendTextMessage(
            QStringLiteral("{\"set\": \"musicVolume\", \"value\": %1}").arg(value));
        // The server reads the message on this thread; the report goes out on
        // the writer's.
        if (!spinUntil([&] { return unit.waitForReceived(v36::cmd::kSetParam, 1, 0ms); })) {
            state.SkipWithError("the report did not reach the unit");
            break;
        }
        const qint64 elapsed = timer.nsecsElapsed();
        ns.push_back(elapsed);
        state.SetIterationTime(static_cast<double>(elapsed) / 1e9);
        ctx.writer.waitIdle();
    }
    if (!ns.empty()) {
        std::sort(ns.begin(), ns.end());
        state.counters["median_ms"] = static_cast<double>(ns[ns.size() / 2]) / 1e6;
        state.counters["max_ms"] = static_cast<double>(ns.back()) / 1e6;
    }
    phone.close();
    server.stop();
    ctx.closeLink();
}
BENCHMARK(BM_PhoneEditToWire)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
