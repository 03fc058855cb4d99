#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/broker_room.h"
#include "app/ribbon_texts.h"
#include "mqtt/broker.h"
#include "protocol/words.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

using namespace std::chrono_literals;

TEST_F(ShellTest, TheWindowJoinsABrokerAndItsEditsAreUndoSteps) {
    Broker broker;
    start();
    ASSERT_TRUE(waitIdleConnected());
    view().OnCommand(id::kBrokerRoom);
    CBrokerRoomDlg* dialog = app_->brokerRoom().dialog();
    ASSERT_NE(dialog, nullptr);
    dialog->addressEdit()->setText(QString::fromStdString(broker.url()));
    dialog->roomEdit()->setText(QStringLiteral("desk"));
    dialog->joinButton()->click();
    ASSERT_TRUE(waitUntil([this] { return app_->brokerRoom().connected(); }));
    EXPECT_TRUE(waitUntil([dialog] {
        return dialog->stateLabel()->text() == QStringLiteral("On the broker as room desk.");
    }));
    EXPECT_FALSE(dialog->joinButton()->isEnabled());

    Listener l(broker, {"v36/desk/#"});
    ASSERT_TRUE(l.waitFor("v36/desk/status", "online"));
    const int before = store().params.getInt(w::micVolume);
    l.client().publish("v36/desk/set/micVolume", std::to_string(before == 40 ? 41 : 40), false);
    ASSERT_TRUE(waitUntil([&] { return store().params.getInt(w::micVolume) != before; }));
    // The broker's edit is a step of the window's history.
    app_->edits().undo();
    EXPECT_EQ(store().params.getInt(w::micVolume), before);
    EXPECT_TRUE(l.waitFor("v36/desk/state/micVolume", std::to_string(before)));

    // A bad address or room is refused in the window's language.
    dialog->leaveButton()->click();
    EXPECT_TRUE(l.waitFor("v36/desk/status", "offline"));
    QString why;
    EXPECT_FALSE(app_->brokerRoom().join(QStringLiteral("desk"), QStringLiteral("desk"), {}, &why));
    EXPECT_TRUE(why.startsWith(QStringLiteral("The address is mqtt://"))) << why.toStdString();
    EXPECT_FALSE(app_->brokerRoom().join(QString::fromStdString(broker.url()),
                                         QStringLiteral("room 12"), {}, &why));
    EXPECT_TRUE(why.startsWith(QStringLiteral("A room's name"))) << why.toStdString();

    // Remembered for the next start.
    EXPECT_EQ(app_->settings().value(QStringLiteral("Broker/Room")).toString(),
              QStringLiteral("desk"));
    EXPECT_EQ(app_->settings().value(QStringLiteral("Broker/Address")).toString(),
              QString::fromStdString(broker.url()));

    // Looked at in both languages.
    ASSERT_TRUE(app_->brokerRoom().join(QString::fromStdString(broker.url()),
                                        QStringLiteral("desk"), {}, &why));
    ASSERT_TRUE(waitUntil([this] { return app_->brokerRoom().connected(); }));
    waitUntil([] { return false; }, 600);
    QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
    EXPECT_TRUE(dialog->grab().save(QStringLiteral(V36_ARTEFACT_DIR "/broker_en.png")));
    view().OnCommand(id::kLanguage);
    EXPECT_EQ(dialog->joinButton()->text(), QStringLiteral("加入"));
    EXPECT_TRUE(dialog->stateLabel()->text().contains(QStringLiteral("desk")));
    dialog->adjustSize();
    EXPECT_TRUE(dialog->grab().save(QStringLiteral(V36_ARTEFACT_DIR "/broker_zh.png")));
}

}  // namespace
}  // namespace v36::test
