// The window with several units attached: which one is open, the switch to
// another, a unit that arrives or leaves, and the unit preferred at start.
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

#include "app/ribbon_presenter.h"
#include "app/ribbon_texts.h"
#include "protocol/report.h"
#include "protocol/words.h"
#include "shell_fixture.h"
#include "sim/virtual_units.h"

namespace v36::test {
namespace {

class UnitsWindowTest : public ShellTest {
  protected:
    // `count` virtual units, SIM0001..; those in `away` are unplugged until
    // the test plugs them in.
    void startUnits(int count, std::vector<int> away = {}) {
        adjustOptions_ = [count](AppOptions& options) {
            VirtualUnitConfig base;
            base.latency = std::chrono::microseconds(200);
            options.virtualUnits = virtualUnitConfigs(count, base);
        };
        start();
        // Nothing runs before the start delay has passed in the event loop.
        for (int n : away)
            unitAt(n).unplug();
    }

    VirtualUnit& unitAt(int n) {
        return app_->device().virtualUnits()->unit(static_cast<std::size_t>(n - 1));
    }
    QPushButton* chooser() { return app_->mainFrame()->statusPanes()->unitChooser(); }
    QString chooserText() {
        view().updateCommandUI();
        return chooser()->isHidden() ? QString() : chooser()->text();
    }
    // Picks unit n (counted from 1) in the chooser's menu.
    void choose(int n) {
        view().updateCommandUI();
        const QList<QAction*> actions = chooser()->menu()->actions();
        ASSERT_GE(actions.size(), n);
        actions[n - 1]->trigger();
    }
    int openUnit() const { return app_->connection().openUnitIndex() + 1; }
    void settle() {
        QCoreApplication::processEvents();
        app_->writer().waitIdle();
    }
};

TEST_F(UnitsWindowTest, ChooserSwitchesToAnotherUnitWithAPullAndANewHistory) {
    startUnits(3);
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_EQ(openUnit(), 1);
    EXPECT_EQ(chooserText(), QStringLiteral("Unit 1 of 3 · SIM0001"));
    const QList<QAction*> actions = chooser()->menu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[1]->text(), QStringLiteral("2 · SIM0002 (virtual:v36/2)"));
    EXPECT_TRUE(actions[0]->isChecked());

    // An edit on the first unit, kept in the history.
    ribbon().slider(kRibbonIds[0].effectSlider)->setValue(31);
    settle();
    ASSERT_TRUE(app_->edits().canUndo());
    const auto unit1Effect = unitAt(1).paramWords(1, 32);
    unitAt(1).clearTraffic();
    unitAt(2).clearTraffic();

    choose(2);
    ASSERT_TRUE(waitUntil([this] { return openUnit() == 2 && idleConnected(); }));
    // The first unit was let go, the second read whole.
    EXPECT_TRUE(unitAt(1).waitForReceived(cmd::kDisconnect, 1, std::chrono::seconds(1)));
    EXPECT_TRUE(unitAt(2).waitForReceived(cmd::kQueryModel, 1, std::chrono::seconds(1)));
    EXPECT_EQ(chooserText(), QStringLiteral("Unit 2 of 3 · SIM0002"));
    EXPECT_TRUE(chooser()->menu()->actions()[1]->isChecked());
    EXPECT_FALSE(app_->edits().canUndo());
    EXPECT_NE(store().params.getInt(w::effectVolume), 31);
    EXPECT_EQ(unitAt(1).paramWords(1, 32), unit1Effect);
    EXPECT_TRUE(boxes_.empty());
    // The next start prefers it.
    EXPECT_EQ(app_->settings().value(QStringLiteral("lastUnitSerial")).toString(),
              QStringLiteral("SIM0002"));

    // Chinese, too.
    view().switchLanguage();
    EXPECT_EQ(chooserText(), QString::fromUtf8("设备 2/3 · SIM0002"));
}

TEST_F(UnitsWindowTest, ArrivingUnitWaitsInTheChooser) {
    startUnits(2, {2});
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_EQ(openUnit(), 1);
    EXPECT_EQ(chooserText(), QString());  // one unit: nothing to choose

    unitAt(2).plugIn();
    ASSERT_TRUE(waitUntil([this] { return app_->connection().units().size() == 2; }));
    ASSERT_TRUE(waitUntil([this] {
        return view().noticeText() ==
               QStringLiteral("Another unit arrived: SIM0002. Switch to it in the status bar.");
    }));
    settle();
    EXPECT_EQ(openUnit(), 1);
    EXPECT_TRUE(idleConnected());
    EXPECT_TRUE(unitAt(2).received().empty());
    EXPECT_EQ(chooserText(), QStringLiteral("Unit 1 of 2 · SIM0001"));
}

TEST_F(UnitsWindowTest, OpenUnitLeavingWhileAnotherStays) {
    startUnits(2);
    ASSERT_TRUE(waitIdleConnected());
    unitAt(2).clearTraffic();
    unitAt(1).unplug();
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
    ASSERT_TRUE(waitUntil([this] {
        return view().noticeText() == QStringLiteral(
                                          "Device Disconnected!\nOther units are "
                                          "attached: choose one in the status bar.");
    }));
    settle();
    // The window does not move to the other unit by itself.
    EXPECT_FALSE(app_->isConnected());
    EXPECT_TRUE(unitAt(2).received().empty());
    EXPECT_EQ(chooserText(), QStringLiteral("1 unit attached: open it"));

    // An edit made without a unit is asked about before the chosen unit's
    // set replaces it.
    ribbon().slider(kRibbonIds[0].effectSlider)->setValue(12);
    settle();
    ASSERT_TRUE(app_->hasUnsavedOfflineEdits());
    answer_ = QMessageBox::Discard;
    choose(1);
    ASSERT_TRUE(waitUntil([this] { return openUnit() == 1 && idleConnected(); }));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Question);
    EXPECT_EQ(app_->connection().openUnit().serial, "SIM0002");
    EXPECT_FALSE(app_->hasUnsavedOfflineEdits());
    EXPECT_EQ(chooserText(), QString());  // the one attached unit is open
}

TEST_F(UnitsWindowTest, UnitLastUsedIsOpenedAtStart) {
    {
        QSettings settings(dir_.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("lastUnitSerial"), QStringLiteral("SIM0003"));
    }
    startUnits(3);
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_EQ(openUnit(), 3);
    EXPECT_TRUE(unitAt(1).received().empty());
    EXPECT_EQ(chooserText(), QStringLiteral("Unit 3 of 3 · SIM0003"));
}

// The status bar at the window's minimum width keeps the chooser's text
// whole in both languages; the renderings are kept for a look.
TEST_F(UnitsWindowTest, ChooserShowsWholeInBothLanguages) {
    startUnits(3);
    ASSERT_TRUE(waitIdleConnected());
    CMainFrame* frame = app_->mainFrame();
    frame->showNormal();
    frame->resize(frame->minimumSize());
    QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
    for (const char* language : {"en", "zh"}) {
        SCOPED_TRACE(language);
        view().updateCommandUI();
        QCoreApplication::processEvents();
        QPushButton* button = chooser();
        ASSERT_FALSE(button->isHidden());
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
        const QRect inBar(button->mapTo(frame->statusPanes(), QPoint(0, 0)), button->size());
        EXPECT_TRUE(frame->statusPanes()->rect().contains(inBar));
        EXPECT_TRUE(frame->statusPanes()->grab().save(
            QStringLiteral(V36_ARTEFACT_DIR "/units_status_%1.png").arg(language)));
        QMenu* menu = button->menu();
        menu->popup(button->mapToGlobal(QPoint(0, 0)));
        QCoreApplication::processEvents();
        for (QAction* action : menu->actions())
            EXPECT_GE(menu->actionGeometry(action).width(),
                      menu->fontMetrics().horizontalAdvance(action->text()));
        EXPECT_TRUE(
            menu->grab().save(QStringLiteral(V36_ARTEFACT_DIR "/units_menu_%1.png").arg(language)));
        menu->hide();
        view().switchLanguage();
    }
}

}  // namespace
}  // namespace v36::test
