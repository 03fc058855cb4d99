// The noise gate, music AGC and automatic subwoofer dialogs on the virtual
// unit: what each control stores and sends, refreshes, undo.
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "app/edit_path.h"
#include "pages/auto_music_vol_dlg.h"
#include "pages/auto_sub_dlg.h"
#include "pages/factories.h"
#include "pages/noise_gate_dlg.h"
#include "protocol/words.h"
#include "tool_dialog_support.h"

namespace v36::test {
namespace {

class LevelDialogs : public ShellTest {
  protected:
    void SetUp() override {
        start({}, kEnglish, pageFactories());
        ASSERT_TRUE(waitIdleConnected());
        unit().clearTraffic();
    }
};

TEST_F(LevelDialogs, NoiseGateStoresTheReversedPositionAndSendsItsScale) {
    CDialogNG dialog(*app_, app_->mainFrame());
    struct Case {
        int slider;
        int position;
        int word;
        int block, index;
        float sent;
    };
    const Case cases[] = {
        {0, 100, w::micGateAttack, 1, 64, 1e-5f},    {0, 1, w::micGateAttack, 1, 64, 1e-3f},
        {1, 100, w::micGateRelease, 1, 65, 1e-7f},   {1, 1, w::micGateRelease, 1, 65, 1e-5f},
        {2, 100, w::musicGateAttack, 4, 22, 1e-5f},  {2, 1, w::musicGateAttack, 4, 22, 1e-3f},
        {3, 100, w::musicGateRelease, 4, 23, 1e-7f}, {3, 1, w::musicGateRelease, 4, 23, 1e-5f},
    };
    for (const Case& c : cases) {
        app_->edits().endGesture();
        moveSlider(dialog.slider(c.slider), c.position);
        app_->writer().waitIdle();
        EXPECT_EQ(store().params.getInt(c.word), 101 - c.position) << c.word;
        EXPECT_EQ(dialog.valueLabel(c.slider)->text(), QString::number(c.position));
        EXPECT_EQ(lastParamWord(unit(), c.block, c.index), floatBits(c.sent)) << c.word;
    }
    // Reopened, the labels show 101 - word; a word outside 1..100 keeps the
    // slider at its end and the label tells the stored value.
    store().params.setInt(w::micGateAttack, 0);
    dialog.RefreshFromStore();
    EXPECT_EQ(dialog.slider(0)->position(), 100);
    EXPECT_EQ(dialog.valueLabel(0)->text(), QStringLiteral("101"));
}

TEST_F(LevelDialogs, NoiseGateTakesTheWheelForTheFocusedSlider) {
    CDialogNG dialog(*app_, app_->mainFrame());
    dialog.show();
    CXBmpSlider* release = dialog.slider(3);
    release->setFocus();
    QApplication::setActiveWindow(&dialog);
    ASSERT_EQ(QApplication::focusWidget(), release);
    const int before = release->position();
    QWheelEvent wheel(QPointF(2, 2), dialog.mapToGlobal(QPointF(2, 2)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&dialog, &wheel);
    EXPECT_EQ(release->position(), before - 1);
    EXPECT_EQ(store().params.getInt(w::musicGateRelease), 101 - (before - 1));
}

TEST_F(LevelDialogs, F6OpensTheNoiseGateDialogOnlyWithTheUnit) {
    QString seen;
    auto closeModal = [&seen] {
        if (auto* d = qobject_cast<CDialogNG*>(QApplication::activeModalWidget())) {
            seen = d->windowTitle();
            d->reject();
        }
    };
    QTimer::singleShot(50, closeModal);
    QTest::keyRelease(app_->mainFrame(), Qt::Key_F6);
    EXPECT_EQ(seen, QStringLiteral("Noise gate setting"));
    EXPECT_TRUE(unit().received().empty());  // nothing is sent on closing

    seen.clear();
    unit().unplug();
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
    QTimer::singleShot(50, closeModal);
    QTest::keyRelease(app_->mainFrame(), Qt::Key_F6);
    QTest::qWait(100);
    EXPECT_TRUE(seen.isEmpty());
}

TEST_F(LevelDialogs, MusicAgcLevelIsShownAroundItsMiddle) {
    auto* dialog = static_cast<CAutoMusicVolDlg*>(app_->showToolDialog(ToolDialog::MusicAgc));
    ASSERT_NE(dialog, nullptr);
    // The unit's default level -12.0 dB is the middle: "0.0dB".
    EXPECT_FLOAT_EQ(store().params.getFloat(w::musicAgcLevel), -12.0f);
    EXPECT_EQ(dialog->slider()->position(), -120);
    EXPECT_EQ(dialog->valueLabel()->text(), QStringLiteral("0.0dB"));
    // Off: the level cannot be used.
    ASSERT_EQ(store().params.getInt(w::musicAgcEnable), 0);
    EXPECT_FALSE(dialog->slider()->isEnabled());
    EXPECT_FALSE(dialog->caption()->isEnabled());
    EXPECT_FALSE(dialog->valueLabel()->isEnabled());

    dialog->enableBox()->click();
    app_->writer().waitIdle();
    EXPECT_EQ(store().params.getInt(w::musicAgcEnable), 1);
    EXPECT_EQ(lastParamWord(unit(), 4, 18), 1u);
    EXPECT_TRUE(dialog->slider()->isEnabled());

    // One drag is one step; every move is sent as the float p / 10.
    app_->edits().endGesture();
    const int steps = app_->edits().count();
    for (int p : {-130, -150, -179})
        moveSlider(dialog->slider(), p);
    app_->writer().waitIdle();
    EXPECT_EQ(app_->edits().count(), steps + 1);
    EXPECT_FLOAT_EQ(store().params.getFloat(w::musicAgcLevel), -17.9f);
    EXPECT_EQ(dialog->valueLabel()->text(), QStringLiteral("-5.9dB"));
    EXPECT_EQ(lastParamWord(unit(), 4, 19), floatBits(-17.9f));
    // Shown again, the stored level puts the slider where it was.
    dialog->RefreshFromStore();
    EXPECT_EQ(dialog->slider()->position(), -179);

    app_->edits().undo();
    app_->writer().waitIdle();
    EXPECT_FLOAT_EQ(store().params.getFloat(w::musicAgcLevel), -12.0f);
    EXPECT_EQ(dialog->slider()->position(), -120);
    EXPECT_EQ(dialog->valueLabel()->text(), QStringLiteral("0.0dB"));
    EXPECT_EQ(lastParamWord(unit(), 4, 19), floatBits(-12.0f));
}

TEST_F(LevelDialogs, AutoSubFollowsEveryReadBackOfTheUnit) {
    auto* dialog = static_cast<CAutoSubDlg*>(app_->showToolDialog(ToolDialog::AutoSub));
    ASSERT_NE(dialog, nullptr);
    dialog->enableBox()->click();
    moveSlider(dialog->slider(), 35);
    app_->writer().waitIdle();
    EXPECT_EQ(store().params.getInt(w::autoSubLevel), 35);
    EXPECT_EQ(dialog->valueLabel()->text(), QStringLiteral("35%"));
    EXPECT_EQ(lastParamWord(unit(), 1, 67), 1u);
    EXPECT_EQ(lastParamWord(unit(), 1, 68), floatBits(0.35f));

    // The store drifts from the unit; a read-back puts the unit's values
    // into the open dialog.
    store().params.setInt(w::autoSubLevel, 80);
    store().params.setInt(w::autoSubEnable, 0);
    app_->startPullWithDialog();
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_EQ(store().params.getInt(w::autoSubLevel), 35);
    EXPECT_EQ(dialog->slider()->position(), 35);
    EXPECT_EQ(dialog->valueLabel()->text(), QStringLiteral("35%"));
    EXPECT_TRUE(dialog->enableBox()->isChecked());
    EXPECT_TRUE(dialog->slider()->isEnabled());

    // Escape ends the dialog; the next use makes a new one.
    QTest::keyClick(dialog, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app_->toolDialog(ToolDialog::AutoSub), nullptr);
}

}  // namespace
}  // namespace v36::test
