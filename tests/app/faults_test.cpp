// A broken unit seen from the window: what the status bar says and that
// nothing hangs.
#include "app/ribbon_texts.h"
#include "protocol/words.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

TEST_F(ShellTest, StatusBarSaysWhileTheUnitDoesNotAnswer) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    app_->device().link.setResponseWait(std::chrono::milliseconds(60));
    view().updateCommandUI();
    EXPECT_EQ(pane(id::kPaneEmpty), QString());

    unit().setDropAnswers(true);
    EXPECT_TRUE(waitUntil(
        [this] {
            view().updateCommandUI();
            return pane(id::kPaneEmpty) == QStringLiteral("the unit does not answer");
        },
        5000));

    unit().setDropAnswers(false);
    EXPECT_TRUE(waitUntil(
        [this] {
            view().updateCommandUI();
            return pane(id::kPaneEmpty).isEmpty();
        },
        5000));
}

TEST_F(ShellTest, GarbageAnswersRefuseTheUnitWithoutAHang) {
    VirtualUnitConfig garbage;
    garbage.garbagePercent = 100;
    start(garbage);
    // Nothing it says is an answer: the window says so, takes nothing of it
    // and, when told to, lets it go.
    answer_ = QMessageBox::Close;
    const std::array<std::uint8_t, 588> before = store().params.toBytes();
    ASSERT_TRUE(waitUntil([this] { return !boxes_.empty(); }));
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes_[0].text.startsWith(
        QStringLiteral("The unit's answers arrive garbled: check the cable or the USB port")))
        << boxes_[0].text.toStdString();
    EXPECT_EQ(boxes_[0].buttons, QMessageBox::Retry | QMessageBox::Close);
    EXPECT_EQ(store().params.toBytes(), before);
    EXPECT_TRUE(waitUntil([this] { return !app_->isConnected() && !app_->sync().busy(); }));
}

TEST_F(ShellTest, AnIncompleteReadIsNeitherShownNorSavedAndCanBeRetried) {
    // The unit tells who it is, then stops answering in the middle of the
    // read: the store keeps what it had, and Retry reads the unit again.
    answer_ = QMessageBox::Retry;
    bool stopped = false;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        CSynDlg* d = app_->syncDialog();
        if (stopped || !d || d->progressValue() <= 40) return;
        stopped = true;
        unit().setDropAnswers(true);
    });
    stopper.start(2);
    VirtualUnitConfig slow;
    slow.latency = std::chrono::milliseconds(2);
    start(slow);
    ASSERT_TRUE(waitUntil([this] { return !boxes_.empty(); }));
    EXPECT_TRUE(boxes_[0].text.contains(QStringLiteral("values could not be read from the unit")))
        << boxes_[0].text.toStdString();
    EXPECT_EQ(store().params.getInt(w::musicVolume), 0);  // not the unit's 60
    // The unit answers again: Retry reads it whole.
    unit().setDropAnswers(false);
    ASSERT_TRUE(waitIdleConnected());
    ASSERT_TRUE(waitUntil([this] { return store().params.getInt(w::musicVolume) == 60; }));
    EXPECT_TRUE(view().levelPollRunning());
}

}  // namespace
}  // namespace v36::test

namespace v36::test {
namespace {

TEST_F(ShellTest, ClosingWithASilentUnitAndQueuedWritesEndsInTime) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    unit().setDropAnswers(true);
    // Each write now waits its whole time for an answer that never comes.
    const RibbonIds& ids = kRibbonIds[0];
    for (const int slider : {ids.micSlider, ids.effectSlider, ids.musicSlider, ids.gateSlider})
        ribbon().slider(slider)->setValue(30);
    ASSERT_GE(app_->writer().pending(), 3u);
    QElapsedTimer closing;
    closing.start();
    stop();
    EXPECT_LT(closing.elapsed(), 3000);
}

}  // namespace
}  // namespace v36::test
