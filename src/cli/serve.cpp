#include "cli/serve.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>
#include <iostream>

#include "cli/cli.h"
#include "cli/connection.h"
#include "context/device_context.h"
#include "phone/phone_server.h"
#ifdef V36_WITH_MQTT
#include "cli/fleet_command.h"
#include "mqtt/room_bridge.h"
#endif

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
#ifdef V36_WITH_MQTT
    args.command->add_option("--mqtt", args.mqtt,
                             "Also put the unit on an MQTT broker as a room: "
                             "mqtt://[user@]host[:port] or mqtts://...");
    args.command->add_option("--room", args.room,
                             "The room's name on the broker: letters, digits, - and _ "
                             "(default: the unit's serial number)");
    args.command->add_option("--mqtt-password-file", args.passwordFile,
                             "Read the broker's password from this file (or V36_MQTT_PASSWORD)");
    args.command->add_option("--mqtt-cafile", args.caFile,
                             "The authority that signed an mqtts:// broker's certificate");
    args.command->add_option("--discovery-prefix", args.discoveryPrefix,
                             "The topic prefix of home-automation discovery (default "
                             "homeassistant)");
    args.command->add_flag("--no-discovery", args.noDiscovery, "Publish no discovery configs");
    args.command->add_flag("--no-phone", args.noPhone,
                           "Serve the broker alone, without the room remote's page");
    args.command->add_flag("--forget", args.forget,
                           "When stopped, remove the room from the broker (its kept messages "
                           "and discovery configs)");
#endif
}

std::string checkServeArgs(const ServeArgs& args) {
    if (!args.pairCode.empty() && !phone::isPairCode(args.pairCode))
        return "--pair-code takes six digits";
    if (!args.listen.empty() && QHostAddress(QString::fromStdString(args.listen)).isNull())
        return "--listen takes an IP address, not \"" + args.listen + "\"";
#ifdef V36_WITH_MQTT
    if (!args.mqtt.empty()) {
        std::string why;
        if (!mqtt::parseBrokerUrl(args.mqtt, why)) return "--mqtt: " + why;
        if (!args.room.empty() && !mqtt::isRoomName(args.room))
            return "--room takes letters, digits, - and _ (at most 64), not \"" + args.room + "\"";
        if (args.discoveryPrefix.empty() ||
            args.discoveryPrefix.find_first_of("#+") != std::string::npos)
            return "--discovery-prefix takes a topic without # or +";
    } else if (args.noPhone || !args.room.empty() || args.forget) {
        return "--no-phone, --room and --forget go with --mqtt";
    }
#endif
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
    if (!args.noPhone) {
        phone::PhoneServer::Options options;
        options.port = static_cast<quint16>(args.port);
        options.pairCode = QString::fromStdString(args.pairCode);
        if (!args.listen.empty())
            options.listen = QHostAddress(QString::fromStdString(args.listen));
        QString why;
        if (!server.start(options, &why)) {
            std::cerr << "v36ctl: " << why.toStdString() << "\n";
            return kExitFailure;
        }
        QObject::connect(&server, &phone::PhoneServer::phonesChanged, [](int count) {
            std::cerr << "v36ctl: " << count << (count == 1 ? " phone" : " phones")
                      << " connected\n";
        });
        const QStringList addresses = server.addresses();
        std::cout << "Room remote: " << addresses.join(QStringLiteral("  ")).toStdString() << "\n"
                  << "Pairing code: " << server.pairCode().toStdString() << "\n"
                  << phone::qrText(addresses.value(0)).toStdString();
    }

#ifdef V36_WITH_MQTT
    std::unique_ptr<mqtt::RoomBridge> bridge;
    if (!args.mqtt.empty()) {
        std::string why;
        auto broker = mqtt::parseBrokerUrl(args.mqtt, why);
        if (!broker || !brokerPassword(args.passwordFile, broker->password, why)) {
            std::cerr << "v36ctl: " << why << "\n";
            return kExitFailure;
        }
        broker->caFile = args.caFile;
        mqtt::RoomOptions room;
        room.serial = unit.serial();
        room.room = args.room.empty() ? room.serial : args.room;
        if (!mqtt::isRoomName(room.room)) {
            std::cerr << "v36ctl: the unit has no serial number fit for a room's name: name "
                         "the room with --room\n";
            return kExitUsage;
        }
        room.discoveryPrefix = args.discoveryPrefix;
        room.discovery = !args.noDiscovery;
        mqtt::RoomHooks hooks;
        // Edits from the broker take their turn with the phones' on this
        // thread.
        hooks.run = [&app](std::function<void()> job) {
            QMetaObject::invokeMethod(&app, std::move(job), Qt::QueuedConnection);
        };
        hooks.recall = [&editor](int mode) { return editor.recallMode(mode); };
        bridge = std::make_unique<mqtt::RoomBridge>(ctx, *broker, room, hooks);
        if (!bridge->start(why)) {
            std::cerr << "v36ctl: " << why << "\n";
            return kExitFailure;
        }
        std::cout << "Broker: " << args.mqtt << ", room " << room.room << " (topics under "
                  << bridge->topic("") << ")\n";
    }
#endif
    std::cout << "Ctrl+C stops it.\n" << std::flush;

    // A unit that goes away is looked for each second and read again when
    // it is back; the phones and the broker are served all the while.
    QTimer presence;
    bool away = false;
    QObject::connect(&presence, &QTimer::timeout, &app, [&unit, &away] {
        if (!unit.gone()) return;
        if (!away) std::cerr << "v36ctl: the unit is gone; waiting for it\n";
        away = true;
        std::string why;
        if (unit.reopen(why)) {
            away = false;
            std::cerr << "v36ctl: the unit is back\n";
        }
    });
    presence.start(1000);

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
#ifdef V36_WITH_MQTT
    if (bridge) bridge->stop(args.forget);
#endif
    server.stop();
    ctx.editor.waitIdle();
    notifier.reset();
    if (fd >= 0) close(fd);
    std::cerr << (args.noPhone ? "v36ctl: the bridge stopped\n"
                               : "v36ctl: the room remote stopped\n");
    return kExitOk;
}

}  // namespace v36::cli
