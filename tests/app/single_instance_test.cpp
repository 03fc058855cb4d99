#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QUuid>
#include <atomic>
#include <thread>

namespace v36 {
namespace {

TEST(SingleInstance, TheNameHoldsTheUserAndTheDisplay) {
    struct Case {
        const char* user;
        const char* display;
        const char* name;
    };
    const Case cases[] = {
        {"ann", ":0", "DWX-10-ann-_0"},
        {"ann", ":1", "DWX-10-ann-_1"},  // another display, another instance
        {"ann", "wayland-0", "DWX-10-ann-wayland-0"},
        {"ann", "", "DWX-10-ann"},
        {"bo b", "host/x:10.0", "DWX-10-bo_b-host_x_10.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SingleInstance::nameFor(QString::fromUtf8(c.user), QString::fromUtf8(c.display)),
                  QString::fromUtf8(c.name));
    }
}

TEST(SingleInstance, SecondStartHandsItsFileToTheFirst) {
    const QString name = QStringLiteral("v36-test-") + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance first(name);
    ASSERT_EQ(first.start(QString()), SingleInstance::Outcome::First);
    QString received;
    int activations = 0;
    QObject::connect(&first, &SingleInstance::activated, [&](const QString& file) {
        received = file;
        ++activations;
    });

    // The second start runs where the first's event loop can answer it.
    std::atomic<int> outcome{-1};
    std::thread second([&] {
        SingleInstance other(name);
        outcome = static_cast<int>(other.start(QStringLiteral("/tmp/m1 file.ev36")));
    });
    while (outcome.load() < 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    second.join();
    EXPECT_EQ(outcome.load(), static_cast<int>(SingleInstance::Outcome::Handed));
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(received, QStringLiteral("/tmp/m1 file.ev36"));
}

}  // namespace
}  // namespace v36
