#include "cli/serve.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <iostream>

#include "cli/cli.h"
#include "cli/connection.h"
#include "context/device_context.h"
#include "phone/phone_server.h"

namespace v36::cli {

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void addServeCommand(CLI::App& app, ServeArgs& args) {
    args.command = app.add_subcommand(
        "serve",
        "Serve the room remote: phones on the local network open the printed address, pair "
        "with the printed code and edit the unit live; runs until interrupted (Ctrl+C)");
    args.command->add_option("--port", args.port, "The port to listen on (default 8036)")
        ->check(CLI::Range(0, 65535));
    args.command->add_option("--pair-code", args.pairCode,
                             "The six-digit pairing code (default: a new random code)");
    args.command->add_option("--listen", args.listen,
                             "The address to listen on (default: every address)");
}

std::string checkServeArgs(const ServeArgs& args) {
    if (!args.pairCode.empty() && !phone::isPairCode(args.pairCode))
        return "--pair-code takes six digits";
    if (!args.listen.empty() && QHostAddress(QString::fromStdString(args.listen)).isNull())
        return "--listen takes an IP address, not \"" + args.listen + "\"";
    return {};
}

void holdStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int runServe(Connection& unit, const ServeArgs& args) {
    std::string error;
    if (!unit.pull(error)) {
        std::cerr << "v36ctl: " << error << "\n";
        return kExitFailure;
    }
    int argc = 1;
    char name[] = "v36ctl";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    // Edits go through the unit's editor: stored here, sent in order by the
    // writer thread; a recall runs there too and pulls the unit again.
    DeviceContext& ctx = unit.context();
    phone::DirectEditor editor(
        ctx.editor, [&ctx] { return ctx.unitAttached(); },
        [&ctx, &unit](int mode) {
            ctx.editor.post([&unit, mode](Senders&) {
                std::string why;
                if (!unit.recallMode(mode, why)) std::cerr << "v36ctl: " << why << "\n";
            });
            return std::string();
        });
    phone::PhoneServer server(unit.store(), editor);
    phone::PhoneServer::Options options;
    options.port = static_cast<quint16>(args.port);
    options.pairCode = QString::fromStdString(args.pairCode);
    if (!args.listen.empty()) options.listen = QHostAddress(QString::fromStdString(args.listen));
    QString why;
    if (!server.start(options, &why)) {
        std::cerr << "v36ctl: " << why.toStdString() << "\n";
        return kExitFailure;
    }
    QObject::connect(&server, &phone::PhoneServer::phonesChanged, [](int count) {
        std::cerr << "v36ctl: " << count << (count == 1 ? " phone" : " phones") << " connected\n";
    });

    const QStringList addresses = server.addresses();
    std::cout << "Room remote: " << addresses.join(QStringLiteral("  ")).toStdString() << "\n"
              << "Pairing code: " << server.pairCode().toStdString() << "\n"
              << phone::qrText(addresses.value(0)).toStdString() << "Ctrl+C stops it.\n"
              << std::flush;

    const sigset_t set = stopSignals();
    const int fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    std::unique_ptr<QSocketNotifier> notifier;
    if (fd >= 0) {
        notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &app, [fd, &app] {
            signalfd_siginfo info{};
            while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            }
            app.quit();
        });
    }
    QCoreApplication::exec();
    server.stop();
    ctx.editor.waitIdle();
    notifier.reset();
    if (fd >= 0) close(fd);
    std::cerr << "v36ctl: the room remote stopped\n";
    return kExitOk;
}

}  // namespace v36::cli
