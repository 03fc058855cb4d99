// The room remote inside the desktop program: phone edits are undo steps of
// the window, the window's own edits reach the phones, the window shows and
// ends the connections.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "app/ribbon_texts.h"
#include "app/room_remote.h"
#include "pages/factories.h"
#include "pages/page_look.h"
#include "phone/phone_server.h"
#include "phone_client.h"
#include "protocol/words.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

class RoomRemoteTest : public ShellTest {
  protected:
    void startRemote(int language = kEnglish) {
        start({}, language, pageFactories());
        ASSERT_TRUE(waitIdleConnected());
        // The unit's volume limits as its settings say.
        store().settingsApplied.set(5, 99);
        store().settingsApplied.set(6, 99);
        ASSERT_TRUE(app_->roomRemote().start(QHostAddress(QHostAddress::LocalHost), 0));
    }
    phone::PhoneServer& server() { return app_->roomRemote().server(); }
    void pair(PhoneClient& phone) {
        ASSERT_TRUE(phone.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(server().port()))));
        phone.send(R"({"pair": ")" + server().pairCode().toStdString() + "\"}");
        ASSERT_TRUE(phone.waitMessage(R"("state")").has_value());
    }
    int musicSlider() { return ribbon().slider(kRibbonIds[kInputCategory].musicSlider)->value(); }
};

TEST_F(RoomRemoteTest, PhoneEditsAreUndoStepsOfTheWindow) {
    startRemote();
    PhoneClient phone;
    pair(phone);
    const int before = app_->edits().count();
    const int oldVolume = store().params.getInt(w::musicVolume);

    // A slider's drag: several messages, one step; the ribbon follows.
    for (int v : {30, 35})
        phone.send(R"({"set": "musicVolume", "value": )" + std::to_string(v) + "}");
    phone.send(R"({"set": "musicVolume", "value": 40, "end": true})");
    ASSERT_TRUE(phone.waitMessage(R"({"name":"musicVolume","value":40})").has_value());
    EXPECT_EQ(app_->edits().count(), before + 1);
    EXPECT_EQ(app_->edits().undoText().en, std::string("Music Vol"));
    EXPECT_TRUE(waitUntil([&] { return musicSlider() == 40; }, 3000));

    // A band's drag: one step, named as the EQ editor names it.
    for (int f : {120, 150})
        phone.send(R"({"band": {"eq": 0, "band": 2, "freq": )" + std::to_string(f) + "}}");
    phone.send(R"({"band": {"eq": 0, "band": 2, "freq": 180, "gain": 3}, "end": true})");
    ASSERT_TRUE(phone.waitMessage(R"("band":2,"type":1,"freq":180.0,"gain":3.0)").has_value());
    EXPECT_EQ(app_->edits().count(), before + 2);
    EXPECT_EQ(app_->edits().undoText().en, std::string("Music EQ Band 2"));

    // Undo in the window: the phone hears the old values.
    app_->edits().undo();
    ASSERT_TRUE(phone.waitMessage(R"("band":2,"type":1,"freq":40.0,"gain":0.0)").has_value());
    app_->edits().undo();
    EXPECT_TRUE(
        phone.waitMessage(R"({"name":"musicVolume","value":)" + std::to_string(oldVolume) + "}")
            .has_value());
    EXPECT_TRUE(waitUntil([&] { return musicSlider() == oldVolume; }, 3000));
}

TEST_F(RoomRemoteTest, APhoneGoneMidDragLeavesItsLastValueAndEndsTheStep) {
    startRemote();
    PhoneClient phone;
    pair(phone);
    const int before = app_->edits().count();
    for (int v : {30, 35})
        phone.send(R"({"set": "musicVolume", "value": )" + std::to_string(v) + "}");
    ASSERT_TRUE(phone.waitMessage(R"({"name":"musicVolume","value":35})").has_value());
    phone.socket().abort();
    ASSERT_TRUE(waitUntil([&] { return server().phoneCount() == 0; }, 3000));
    EXPECT_EQ(store().params.getInt(w::musicVolume), 35);
    EXPECT_TRUE(waitUntil([&] { return musicSlider() == 35; }, 3000));

    // The next phone's drag is a step of its own.
    PhoneClient next;
    pair(next);
    next.send(R"({"set": "musicVolume", "value": 50, "end": true})");
    ASSERT_TRUE(next.waitMessage(R"({"name":"musicVolume","value":50})").has_value());
    EXPECT_EQ(app_->edits().count(), before + 2);
    app_->edits().undo();
    EXPECT_EQ(store().params.getInt(w::musicVolume), 35);
}

TEST_F(RoomRemoteTest, WindowEditsReachEveryPhone) {
    startRemote();
    PhoneClient a;
    PhoneClient b;
    pair(a);
    pair(b);
    EXPECT_TRUE(waitUntil([&] { return server().phoneCount() == 2; }, 3000));
    EXPECT_EQ(app_->roomRemote().dialog()->phonesLabel()->text(),
              QStringLiteral("Phones connected: 2"));
    view().OnCommand(kRibbonIds[kInputCategory].micMute);
    const int muted = store().params.getInt(w::micMute);
    const std::string heard = R"({"name":"micMute","value":)" + std::to_string(muted) + "}";
    EXPECT_TRUE(a.waitMessage(heard).has_value());
    EXPECT_TRUE(b.waitMessage(heard).has_value());
}

TEST_F(RoomRemoteTest, DisconnectEndsThePhonesAndChangesTheCode) {
    startRemote();
    PhoneClient phone;
    pair(phone);
    const QString code = server().pairCode();
    CRoomRemoteDlg* dialog = app_->roomRemote().dialog();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(waitUntil([&] { return dialog->disconnectButton()->isEnabled(); }, 3000));
    dialog->disconnectButton()->click();
    EXPECT_EQ(phone.waitClosed(), phone::kCloseDisconnected);
    EXPECT_NE(server().pairCode(), code);
    EXPECT_EQ(dialog->codeLabel()->text().remove(QLatin1Char(' ')), server().pairCode());
    EXPECT_TRUE(waitUntil([&] { return server().phoneCount() == 0; }, 3000));

    // Closing the window stops the remote: nothing listens any more.
    pair(phone);
    dialog->stopButton()->click();
    EXPECT_EQ(phone.waitClosed(), phone::kCloseStopped);
    EXPECT_FALSE(app_->roomRemote().running());
}

// The window's address box: the machine's addresses, every address at once
// and this computer alone. A choice moves the remote there (the phones pair
// again) and is kept for the next start.
TEST_F(RoomRemoteTest, TheAddressBoxMovesTheRemoteAndIsRemembered) {
    start({}, kEnglish, pageFactories());
    ASSERT_TRUE(waitIdleConnected());
    ASSERT_TRUE(app_->roomRemote().start(QHostAddress(QHostAddress::Any), 0));
    CRoomRemoteDlg* dialog = app_->roomRemote().dialog();
    ASSERT_TRUE(dialog);
    QComboBox* box = dialog->listenBox();
    EXPECT_EQ(box->currentText(), QStringLiteral("Every address (IPv4 and IPv6)"));
    const int local = box->findText(QStringLiteral("This computer only (127.0.0.1)"));
    ASSERT_GE(local, 0);
    EXPECT_GE(box->count(), 3);

    box->setCurrentIndex(local);
    emit box->activated(local);
    EXPECT_TRUE(app_->roomRemote().running());
    EXPECT_EQ(server().listenAddress(), QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(server().addresses(),
              QStringList{QStringLiteral("http://127.0.0.1:%1/").arg(server().port())});
    EXPECT_EQ(dialog->addressLabel()->text(), server().addresses().join(QLatin1Char('\n')));
    EXPECT_EQ(app_->settings().value(QStringLiteral("RoomRemote/Listen")).toString(),
              QStringLiteral("127.0.0.1"));
    PhoneClient phone;
    pair(phone);

    // The next start listens there again; every address is kept as "any".
    EXPECT_EQ(app_->roomRemote().savedListenAddress(), QHostAddress(QHostAddress::LocalHost));
    box->setCurrentIndex(0);
    emit box->activated(0);
    EXPECT_EQ(phone.waitClosed(), phone::kCloseStopped);
    EXPECT_EQ(app_->settings().value(QStringLiteral("RoomRemote/Listen")).toString(),
              QStringLiteral("any"));
    EXPECT_EQ(app_->roomRemote().savedListenAddress(), QHostAddress(QHostAddress::Any));
    EXPECT_EQ(box->currentIndex(), 0);
    app_->roomRemote().stop();
}

TEST_F(RoomRemoteTest, CommandInTheApplicationMenu) {
    start({}, kEnglish, pageFactories());
    QAction* item = ribbon().menuItem(id::kRoomRemote);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->text(), QStringLiteral("Room remote"));
    EXPECT_FALSE(app_->roomRemote().running());
    view().switchLanguage();
    EXPECT_EQ(item->text(), QString::fromUtf8("遥控网页"));
}

TEST_F(RoomRemoteTest, WindowInBothLanguages) {
    startRemote(kChinese);
    QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
    for (int language : {kChinese, kEnglish}) {
        if (app_->languageIndex() != language) view().switchLanguage();
        CRoomRemoteDlg* dialog = app_->roomRemote().dialog();
        ASSERT_TRUE(dialog);
        dialog->adjustSize();
        settleLayouts();
        const QString name =
            QStringLiteral("room_remote_%1").arg(language == kEnglish ? "en" : "zh");
        expectLaidOutCleanly(dialog, name);
        EXPECT_TRUE(dialog->grab().save(QStringLiteral(V36_ARTEFACT_DIR "/%1.png").arg(name)));
        savePageAt2x(*dialog, name + QStringLiteral("_2x"));
        EXPECT_EQ(dialog->windowTitle(), language == kEnglish ? QStringLiteral("Room remote")
                                                              : QString::fromUtf8("遥控网页"));
        EXPECT_EQ(dialog->codeLabel()->text().size(), 7);
    }
}

}  // namespace
}  // namespace v36::test
