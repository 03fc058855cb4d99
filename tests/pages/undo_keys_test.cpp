// Ctrl+Z and Ctrl+Shift+Z in every kind of box of the window: the
// program's undo and redo win unless the box holds typing of its own that
// is not yet entered, which the box's own undo then takes back.
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <functional>

#include "app/edit_path.h"
#include "controls/delay_panel.h"
#include "controls/eq_panel.h"
#include "page_fixture.h"
#include "pages/delay_dlg.h"
#include "pages/dialog_music.h"
#include "pages/eq_editor.h"
#include "pages/sound_field_page.h"
#include "protocol/words.h"

namespace v36::test {
namespace {

class UndoKeysTest : public PageTest {
  protected:
    // Makes the window active (shortcuts need it) and `box` focused.
    void focus(QWidget* box) {
        box->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(box->window()));
        box->setFocus();
        ASSERT_TRUE(waitUntil([box] { return box->hasFocus(); }, 2000));
    }
    static void enter(QWidget* box, const QString& text) {
        auto* edit = qobject_cast<QLineEdit*>(box);
        if (edit == nullptr) edit = box->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    static QString textOf(QWidget* box) {
        auto* edit = qobject_cast<QLineEdit*>(box);
        if (edit == nullptr) edit = box->findChild<QLineEdit*>();
        return edit->text();
    }
    int index() { return app_->edits().stack().index(); }

    // One step of the program through `box` is made first by `step`; then
    // the keys are pressed in the box. `refocus` brings the box back where a
    // page's reload hides it (the EQ editors show their grid again).
    void check(QWidget* box, const std::function<void()>& step,
               const std::function<void()>& refocus = {}) {
        auto again = [&] {
            if (refocus) refocus();
            focus(box);
        };
        again();
        step();
        settle();
        ASSERT_TRUE(box->hasFocus());
        const int after = index();
        ASSERT_GT(after, 0);
        const QString stepText = textOf(box);

        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        settle();
        EXPECT_EQ(index(), after - 1) << "Ctrl+Z did not reach the program";
        again();
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        settle();
        EXPECT_EQ(index(), after) << "Ctrl+Shift+Z did not reach the program";
        again();
        // The boxes of the pages show the value again.
        EXPECT_EQ(textOf(box), stepText);

        // Typing not yet entered is the box's own to take back.
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClicks(box, QStringLiteral("7"));
        const QString typed = textOf(box);
        ASSERT_NE(typed, stepText);
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        settle();
        EXPECT_EQ(index(), after);
        EXPECT_EQ(textOf(box), stepText);
        // Left, the typing is the page's again; the keys are the program's.
        QTest::keyClick(box, Qt::Key_Return);
        settle();
    }
    // A step of the program that the box does not show.
    Edit step(int value) {
        return Edit(EditText{"话筒音量", "Mic Vol"}).wordInt(w::micVolume, value);
    }
};

TEST_F(UndoKeysTest, LineEditAndSpinBoxesOfTheWindow) {
    auto* page = openPage<CDialogMusic>(PageKind::Music, 0);
    ASSERT_NE(page, nullptr);
    auto* line = new QLineEdit(page);
    auto* spin = new QSpinBox(page);
    auto* doubleSpin = new QDoubleSpinBox(page);
    spin->setRange(0, 100);
    doubleSpin->setRange(0.0, 1000.0);
    for (QWidget* box : {static_cast<QWidget*>(line), static_cast<QWidget*>(spin),
                         static_cast<QWidget*>(doubleSpin)}) {
        SCOPED_TRACE(box->metaObject()->className());
        box->show();
        int value = 20 + index();
        check(box, [&] {
            enter(box, QStringLiteral("5"));  // committed: nothing of its own
            app_->edits().apply(step(value++));
        });
    }
}

TEST_F(UndoKeysTest, TheBandEditorsBoxes) {
    auto* page = openPage<CDialogMusic>(PageKind::Music, 0);
    ASSERT_NE(page, nullptr);
    CEqEditor* editor = page->eqEditor();
    CEqPanel* panel = editor->panel();
    auto selectBand5 = [&] {
        if (editor->selectedBand() == 4) return;
        const QPoint at = panel->markerPosition(4).toPoint();
        QTest::mousePress(panel, Qt::LeftButton, {}, at);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, at);
        settle();
        ASSERT_EQ(editor->selectedBand(), 4);
    };
    // Band 5, F 1000 Enter, then the keys; the same in the gain and Q boxes.
    const struct {
        QLineEdit* box;
        const char* typed;
    } cases[] = {
        {editor->frequencyEdit(), "1000"}, {editor->gainEdit(), "-3.5"}, {editor->qEdit(), "2.5"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        check(
            c.box, [&] { enter(c.box, QString::fromLatin1(c.typed)); }, selectBand5);
    }
}

TEST_F(UndoKeysTest, TheDelayBoxesAndAfterADragOfALane) {
    auto* page = openPage<CDelayDlg>(PageKind::Delay, 0);
    ASSERT_NE(page, nullptr);
    QLineEdit* box = page->delayBox(0);
    check(box, [&] { enter(box, QStringLiteral("12.5")); });

    // A drag moves the focus to the lane's box: the keys undo the drag.
    CDelayPanel* diagram = page->diagram();
    const int lane = 3;
    const QRect handle = diagram->handleRect(lane);
    QTest::mousePress(diagram, Qt::LeftButton, {}, handle.center());
    const QPoint to(diagram->valueToX(30.0f) + handle.width() / 2 + 1, handle.center().y());
    QMouseEvent move(QEvent::MouseMove, to, diagram->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(diagram, &move);
    QTest::mouseRelease(diagram, Qt::LeftButton, {}, to);
    settle();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_EQ(focused, page->delayBox(lane));
    const int after = index();
    QTest::keyClick(focused, Qt::Key_Z, Qt::ControlModifier);
    settle();
    EXPECT_EQ(index(), after - 1);
}

TEST_F(UndoKeysTest, TheSoundFieldBoxes) {
    auto* page = openPage<CSSVCDlg>(PageKind::SoundField, 0);
    ASSERT_NE(page, nullptr);
    QLineEdit* box = page->edit(CSSVCDlg::kFirstEdit + 11);  // the subwoofer's Y
    check(box, [&] { enter(box, QStringLiteral("1.5")); });
}

}  // namespace
}  // namespace v36::test
