// The sound-field page on the virtual unit: what a move, a room change,
// "Center" and "Reset all" store and send, and how the page looks.
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <string>
#include <vector>

#include "app/edit_path.h"
#include "app/language.h"
#include "controls/image_button.h"
#include "controls/spin_button.h"
#include "controls/ss_volume_panel.h"
#include "page_fixture.h"
#include "page_look.h"
#include "pages/factories.h"
#include "pages/page_buttons.h"
#include "pages/sound_field_page.h"
#include "protocol/bytes.h"
#include "protocol/codecs.h"
#include "protocol/report.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

class SoundFieldPageTest : public PageTest {
  protected:
    CSSVCDlg& open(int language = kEnglish) {
        CSSVCDlg* page = openPage<CSSVCDlg>(PageKind::SoundField, 0, language);
        EXPECT_NE(page, nullptr);
        return *page;
    }
    // Types into an edit and confirms with Enter.
    void enter(CSSVCDlg& page, int id, const QString& text) {
        QLineEdit* e = page.edit(id);
        e->setText(text);
        QTest::keyClick(e, Qt::Key_Return);
        settle();
    }
    void moveItem(CSSVCDlg& page, int item, const char* x, const char* y) {
        enter(page, CSSVCDlg::kFirstEdit + 2 * item, QString::fromLatin1(x));
        enter(page, CSSVCDlg::kFirstEdit + 2 * item + 1, QString::fromLatin1(y));
    }
    // What the unit received, one tag a report: "R<offset>" for a register
    // write, "P<block>.<index>" for a parameter.
    std::vector<std::string> wire() {
        std::vector<std::string> out;
        for (const Report& r : unit().received()) {
            if (r[1] == cmd::kWriteRegisters)
                out.push_back("R" + std::to_string(getBE16(r.data() + 2)));
            else if (r[1] == cmd::kSetParam)
                out.push_back("P" + std::to_string(r[3]) + "." + std::to_string(r[4]));
        }
        return out;
    }
    static void click(CSSVCDlg& page, int id) {
        auto* b = qobject_cast<CGdipButton*>(findControl(&page, id));
        ASSERT_NE(b, nullptr);
        b->click();
    }
    // A pointer move with the left button held.
    static void sendMoveTo(QWidget& w, QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), w.mapToGlobal(QPointF(at)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &move);
    }
    std::uint8_t roomByte(int i) { return unit().registers()[static_cast<std::size_t>(1141 + i)]; }
    float unitTrim(int entry) {
        return bitsFloat(getBE32(unit().registers().data() + 1161 + 4 * entry));
    }
};

// The parameter of each speaker-block entry, as tags.
const char* const kTrimParam[8] = {"P5.42", "P5.43", "P6.28", "P6.29",
                                   "P7.23", "P8.33", "P9.28", "P9.29"};

TEST_F(SoundFieldPageTest, EachSpeakerTakesItsLevelFromItsDistanceToTheListener) {
    CSSVCDlg& page = open();
    enter(page, CSSVCDlg::kRoomWidthEdit, QStringLiteral("10"));
    enter(page, CSSVCDlg::kRoomLengthEdit, QStringLiteral("10m"));
    ASSERT_EQ(store().soundField.get().roomWidth, 10);
    struct Case {
        int item;
        const char* x;
        const char* y;
        double db;
    };
    const Case cases[] = {
        {1, "-1", "1", 3.0 - 3.0 * std::sqrt(2.0)},  // Main L at (-1, +1): -1.243 dB
        {2, "0", "0", 3.0},                          // Center on the listener
        {5, "3", "-4", -12.0},                       // Sub 5 m away
        {6, "+0.5m", "0", 1.5},                      // Rear R half a metre away
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const int k = c.item - 1;
        const int entry = speakerTrimOfRoomSpeaker(k);
        moveItem(page, c.item, "4.9", "4.9");  // out of the way first
        unit().clearTraffic();
        enter(page, CSSVCDlg::kFirstEdit + 2 * c.item, QString::fromLatin1(c.x));
        enter(page, CSSVCDlg::kFirstEdit + 2 * c.item + 1, QString::fromLatin1(c.y));
        const float level = store().speakerLevel(entry);
        EXPECT_NEAR(level, c.db, 1e-5);
        // The room, then the speaker block and the speaker's six words.
        const std::vector<std::string> one{"R1141", "R1161", kTrimParam[entry]};
        std::vector<std::string> two = one;
        two.insert(two.end(), one.begin(), one.end());
        EXPECT_EQ(wire(), two);
        EXPECT_EQ(unitTrim(entry), level);
        const auto words = speakerLevelWords(level);
        const UnitAddress a = speakerTrimAddress(entry);
        const auto held = unit().paramWords(a.block, a.index);
        ASSERT_GE(held.size(), 6u);
        EXPECT_TRUE(std::equal(words.begin(), words.end(), held.begin()));
    }
    // Main L's words: g1, g0, the two constants, g1, g0.
    const double l = store().speakerLevel(0);
    const auto w = unit().paramWords(5, 42);
    ASSERT_GE(w.size(), 6u);
    EXPECT_NEAR(bitsFloat(w[1]), std::pow(10.0, l / 20.0), 1e-6);
    EXPECT_NEAR(bitsFloat(w[0]), std::pow(10.0, (0.0022594517 * l * l + 0.799902 * l) / 20.0),
                1e-6);
    EXPECT_EQ(w[2], 0x3F7EFF25u);
    EXPECT_EQ(w[3], 0xBFFF7EF1u);
    EXPECT_EQ(w[4], w[0]);
    EXPECT_EQ(w[5], w[1]);
}

TEST_F(SoundFieldPageTest, PositionsTravelAsSignAndMagnitudeTenths) {
    CSSVCDlg& page = open();
    const struct {
        const char* typed;
        std::uint8_t byte;
        const char* shown;
    } cases[] = {
        {"-0.04", 0x00, "-0.0m"},  // rounds to zero: no sign bit
        {"0.04", 0x00, "+0.0m"},  {"-0.06", 0x81, "-0.1m"}, {"-1", 0x8A, "-1.0m"},
        {"+0.5m", 0x05, "+0.5m"}, {"1.26", 0x0D, "+1.3m"},  {"abc", 0x00, "+0.0m"},
        {"7", 0x14, "+2.0m"},  // clamped into the 4 m room
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        enter(page, CSSVCDlg::kFirstEdit + 2, QString::fromLatin1(c.typed));  // Main L's X
        EXPECT_EQ(roomByte(4), c.byte);
        EXPECT_EQ(page.edit(CSSVCDlg::kFirstEdit + 2)->text(), QLatin1String(c.shown));
        EXPECT_EQ(store().soundFieldBlock.snapshot()[4], c.byte);
    }
}

TEST_F(SoundFieldPageTest, TheListenerTakesEveryLevelAlongAndADragIsOneStep) {
    CSSVCDlg& page = open();
    CSSVolumePanel& room = *page.roomPanel();
    const auto registersBefore = unit().registers();
    const int steps = app_->edits().count();
    unit().clearTraffic();
    const QPoint from(room.item(0).pixelX, room.item(0).pixelY);
    QTest::mousePress(&room, Qt::LeftButton, {}, from);
    sendMoveTo(room, room.toPixel(0.5f, 0.5f));
    sendMoveTo(room, room.toPixel(1.0f, 1.0f));
    QTest::mouseRelease(&room, Qt::LeftButton, {}, room.toPixel(1.0f, 1.0f));
    settle();
    EXPECT_EQ(app_->edits().count(), steps + 1);

    // The pick (which brings the unit's zero trims in line with the room)
    // and each drag step: the room, then the eight speakers in the order
    // Main L, Center, Main R, Rear L, Sub, Rear R, Top L, Top R.
    std::vector<std::string> step{"R1141"};
    for (int k = 0; k < SoundFieldGeometry::kSpeakers; ++k) {
        const int entry = speakerTrimOfRoomSpeaker(k);
        step.push_back("R1161");
        step.push_back(kTrimParam[entry]);
    }
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), step.begin(), step.end());
    EXPECT_EQ(wire(), expected);
    const SoundFieldGeometry g = store().soundField.get();
    EXPECT_NEAR(g.listenerX, 1.0f, 0.02f);
    EXPECT_NEAR(g.listenerY, 1.0f, 0.02f);
    EXPECT_EQ(page.edit(1040)->text(), QString::asprintf("%+-.1fm", double{g.listenerX}));
    EXPECT_EQ(page.spin(1245)->position(), static_cast<int>(std::lround(g.listenerY * 10.0f)));
    // Main R at (+1, +1) now sits on the listener.
    EXPECT_NEAR(store().speakerLevel(1), 3.0f, 0.1f);

    app_->edits().undo();
    settle();
    EXPECT_EQ(unit().registers(), registersBefore);
    EXPECT_EQ(page.edit(1040)->text(), QStringLiteral("+0.0m"));  // the page was reloaded
    EXPECT_EQ(room.item(0).x, 0.0f);
}

// A typed position takes effect on Enter or when the edit is left, so the
// numbers never show a place the room does not; the arrow keys and the
// wheel (anywhere over the page) step the focused edit's spin.
TEST_F(SoundFieldPageTest, TypedPositionsTakeEffectWhenLeftAndKeysAndTheWheelStep) {
    CSSVCDlg& page = open();
    page.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.window()));
    QLineEdit* subY = page.edit(CSSVCDlg::kFirstEdit + 11);
    subY->setFocus();
    subY->selectAll();
    QTest::keyClicks(subY, QStringLiteral("1.5"));
    QTest::keyClick(subY, Qt::Key_Tab);  // the focus moves on
    settle();
    EXPECT_EQ(store().soundField.get().speakerY[4], 1.5f);
    EXPECT_EQ(page.roomPanel()->item(5).y, 1.5f);
    EXPECT_EQ(subY->text(), QStringLiteral("+1.5m"));

    subY->setFocus();
    QTest::keyClick(subY, Qt::Key_Up);
    settle();
    EXPECT_EQ(subY->text(), QStringLiteral("+1.6m"));
    PageTest::turnWheel(&page, -240);  // two notches towards the user
    settle();
    EXPECT_EQ(subY->text(), QStringLiteral("+1.4m"));
    EXPECT_EQ(store().soundField.get().speakerY[4], 1.4f);
    EXPECT_EQ(page.spin(CSSVCDlg::kFirstSpin + 11)->position(), 14);
    // A touchpad's quarter notches add up to one step.
    for (int i = 0; i < 3; ++i)
        PageTest::turnWheel(&page, 30);
    settle();
    EXPECT_EQ(subY->text(), QStringLiteral("+1.4m"));
    PageTest::turnWheel(&page, 30);
    settle();
    EXPECT_EQ(subY->text(), QStringLiteral("+1.5m"));
}

TEST_F(SoundFieldPageTest, ATypedValueIsAppliedOnceAsTypedAndTheRoomWaitsForModify) {
    CSSVCDlg& page = open();
    page.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.window()));
    const int steps = app_->edits().count();
    // The listener's X: typed, entered, then the focus moves on.
    QLineEdit* x = page.edit(CSSVCDlg::kFirstEdit);
    x->setFocus();
    x->selectAll();
    QTest::keyClicks(x, QStringLiteral("-1.04"));
    QTest::keyClick(x, Qt::Key_Return);
    settle();
    EXPECT_EQ(store().soundField.get().listenerX, -1.04f);
    const float level = store().speakerLevel(0);
    unit().clearTraffic();
    QTest::keyClick(x, Qt::Key_Tab);
    settle();
    EXPECT_EQ(store().soundField.get().listenerX, -1.04f);  // not the shown -1.0
    EXPECT_EQ(store().speakerLevel(0), level);
    EXPECT_TRUE(wire().empty());
    EXPECT_EQ(app_->edits().count(), steps + 1);

    // A typed width is not applied when its box is left, only by Modify.
    QLineEdit* width = page.edit(CSSVCDlg::kRoomWidthEdit);
    const int before = store().soundField.get().roomWidth;
    width->setFocus();
    width->selectAll();
    QTest::keyClicks(width, QStringLiteral("3"));
    QTest::keyClick(width, Qt::Key_Tab);
    settle();
    EXPECT_EQ(store().soundField.get().roomWidth, before);
    click(page, CSSVCDlg::kModifyButton);
    settle();
    EXPECT_EQ(store().soundField.get().roomWidth, 3);
    EXPECT_EQ(app_->edits().count(), steps + 2);
}

TEST_F(SoundFieldPageTest, AShrunkRoomLeavesPositionsAndTheNextSpinStepClampsThem) {
    CSSVCDlg& page = open();
    enter(page, CSSVCDlg::kFirstEdit + 6, QStringLiteral("1.5"));  // Main R's X
    const float level = store().speakerLevel(1);
    unit().clearTraffic();
    page.edit(CSSVCDlg::kRoomWidthEdit)->setText(QStringLiteral("2"));
    click(page, CSSVCDlg::kModifyButton);
    settle();
    const SoundFieldGeometry g = store().soundField.get();
    EXPECT_EQ(g.roomWidth, 2);
    EXPECT_EQ(g.speakerX[2], 1.5f);
    EXPECT_EQ(wire(), std::vector<std::string>{"R1141"});  // no level changes
    EXPECT_EQ(roomByte(0), 2);
    EXPECT_EQ(roomByte(8), 0x0F);
    EXPECT_EQ(page.edit(CSSVCDlg::kFirstEdit + 6)->text(), QStringLiteral("+1.5m"));
    EXPECT_EQ(page.spin(CSSVCDlg::kRoomWidthSpin)->position(), 2);
    EXPECT_EQ(store().speakerLevel(1), level);

    // One step down from 1.5 lands on the new wall at +1.0.
    emit page.spin(CSSVCDlg::kFirstSpin + 6)->deltaPos(-1);
    settle();
    EXPECT_EQ(store().soundField.get().speakerX[2], 1.0f);
    EXPECT_EQ(page.edit(CSSVCDlg::kFirstEdit + 6)->text(), QStringLiteral("+1.0m"));
    EXPECT_EQ(page.focusWidget(), page.edit(CSSVCDlg::kFirstEdit + 6));
    EXPECT_EQ(roomByte(8), 0x0A);
    // Further steps of one run merge into one step.
    const int steps = app_->edits().count();
    emit page.spin(CSSVCDlg::kFirstSpin + 6)->deltaPos(-1);
    emit page.spin(CSSVCDlg::kFirstSpin + 6)->deltaPos(-1);
    settle();
    EXPECT_EQ(app_->edits().count(), steps);
    EXPECT_EQ(page.edit(CSSVCDlg::kFirstEdit + 6)->text(), QStringLiteral("+0.8m"));
}

TEST_F(SoundFieldPageTest, CenterPutsTheListenerInTheMiddleOfBothDisplaysAsOneStep) {
    CSSVCDlg& page = open();
    moveItem(page, 0, "1.5", "-1");
    const int steps = app_->edits().count();
    unit().clearTraffic();
    click(page, CSSVCDlg::kCenterButton);
    settle();
    // The numbers agree with the drawn room.
    EXPECT_EQ(page.edit(1040)->text(), QStringLiteral("+0.0m"));
    EXPECT_EQ(page.edit(1041)->text(), QStringLiteral("+0.0m"));
    EXPECT_EQ(page.spin(1244)->position(), 0);
    EXPECT_EQ(page.spin(1245)->position(), 0);
    EXPECT_EQ(page.roomPanel()->item(0).x, 0.0f);
    const SoundFieldGeometry g = store().soundField.get();
    EXPECT_EQ(g.listenerX, 0.0f);
    EXPECT_EQ(g.listenerY, 0.0f);
    // The room twice (Y, then X), then every level from the middle.
    std::vector<std::string> expected{"R1141", "R1141"};
    for (int k = 0; k < SoundFieldGeometry::kSpeakers; ++k) {
        const int entry = speakerTrimOfRoomSpeaker(k);
        expected.push_back("R1161");
        expected.push_back(kTrimParam[entry]);
    }
    EXPECT_EQ(wire(), expected);
    EXPECT_NEAR(store().speakerLevel(0), 3.0 - 3.0 * std::sqrt(2.0), 1e-5);
    EXPECT_EQ(app_->edits().count(), steps + 1);

    app_->edits().undo();
    settle();
    EXPECT_EQ(page.edit(1040)->text(), QStringLiteral("+1.5m"));
    EXPECT_EQ(store().soundField.get().listenerY, -1.0f);
}

TEST_F(SoundFieldPageTest, ResetAllZeroesEveryLevelAndRestoresTheStartRoomAsOneStep) {
    CSSVCDlg& page = open();
    enter(page, CSSVCDlg::kRoomLengthEdit, QStringLiteral("7"));
    moveItem(page, 4, "-2", "-3");
    const int steps = app_->edits().count();
    unit().clearTraffic();
    click(page, CSSVCDlg::kResetButton);
    settle();
    std::vector<std::string> expected;
    for (int k = 0; k < SoundFieldGeometry::kSpeakers; ++k) {
        const int entry = speakerTrimOfRoomSpeaker(k);
        expected.push_back("R1161");
        expected.push_back(kTrimParam[entry]);
    }
    expected.push_back("R1141");
    EXPECT_EQ(wire(), expected);
    for (int e = 0; e < 8; ++e)
        EXPECT_EQ(unitTrim(e), 0.0f) << e;
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(roomByte(i), kDefaultSoundField[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(page.edit(CSSVCDlg::kRoomLengthEdit)->text(), QStringLiteral("4m"));
    EXPECT_EQ(page.edit(CSSVCDlg::kFirstEdit + 8)->text(), QStringLiteral("-1.0m"));
    EXPECT_EQ(app_->edits().count(), steps + 1);
}

TEST_F(SoundFieldPageTest, BothLanguagesFitTheSmallestAndTheMaximisedWindow) {
    for (const int language : {kChinese, kEnglish}) {
        CSSVCDlg& page = open(language);
        EXPECT_EQ(findControl(&page, 1006)->property("text").toString(),
                  language == kEnglish ? QStringLiteral("Listener location")
                                       : QString::fromUtf8("听众位置"));
        EXPECT_EQ(page.roomPanel()->itemName(5),
                  language == kEnglish ? QStringLiteral("Sub") : QString::fromUtf8("超低(S)"));
        EXPECT_TRUE(findControl(&page, 1054)->isHidden());  // Top L
        EXPECT_EQ(page.pageButtons()->currentId(), 1073);
        for (const QSize size : {QSize(1068, 700), QSize(1920, 1080)}) {
            app_->mainFrame()->resize(size);
            QCoreApplication::processEvents();
            SCOPED_TRACE(::testing::Message() << language << " " << size.width());
            EXPECT_GE(page.width(), 1024);
            expectLaidOutCleanly(&page, QStringLiteral("%1 %2").arg(language).arg(size.width()));
            QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
            page.grab().save(QStringLiteral(V36_ARTEFACT_DIR "/sound_field_page_%1_%2.png")
                                 .arg(language == kEnglish ? "en" : "zh")
                                 .arg(size.width()));
            if (size.width() == 1068) {
                savePageAt2x(page, QStringLiteral("sound_field_page_%1_x2")
                                       .arg(language == kEnglish ? "en" : "zh"));
            }
        }
        stop();
    }
}

}  // namespace
}  // namespace v36::test
