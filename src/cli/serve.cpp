#include "cli/serve.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <atomic>
#include <chrono>
#include <iostream>
#include <mutex>
#include <thread>

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
    args.command->add_option("--room", args.rooms,
                             "The room's name on the broker: letters, digits, - and _ "
                             "(default: the unit's serial number); with --all SERIAL=NAME, "
                             "repeatable");
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
        for (const std::string& r : args.rooms) {
            const auto eq = r.find('=');
            const std::string room = eq == std::string::npos ? r : r.substr(eq + 1);
            if (!mqtt::isRoomName(room))
                return "--room takes letters, digits, - and _ (at most 64), not \"" + room + "\"";
        }
        if (args.discoveryPrefix.empty() ||
            args.discoveryPrefix.find_first_of("#+") != std::string::npos)
            return "--discovery-prefix takes a topic without # or +";
    } else if (args.noPhone || !args.rooms.empty() || args.forget) {
        return "--no-phone, --room and --forget go with --mqtt";
    }
#endif
    return {};
}

void holdStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

namespace {

// The room's name of a unit: --room NAME, --room SERIAL=NAME, else its
// serial number.
std::string roomOf(const ServeArgs& args, const std::string& serial, bool all) {
    for (const std::string& r : args.rooms) {
        const auto eq = r.find('=');
        if (eq == std::string::npos) {
            if (!all) return r;
        } else if (r.substr(0, eq) == serial) {
            return r.substr(eq + 1);
        }
    }
    return serial;
}

// Serves `units` until interrupted: the first on the phone page (unless
// left out), each as a room on the broker when one is named. A unit that
// could not be read whole is served as such: its room says so and takes no
// edit until a whole read of it.
int serveUnits(const std::vector<Connection*>& units, const ServeArgs& args, bool all) {
    // One unit is read before it is served; with --all every unit is read
    // on a thread of its own while the others are served already.
    std::vector<std::string> unread(units.size());
    if (all) {
        for (std::string& why : unread)
            why = "the unit is being read";
    } else {
        std::string error;
        if (!units.front()->pull(error)) {
            std::cerr << "v36ctl: " << error << "\n";
            return kExitFailure;
        }
    }
    int argc = 1;
    char name[] = "v36ctl";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    // Edits go through each unit's editor: stored here, sent in order by
    // the writer thread; a recall runs there too and pulls the unit again.
    const auto recallOf = [](Connection& unit) {
        return [&unit](int mode) {
            unit.context().editor.post([&unit, mode](Senders&) {
                std::string why;
                if (!unit.recallMode(mode, why)) std::cerr << "v36ctl: " << why << "\n";
            });
            return std::string();
        };
    };
    Connection& first = *units.front();
    DeviceContext& ctx = first.context();
    phone::DirectEditor editor(
        ctx.editor, [&ctx] { return ctx.unitAttached(); }, recallOf(first));
    phone::PhoneServer server(first.store(), editor);
    const bool phone = !args.noPhone && !all;
    if (phone) {
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
    std::vector<std::unique_ptr<mqtt::RoomBridge>> bridges(units.size());
    if (!args.mqtt.empty()) {
        std::string why;
        auto broker = mqtt::parseBrokerUrl(args.mqtt, why);
        if (!broker || !brokerPassword(args.passwordFile, broker->password, why)) {
            std::cerr << "v36ctl: " << why << "\n";
            return kExitFailure;
        }
        broker->caFile = args.caFile;
        for (std::size_t i = 0; i < units.size(); ++i) {
            Connection& unit = *units[i];
            mqtt::RoomOptions room;
            room.serial = unit.serial();
            room.room = roomOf(args, room.serial, all);
            if (!mqtt::isRoomName(room.room)) {
                std::cerr << "v36ctl: the unit has no serial number fit for a room's name: "
                             "name the room with --room\n";
                return kExitUsage;
            }
            room.discoveryPrefix = args.discoveryPrefix;
            room.discovery = !args.noDiscovery;
            mqtt::RoomHooks hooks;
            // Edits from the broker take their turn with the phones' on
            // this thread.
            hooks.run = [&app](std::function<void()> job) {
                QMetaObject::invokeMethod(&app, std::move(job), Qt::QueuedConnection);
            };
            hooks.recall = recallOf(unit);
            bridges[i] = std::make_unique<mqtt::RoomBridge>(unit.context(), *broker, room, hooks);
            if (!unread[i].empty()) bridges[i]->hold(unread[i]);
            if (!bridges[i]->start(why)) {
                std::cerr << "v36ctl: " << why << "\n";
                return kExitFailure;
            }
            std::cout << "Broker: " << args.mqtt << ", room " << room.room << " (topics under "
                      << bridges[i]->topic("") << ")\n";
        }
    }
#endif
    std::cout << "Ctrl+C stops it.\n" << std::flush;

    // A unit that goes away, or that could not be read, is looked for each
    // second and read again on a thread of its own, so that the other units,
    // the phones and the broker are served all the while; its room takes no
    // edit until it is read whole.
    std::atomic<bool> stopping{false};
    std::mutex unreadMutex;
    const auto watch = [&](std::size_t i) {
        Connection& unit = *units[i];
        bool away = false;
        bool told = false;
        while (!stopping.load()) {
            bool wasUnread = false;
            {
                std::lock_guard<std::mutex> lock(unreadMutex);
                wasUnread = !unread[i].empty();
            }
            if (unit.gone() || wasUnread) {
                if (!away && !wasUnread) {
                    std::cerr << "v36ctl: " << unit.serial()
                              << ": the unit is gone; waiting for it\n";
#ifdef V36_WITH_MQTT
                    if (bridges[i]) bridges[i]->hold("the unit is not attached");
#endif
                }
                away = true;
                std::string why;
                if (unit.reopen(why)) {
                    away = false;
                    told = false;
                    {
                        std::lock_guard<std::mutex> lock(unreadMutex);
                        unread[i].clear();
                    }
#ifdef V36_WITH_MQTT
                    if (bridges[i]) bridges[i]->release();
#endif
                    std::cerr << "v36ctl: " << unit.serial() << ": the unit is read\n";
                } else if (wasUnread && !told) {
                    told = true;
                    std::cerr << "v36ctl: " << unit.serial() << ": " << why << "\n";
#ifdef V36_WITH_MQTT
                    if (bridges[i]) bridges[i]->hold(why);
#endif
                }
            }
            for (int t = 0; t < 10 && !stopping.load(); ++t)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    };
    std::vector<std::thread> watchers;
    for (std::size_t i = 0; i < units.size(); ++i)
        watchers.emplace_back(watch, i);

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
    stopping.store(true);
    for (std::thread& t : watchers)
        t.join();
#ifdef V36_WITH_MQTT
    for (auto& bridge : bridges)
        if (bridge) bridge->stop(args.forget);
#endif
    server.stop();
    for (Connection* unit : units)
        unit->context().editor.waitIdle();
    notifier.reset();
    if (fd >= 0) close(fd);
    std::cerr << (phone ? "v36ctl: the room remote stopped\n" : "v36ctl: the bridge stopped\n");
    return kExitOk;
}

}  // namespace

int runServe(Connection& unit, const ServeArgs& args) {
    return serveUnits({&unit}, args, false);
}

int runServeAll(const std::vector<UnitListing>& units, const ConnectionOptions& options,
                const ServeArgs& args) {
    std::vector<std::unique_ptr<Connection>> connections;
    std::vector<Connection*> open;
    for (const UnitListing& u : units) {
        ConnectionOptions o = options;
        o.path = u.path;
        auto c = std::make_unique<Connection>(o);
        std::string error;
        if (!c->open(error)) {
            std::cerr << "v36ctl: " << (u.serial.empty() ? u.path : u.serial) << ": " << error
                      << "\n";
            continue;
        }
        open.push_back(c.get());
        connections.push_back(std::move(c));
    }
    if (open.empty()) {
        std::cerr << "v36ctl: no unit could be opened\n";
        return kExitFailure;
    }
    return serveUnits(open, args, true);
}

}  // namespace v36::cli
