// A broken unit seen from the window: what the status bar says and that
// nothing hangs.
#include "app/ribbon_texts.h"
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
    // The model it gives is no model: the unit is refused and let go.
    ASSERT_TRUE(waitUntil([this] { return !boxes_.empty(); }));
    EXPECT_EQ(boxes_[0].text, QString::fromUtf8("机器型号与软件不匹配!"));
    EXPECT_TRUE(waitUntil([this] { return !app_->isConnected() && !app_->sync().busy(); }));
}

}  // namespace
}  // namespace v36::test
