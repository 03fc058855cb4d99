// The machine settings dialog on the virtual unit: the edit record against
// the applied one, the volume coupling, locks, Apply, Cancel and the reset
// of a memory mode.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/edit_path.h"
#include "app/info_dialog.h"
#include "app/ribbon_texts.h"
#include "controls/image_button.h"
#include "pages/factories.h"
#include "pages/set_dlg.h"
#include "protocol/words.h"
#include "tool_dialog_support.h"

namespace v36::test {
namespace {

using Settings = CSetDlg::Settings;

class SetDlgTest : public ShellTest {
  protected:
    void SetUp() override {
        start({}, kEnglish, pageFactories());
        ASSERT_TRUE(waitIdleConnected());
        unit().clearTraffic();
    }
    CSetDlg* open() {
        return static_cast<CSetDlg*>(app_->showToolDialog(ToolDialog::MachineSettings));
    }
    // Presses Apply and returns the record the unit received.
    std::optional<Settings> applyAndReceive(CSetDlg* dialog) {
        unit().clearTraffic();
        dialog->applyButton()->click();
        app_->writer().waitIdle();
        const auto sent = receivedWith(unit(), 145);
        if (sent.size() != 1) return std::nullopt;
        Settings s{};
        std::copy(sent[0].begin() + 2, sent[0].begin() + 14, s.begin());
        return s;
    }
    QString notice() { return app_->infoDialog() ? app_->infoDialog()->text() : QString(); }
};

TEST_F(SetDlgTest, OpensOnTheAppliedRecordOfTheUnit) {
    const Settings unitSettings = unit().settings();  // 60/60 start, 99/99 maximum
    ASSERT_EQ(store().settingsApplied.snapshot(), unitSettings);
    CSetDlg* dialog = open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->slider(CSetDlg::kMicStartSlider)->position(), 60);
    EXPECT_EQ(dialog->slider(CSetDlg::kMicStartSlider)->maximum(), 99);
    EXPECT_EQ(dialog->valueLabel(CSetDlg::kMusicStartSlider)->text(), QStringLiteral("60"));
    EXPECT_EQ(dialog->slider(CSetDlg::kMusicMaxSlider)->position(), 99);
    EXPECT_TRUE(dialog->checkBox(CSetDlg::kMicStartEnable)->isChecked());
    EXPECT_FALSE(dialog->checkBox(CSetDlg::kPanelLock)->isChecked());
    EXPECT_FALSE(dialog->checkBox(CSetDlg::kVolumeLock)->isEnabled());
    EXPECT_TRUE(dialog->radio(1190)->isChecked());
    EXPECT_EQ(dialog->powerOnMode()->currentText(), QStringLiteral("Auto"));
    EXPECT_TRUE(dialog->modeButton(store().currentMode.load())->isChecked());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Host Setting"));
}

TEST_F(SetDlgTest, AStartVolumeSwitchedOffIsSentAs255) {
    CSetDlg* dialog = open();
    QCheckBox* enable = dialog->checkBox(CSetDlg::kMicStartEnable);
    enable->click();
    EXPECT_FALSE(dialog->slider(CSetDlg::kMicStartSlider)->isEnabled());
    EXPECT_EQ(dialog->slider(CSetDlg::kMicStartSlider)->position(), 0);
    EXPECT_EQ(dialog->valueLabel(CSetDlg::kMicStartSlider)->text(), QStringLiteral("Invalid"));
    const auto sent = applyAndReceive(dialog);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->at(3), 255);
    EXPECT_EQ(unit().settings().at(3), 255);
    EXPECT_EQ(store().settingsApplied.at(3), 255);
    EXPECT_EQ(notice(), QStringLiteral("Setting valid"));

    // Switched on again it takes the volume playing now.
    store().params.setInt(w::micVolume, 45);
    enable->click();
    EXPECT_EQ(store().settingsEdit.at(3), 45);
    EXPECT_EQ(dialog->slider(CSetDlg::kMicStartSlider)->position(), 45);
    EXPECT_EQ(dialog->valueLabel(CSetDlg::kMicStartSlider)->text(), QStringLiteral("45"));
    EXPECT_TRUE(dialog->slider(CSetDlg::kMicStartSlider)->isEnabled());
}

TEST_F(SetDlgTest, LoweringAMaximumPullsItsStartVolumeDownInOneStep) {
    CSetDlg* dialog = open();
    app_->edits().endGesture();
    const int steps = app_->edits().count();
    CXBmpSlider* max = dialog->slider(CSetDlg::kMicMaxSlider);
    for (int p : {80, 61, 50, 40})
        moveSlider(max, p);
    app_->writer().waitIdle();
    EXPECT_EQ(app_->edits().count(), steps + 1);
    EXPECT_EQ(store().settingsEdit.at(5), 40);
    EXPECT_EQ(store().settingsEdit.at(3), 40);
    EXPECT_EQ(store().params.getInt(w::micVolume), 40);
    // The ribbon shows the volume that plays now, once told of the change.
    QCoreApplication::processEvents();
    EXPECT_EQ(ribbon().slider(kRibbonIds[0].micSlider)->value(), 40);
    EXPECT_EQ(dialog->slider(CSetDlg::kMicStartSlider)->position(), 40);
    EXPECT_EQ(dialog->slider(CSetDlg::kMicStartSlider)->maximum(), 40);
    EXPECT_EQ(dialog->valueLabel(CSetDlg::kMicStartSlider)->text(), QStringLiteral("40"));
    EXPECT_EQ(lastParamWord(unit(), 1, 30), floatBits(0.40f));
    EXPECT_EQ(lastParamWord(unit(), 1, 43), floatBits(0.40f));
    // The record is not sent before Apply.
    EXPECT_TRUE(receivedWith(unit(), 145).empty());

    // The step takes the maximum, the start volume and the playing volume back.
    app_->edits().undo();
    app_->writer().waitIdle();
    EXPECT_EQ(store().settingsEdit.at(5), 99);
    EXPECT_EQ(store().settingsEdit.at(3), 60);
    EXPECT_EQ(store().params.getInt(w::micVolume), 60);
    EXPECT_EQ(dialog->slider(CSetDlg::kMicStartSlider)->position(), 60);
    EXPECT_EQ(dialog->slider(CSetDlg::kMicMaxSlider)->position(), 99);
    EXPECT_EQ(lastParamWord(unit(), 1, 30), floatBits(0.60f));

    // The music start volume plays at once too: two copies to 4.15.
    unit().clearTraffic();
    moveSlider(dialog->slider(CSetDlg::kMusicStartSlider), 25);
    app_->writer().waitIdle();
    const auto music = receivedWith(unit(), 9);
    ASSERT_EQ(music.size(), 1u);
    EXPECT_EQ(music[0][3], 4);
    EXPECT_EQ(music[0][4], 15);
    EXPECT_EQ(music[0][5], 2);
    EXPECT_EQ(getBE32(music[0].data() + 10), floatBits(0.25f));
    EXPECT_EQ(store().settingsEdit.at(4), 25);
}

TEST_F(SetDlgTest, LocksSetAndClearTheirBits) {
    Settings applied = store().settingsApplied.snapshot();
    applied.at(7) = 1;
    applied.at(8) = 0x10;
    store().settingsApplied.assign(applied);
    CSetDlg* dialog = open();
    QCheckBox* volumeLock = dialog->checkBox(CSetDlg::kVolumeLock);
    ASSERT_TRUE(volumeLock->isEnabled());
    EXPECT_TRUE(dialog->checkBox(CSetDlg::kModeLock)->isChecked());
    struct Step {
        QCheckBox* box;
        std::uint8_t flags;
    };
    const Step steps[] = {{volumeLock, 0x93},
                          {volumeLock, 0x10},
                          {dialog->checkBox(CSetDlg::kModeLock), 0x00},
                          {dialog->checkBox(CSetDlg::kModeLock), 0x10}};
    for (const Step& s : steps) {
        s.box->click();
        EXPECT_EQ(store().settingsEdit.at(8), s.flags) << controlId(s.box);
    }
    dialog->checkBox(CSetDlg::kPanelLock)->click();
    EXPECT_EQ(store().settingsEdit.at(7), 0);
    EXPECT_FALSE(volumeLock->isEnabled());
    EXPECT_FALSE(dialog->checkBox(CSetDlg::kModeLock)->isEnabled());
}

TEST_F(SetDlgTest, PowerOnModeAndSavePoliciesGoIntoTheRecord) {
    CSetDlg* dialog = open();
    dialog->powerOnMode()->setCurrentIndex(3);  // "M3"
    dialog->radio(1191)->click();
    dialog->radio(1195)->click();
    dialog->radio(1204)->click();
    dialog->radio(1196)->click();
    const auto sent = applyAndReceive(dialog);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->at(11), 3);
    EXPECT_EQ(sent->at(0), 1);
    EXPECT_EQ(sent->at(1), 1);
    EXPECT_EQ(sent->at(2), 0);
    EXPECT_EQ(unit().settings(), *sent);
}

TEST_F(SetDlgTest, PhasesPlayAtOnceOutsideTheRecord) {
    CSetDlg* dialog = open();
    const Settings before = store().settingsEdit.snapshot();
    for (auto [id, word, index] : {std::tuple{CSetDlg::kMicAPhase, w::micAPhase, 41},
                                   std::tuple{CSetDlg::kMicBPhase, w::micBPhase, 54}}) {
        QCheckBox* box = dialog->checkBox(id);
        for (int round = 0; round < 2; ++round) {
            box->click();
            app_->writer().waitIdle();
            const int expected = box->isChecked() ? 0 : 1;
            EXPECT_EQ(store().params.getInt(word), expected);
            EXPECT_EQ(lastParamWord(unit(), 1, index), static_cast<std::uint32_t>(expected));
        }
    }
    EXPECT_EQ(store().settingsEdit.snapshot(), before);
}

// Cancel, Escape and the close box all drop the unapplied edits: reopened,
// the dialog shows the applied record and Apply sends exactly that. The
// volume the slider played stays with the unit.
TEST_F(SetDlgTest, LeavingWithoutApplyDropsTheEdits) {
    enum class Leave { CancelButton, Escape, CloseBox };
    for (Leave leave : {Leave::CancelButton, Leave::Escape, Leave::CloseBox}) {
        CSetDlg* dialog = open();
        moveSlider(dialog->slider(CSetDlg::kMicStartSlider), 30);
        dialog->powerOnMode()->setCurrentIndex(2);
        app_->writer().waitIdle();
        ASSERT_EQ(store().settingsEdit.at(3), 30);
        switch (leave) {
            case Leave::CancelButton:
                dialog->cancelButton()->click();
                break;
            case Leave::Escape:
                QTest::keyClick(dialog, Qt::Key_Escape);
                break;
            case Leave::CloseBox:
                dialog->close();
                break;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(app_->toolDialog(ToolDialog::MachineSettings), nullptr);
        EXPECT_EQ(store().settingsEdit.snapshot(), store().settingsApplied.snapshot());
        EXPECT_EQ(store().params.getInt(w::micVolume), 30);
        EXPECT_EQ(lastParamWord(unit(), 1, 30), floatBits(0.30f));

        dialog = open();
        EXPECT_EQ(dialog->slider(CSetDlg::kMicStartSlider)->position(), 60);
        EXPECT_EQ(dialog->powerOnMode()->currentIndex(), 0);
        const auto sent = applyAndReceive(dialog);
        ASSERT_TRUE(sent);
        EXPECT_EQ(sent->at(3), 60);
        EXPECT_EQ(sent->at(11), 0);
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        store().params.setInt(w::micVolume, 60);
    }
}

TEST_F(SetDlgTest, WithoutTheUnitApplyKeepsTheRecordAndSaysNothingWasSent) {
    CSetDlg* dialog = open();
    unit().unplug();
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
    unit().clearTraffic();
    dialog->powerOnMode()->setCurrentIndex(4);
    dialog->applyButton()->click();
    app_->writer().waitIdle();
    EXPECT_EQ(store().settingsApplied.at(11), 4);
    EXPECT_EQ(notice(), QStringLiteral("No device connected: the setting was not sent!"));
    // The mode buttons do nothing without the unit.
    const int mode = store().currentMode.load();
    dialog->modeButton((mode + 1) % 4)->click();
    app_->writer().waitIdle();
    EXPECT_EQ(store().currentMode.load(), mode);
    EXPECT_TRUE(dialog->modeButton(mode)->isChecked());
    EXPECT_TRUE(unit().received().empty());
}

TEST_F(SetDlgTest, ResettingAModeAsksTheUnitAndReadsItBack) {
    CSetDlg* dialog = open();
    // The store drifts from the unit; the pull after the reset mends it.
    store().params.setInt(w::musicVolume, 3);
    dialog->modeButton(2)->click();  // M3
    ASSERT_TRUE(waitIdleConnected());
    const auto resets = receivedWith(unit(), 6);
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_EQ(resets[0][2], 2);
    EXPECT_FALSE(receivedWith(unit(), 128).empty());  // the pull identified the unit
    EXPECT_EQ(store().params.getInt(w::musicVolume), 60);
    EXPECT_EQ(app_->toolDialog(ToolDialog::MachineSettings), dialog);
}

}  // namespace
}  // namespace v36::test
