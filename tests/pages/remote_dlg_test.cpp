// Remote learning on the virtual unit: the drawn remote's keys, learning
// one key, giving up, Apply, and the remote data files.
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/info_dialog.h"
#include "app/ribbon_texts.h"
#include "controls/image_button.h"
#include "pages/factories.h"
#include "remote/remote_dlg.h"
#include "remote/remote_picture.h"
#include "remote/remote_study_dlg.h"
#include "tool_dialog_support.h"

namespace v36::test {
namespace {

using namespace std::chrono_literals;

class RemoteDlgTest : public ShellTest {
  protected:
    void SetUp() override {
        start({}, kEnglish, pageFactories());
        ASSERT_TRUE(waitIdleConnected());
        unit().clearTraffic();
    }
    CRemoteDlg* open() {
        return static_cast<CRemoteDlg*>(app_->showToolDialog(ToolDialog::RemoteLearning));
    }
    CRemoteStudyDlg* studyDialog() {
        return qobject_cast<CRemoteStudyDlg*>(app_->toolDialog(ToolDialog::RemoteKeyLearning));
    }
    // Clicks key `key` of the remote; `whileOpen` runs every few
    // milliseconds while the learning dialog is up. Returns when it closed.
    void learn(CRemoteDlg* dialog, int key,
               const std::function<void(CRemoteStudyDlg&)>& whileOpen) {
        QTimer probe;
        probe.setInterval(5);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (CRemoteStudyDlg* study = studyDialog(); study && study->isVisible())
                whileOpen(*study);
        });
        probe.start();
        QTest::mouseClick(dialog->picture()->keyArea(key), Qt::LeftButton);
        // The learning dialog is modal without a loop of its own: the click
        // returns at once, and the dialog is deleted once it has closed.
        EXPECT_TRUE(studyDialog() != nullptr && studyDialog()->isModal());
        EXPECT_TRUE(waitUntil([this] { return studyDialog() == nullptr; }, 30000));
    }
    QString notice() { return app_->infoDialog() ? app_->infoDialog()->text() : QString(); }
    QString path(const char* name) { return dir_.filePath(QString::fromLatin1(name)); }
};

TEST_F(RemoteDlgTest, SeventeenKeyAreasWithTheHandCursorInBothLanguages) {
    CRemoteDlg* dialog = open();
    ASSERT_NE(dialog, nullptr);
    CRemotePicture* picture = dialog->picture();
    std::vector<int> clicked;
    QObject::connect(picture, &CRemotePicture::keyClicked,
                     [&](int key) { clicked.push_back(key); });
    const int controls[] = {1587, 1600, 1601, 1602, 1603, 1604, 1605, 1606, 1607,
                            1608, 1609, 1610, 1611, 1612, 1613, 1614, 1615};
    for (int key = 1; key <= 17; ++key) {
        CRemoteKey* area = picture->keyArea(key);
        ASSERT_NE(area, nullptr) << key;
        EXPECT_EQ(controlId(area), controls[key - 1]);
        EXPECT_EQ(area->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_TRUE(picture->rect().contains(area->geometry())) << key;
    }
    EXPECT_EQ(picture->keyArea(8)->text(), QStringLiteral("OK"));
    EXPECT_EQ(picture->keyArea(1)->toolTip(), QStringLiteral("Power key"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Learn remoter control "));
    EXPECT_EQ(dialog->button(CRemoteDlg::kLoad)->text(), QStringLiteral("Load"));
    EXPECT_FALSE(dialog->button(CRemoteDlg::kClose)->isVisible());

    // A language switch relabels the dialog and its picture.
    view().OnCommand(id::kLanguage);
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("遥控学习"));
    EXPECT_EQ(dialog->button(CRemoteDlg::kApply)->text(), QString::fromUtf8("应用设置"));
    EXPECT_EQ(picture->language(), kChinese);
    EXPECT_EQ(picture->keyArea(8)->text(), QString::fromUtf8("确认"));
    EXPECT_EQ(picture->keyArea(5)->toolTip(), QString::fromUtf8("M4/方向下"));
}

TEST_F(RemoteDlgTest, ALearnedCodeIsShownAndTheDialogClosesASecondLater) {
    unit().setLearnDelay(100ms);
    unit().setLearnedCode(0x3A);
    CRemoteDlg* dialog = open();
    QString text, code;
    bool giveUpShown = true, closeShown = false, closingShown = false;
    QElapsedTimer sinceCode;
    learn(dialog, 5, [&](CRemoteStudyDlg& study) {
        if (text.isEmpty()) text = study.keyText()->text();
        if (study.codeReceived() && !sinceCode.isValid()) {
            sinceCode.start();
            code = study.codeField()->text();
            giveUpShown = study.giveUpButton()->isVisible();
            closeShown = study.closeButton()->isVisible();
            closingShown = study.closingNotice()->isVisible();
        }
    });
    ASSERT_TRUE(sinceCode.isValid());
    // About a second later (the probe may notice the code a little late on
    // a busy machine).
    EXPECT_GE(sinceCode.elapsed(), CRemoteStudyDlg::kCloseDelayMs - 400);
    EXPECT_LT(sinceCode.elapsed(), CRemoteStudyDlg::kCloseDelayMs + 2000);
    EXPECT_EQ(text, QStringLiteral("Learning key:M4/Down"));
    EXPECT_EQ(code, QStringLiteral("3A"));
    EXPECT_FALSE(giveUpShown);
    EXPECT_TRUE(closeShown);
    EXPECT_TRUE(closingShown);
    EXPECT_EQ(studyDialog(), nullptr);
    app_->writer().waitIdle();
    const auto starts = receivedWith(unit(), 96);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0][2], 5);
    EXPECT_TRUE(receivedWith(unit(), 97).empty());
    EXPECT_EQ(store().remoteKeyTable.at(0), 1);
    EXPECT_EQ(store().remoteKeyTable.at(5), 0x3A);
}

TEST_F(RemoteDlgTest, GivingUpStopsTheUnitWithoutWaitingForAnAnswer) {
    unit().setLearnDelay(20s);
    CRemoteDlg* dialog = open();
    const auto before = store().remoteKeyTable.snapshot();
    QElapsedTimer sinceGiveUp;
    learn(dialog, 12, [&](CRemoteStudyDlg& study) {
        if (sinceGiveUp.isValid()) return;
        sinceGiveUp.start();
        study.giveUpButton()->click();
    });
    // The unit does not answer while it learns; the stop goes at once,
    // not after the 2.5 s the writer would wait for that answer.
    ASSERT_TRUE(unit().waitForReceived(97, 1, 2000ms));
    EXPECT_LT(sinceGiveUp.elapsed(), 1500);
    EXPECT_EQ(receivedWith(unit(), 96).at(0)[2], 12);
    EXPECT_EQ(store().remoteKeyTable.snapshot(), before);

    // Escape gives up the same way.
    unit().clearTraffic();
    learn(dialog, 1, [](CRemoteStudyDlg& study) { QTest::keyClick(&study, Qt::Key_Escape); });
    EXPECT_TRUE(unit().waitForReceived(97, 1, 2000ms));
}

TEST_F(RemoteDlgTest, WithoutTheUnitAKeyStillOpensTheLearningDialog) {
    CRemoteDlg* dialog = open();
    unit().unplug();
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
    bool opened = false;
    learn(dialog, 3, [&](CRemoteStudyDlg& study) {
        opened = true;
        study.giveUpButton()->click();
    });
    EXPECT_TRUE(opened);
    app_->writer().waitIdle();
    EXPECT_TRUE(unit().received().empty());
}

TEST_F(RemoteDlgTest, ApplySendsTheWholeTableAndThePollPausesWhileOpen) {
    // Bytes 16 and 17 are not read from the unit: Apply after a connection
    // sends them as they stood.
    store().remoteKeyTable.set(16, 0x77);
    store().remoteKeyTable.set(17, 0x88);
    app_->startPullWithDialog();
    ASSERT_TRUE(waitIdleConnected());
    ASSERT_TRUE(app_->levelPollEnable());
    CRemoteDlg* dialog = open();
    EXPECT_FALSE(app_->levelPollEnable());
    unit().clearTraffic();
    dialog->button(CRemoteDlg::kApply)->click();
    app_->writer().waitIdle();
    const auto stored = receivedWith(unit(), 99);
    ASSERT_EQ(stored.size(), 1u);
    const auto table = store().remoteKeyTable.snapshot();
    EXPECT_TRUE(std::equal(table.begin(), table.end(), stored[0].begin() + 2));
    EXPECT_EQ(unit().keyTable().at(16), 0x77);
    EXPECT_EQ(unit().keyTable().at(17), 0x88);
    EXPECT_EQ(notice(), QStringLiteral("Save successed !"));
    // No level query while the dialog is open.
    QTest::qWait(450);
    EXPECT_TRUE(receivedWith(unit(), 14).empty());

    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(app_->levelPollEnable());
    EXPECT_TRUE(waitUntil([this] { return !receivedWith(unit(), 14).empty(); }, 2000));
}

TEST_F(RemoteDlgTest, ApplyWithoutTheUnitSaysTheKeysWereNotSaved) {
    CRemoteDlg* dialog = open();
    unit().unplug();
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
    dialog->button(CRemoteDlg::kApply)->click();
    EXPECT_EQ(notice(), QStringLiteral("No device connected: the keys were not saved!"));
    // The files need the unit as well.
    dialog->button(CRemoteDlg::kSave)->click();
    EXPECT_EQ(notice(), QStringLiteral("Please connect the device first!"));
    EXPECT_TRUE(fileRequests_.empty());
}

TEST_F(RemoteDlgTest, SavedFilesAreTheTableUnderTheRemoExtension) {
    CRemoteDlg* dialog = open();
    store().remoteKeyTable.set(3, 0x5A);
    nextFile_ = path("keys.txt");
    dialog->button(CRemoteDlg::kSave)->click();
    ASSERT_EQ(fileRequests_.size(), 1u);
    EXPECT_TRUE(fileRequests_[0].save);
    EXPECT_EQ(fileRequests_[0].filter, QStringLiteral("Remote Data File(*.remo)"));
    EXPECT_EQ(fileRequests_[0].defaultSuffix, QStringLiteral("remo"));
    // The file dialog does not ask about keys.txt, which is never written:
    // the one question is about keys.remo.
    EXPECT_TRUE(fileRequests_[0].forcedSuffix);
    EXPECT_FALSE(QFile::exists(path("keys.txt")));
    QFile saved(path("keys.remo"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(bytes.size(), 18);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[3]), 0x5A);
    EXPECT_EQ(notice(), QStringLiteral("Remote file saved"));

    // Typed as keys.txt again, the save would replace keys.remo, which
    // the dialog never asked about: it asks, and No keeps the file.
    store().remoteKeyTable.set(3, 0x11);
    answer_ = QMessageBox::No;
    app_->ShowInfo(QStringLiteral("-"), 5000);
    dialog->button(CRemoteDlg::kSave)->click();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.indexOf(QStringLiteral("\"keys.remo\" already exists")), -1);
    EXPECT_EQ(notice(), QStringLiteral("-"));
    QFile kept(path("keys.remo"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(static_cast<std::uint8_t>(kept.readAll()[3]), 0x5A);
    answer_ = QMessageBox::Yes;
    dialog->button(CRemoteDlg::kSave)->click();
    EXPECT_EQ(notice(), QStringLiteral("Remote file saved"));

    // A cancelled dialog does nothing.
    nextFile_.clear();
    app_->ShowInfo(QStringLiteral("-"), 5000);
    dialog->button(CRemoteDlg::kSave)->click();
    dialog->button(CRemoteDlg::kLoad)->click();
    EXPECT_EQ(notice(), QStringLiteral("-"));
}

TEST_F(RemoteDlgTest, LoadingTakesOnlyTheEighteenByteTableAndStoresIt) {
    CRemoteDlg* dialog = open();
    auto write = [this](const char* name, int size) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes;
        for (int i = 0; i < size; ++i)
            bytes.append(static_cast<char>(0xA0 + i % 32));
        file.write(bytes);
        return file.fileName();
    };
    // An empty file, a cut one and a file of another kind: refused with the
    // reason, nothing changed, nothing sent.
    const struct {
        const char* name;
        int size;
    } refused[] = {{"empty.remo", 0}, {"short.remo", 10}, {"other.remo", 1800}};
    const auto before = store().remoteKeyTable.snapshot();
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        boxes_.clear();
        unit().clearTraffic();
        nextFile_ = write(c.name, c.size);
        dialog->button(CRemoteDlg::kLoad)->click();
        app_->writer().waitIdle();
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].caption, QStringLiteral("Load remote file"));
        EXPECT_NE(
            boxes_[0].text.indexOf(QStringLiteral("exactly 18 bytes, this one has %1").arg(c.size)),
            -1)
            << boxes_[0].text.toStdString();
        EXPECT_EQ(notice(), QStringLiteral("Loading the remote file failed"));
        EXPECT_EQ(store().remoteKeyTable.snapshot(), before);
        EXPECT_TRUE(unit().received().empty());
    }

    boxes_.clear();
    nextFile_ = write("keys.remo", 18);
    dialog->button(CRemoteDlg::kLoad)->click();
    app_->writer().waitIdle();
    EXPECT_TRUE(boxes_.empty());
    const auto table = store().remoteKeyTable.snapshot();
    for (std::size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(table[i], 0xA0 + i) << i;
    const auto stored = receivedWith(unit(), 99);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), stored[0].begin() + 2));
    EXPECT_EQ(notice(), QStringLiteral("Remote file loaded"));

    // A file that cannot be opened: the warning box says so, then the notice.
    unit().clearTraffic();
    nextFile_ = path("missing.remo");
    dialog->button(CRemoteDlg::kLoad)->click();
    app_->writer().waitIdle();
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_.back().caption, QStringLiteral("Can't read file"));
    EXPECT_EQ(boxes_.back().text.indexOf(QStringLiteral("Probaby")), -1);
    EXPECT_EQ(notice(), QStringLiteral("Loading the remote file failed"));
    EXPECT_TRUE(receivedWith(unit(), 99).empty());
}

}  // namespace
}  // namespace v36::test
