// The delay page on the virtual unit: what each control sends, byte for byte.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>

#include "controls/bmp_slider.h"
#include "controls/control_test_support.h"
#include "controls/delay_panel.h"
#include "controls/image_button.h"
#include "controls/spin_button.h"
#include "page_fixture.h"
#include "page_look.h"
#include "pages/delay_dlg.h"
#include "pages/factories.h"
#include "pages/page_buttons.h"
#include "protocol/bytes.h"
#include "protocol/codecs.h"
#include "protocol/output_delay.h"
#include "protocol/words.h"

namespace v36::test {
namespace {

constexpr int kMainL = 0;
constexpr int kCenter = 2;
constexpr int kSub = 3;
constexpr int kRearR = 5;

class DelayPageTest : public PageTest {
  protected:
    CDelayDlg* open(int language = kEnglish) {
        return openPage<CDelayDlg>(PageKind::Delay, 0, language);
    }
    // Types `text` into channel c's box and presses Enter.
    void enter(CDelayDlg* page, int c, const QString& text) {
        page->delayBox(c)->setText(text);
        QTest::keyClick(page->delayBox(c), Qt::Key_Return);
    }
    // A click on the upper (+1) or lower (-1) half of channel c's spin.
    void spinClick(CDelayDlg* page, int c, int delta) {
        CSpinButton* spin = page->spin(c);
        const QPoint at(spin->width() / 2, delta > 0 ? 2 : spin->height() - 3);
        QTest::mousePress(spin, Qt::LeftButton, {}, at);
        QTest::mouseRelease(spin, Qt::LeftButton, {}, at);
    }
    // The two delay-mode words as the unit holds them.
    std::vector<std::uint32_t> modeWords(int block, int index) {
        settle();
        const auto words = unit().paramWords(block, index);
        return {words.begin(), words.begin() + 2};
    }
};

Report paramReport(int block, int index, std::initializer_list<std::uint32_t> words) {
    Report r{};
    r[0] = 0x02;
    r[1] = 0x09;
    r[3] = static_cast<std::uint8_t>(block);
    r[4] = static_cast<std::uint8_t>(index);
    r[5] = static_cast<std::uint8_t>(words.size());
    std::size_t at = 6;
    for (const std::uint32_t w : words) {
        putBE32(r.data() + at, w);
        at += 4;
    }
    return r;
}

TEST_F(DelayPageTest, TypedDelaysAreClampedShownAndSentAsSamples) {
    CDelayDlg* page = open();
    ASSERT_NE(page, nullptr);
    struct Case {
        const char* typed;
        const char* shown;
        float stored;
        std::uint32_t samples;
    };
    const Case cases[] = {
        {"0.3", "1.5ms", 1.5f, 72},        // raised to the shortest delay
        {"12.34", "12.3ms", 12.34f, 592},  // shown in tenths, sent exactly
        {"250", "100.0ms", 100.0f, 4800},  // held at the longest
        {"20.5ms", "20.5ms", 20.5f, 984},  // the unit may stay in the box
        {"abc", "1.5ms", 1.5f, 72},        // not a number: the shortest delay
    };
    const int word = outMain.delayMs(0);
    enter(page, kMainL, QStringLiteral("7"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        settle();
        unit().clearTraffic();
        enter(page, kMainL, QString::fromUtf8(c.typed));
        EXPECT_EQ(page->delayBox(kMainL)->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(store().params.getFloat(word), c.stored);
        EXPECT_FLOAT_EQ(page->diagram()->value(kMainL), std::min(c.stored, 100.0f));
        const auto sent = received();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], paramReport(5, 35, {c.samples}));
    }
    // The value already stored sends nothing and makes no step.
    const int steps = app_->edits().count();
    settle();
    unit().clearTraffic();
    enter(page, kMainL, QStringLiteral("1.5"));
    EXPECT_TRUE(received().empty());
    EXPECT_EQ(app_->edits().count(), steps);
}

TEST_F(DelayPageTest, TheSpinStepsTenthsFromTheTypedValueAndStopsAtTheLimits) {
    CDelayDlg* page = open();
    ASSERT_NE(page, nullptr);
    enter(page, kMainL, QStringLiteral("12.34"));
    EXPECT_EQ(page->spinPosition(kMainL), 123);
    settle();
    unit().clearTraffic();
    spinClick(page, kMainL, +1);
    EXPECT_EQ(page->delayBox(kMainL)->text(), QStringLiteral("12.4ms"));
    EXPECT_EQ(store().params.getFloat(outMain.delayMs(0)), 12.4f);
    EXPECT_EQ(received(),
              std::vector<Report>{paramReport(5, 35, {595})});  // trunc(12.4 * 48 + 0.5)
    unit().clearTraffic();
    spinClick(page, kMainL, +1);
    EXPECT_EQ(page->delayBox(kMainL)->text(), QStringLiteral("12.5ms"));
    EXPECT_EQ(received(), std::vector<Report>{paramReport(5, 35, {600})});

    // At the shortest delay a step down shows and stores 1.5 ms, never less.
    enter(page, kCenter, QStringLiteral("1.6"));
    spinClick(page, kCenter, -1);
    spinClick(page, kCenter, -1);
    EXPECT_EQ(page->delayBox(kCenter)->text(), QStringLiteral("1.5ms"));
    EXPECT_EQ(page->spinPosition(kCenter), CDelayDlg::spinMinimum());
    EXPECT_EQ(store().params.getFloat(outCenter.delayMs(0)), 1.5f);
    enter(page, kCenter, QStringLiteral("99.9"));
    spinClick(page, kCenter, +1);
    spinClick(page, kCenter, +1);
    EXPECT_EQ(page->delayBox(kCenter)->text(), QStringLiteral("100.0ms"));
    EXPECT_EQ(page->spinPosition(kCenter), CDelayDlg::spinMaximum());
}

// A wheel turn anywhere on the page goes to the focused delay box (a spin
// step) or split slider.
TEST_F(DelayPageTest, TheWheelTurnsTheFocusedBoxOrSlider) {
    CDelayDlg* page = open();
    ASSERT_NE(page, nullptr);
    auto turn = [page](int delta) { turnWheel(page->diagram(), delta); };
    enter(page, kCenter, QStringLiteral("10"));
    turn(120);
    turn(120);
    EXPECT_EQ(page->delayBox(kCenter)->text(), QStringLiteral("10.2ms"));
    turn(-120);
    EXPECT_EQ(store().params.getFloat(outCenter.delayMs(0)), 10.1f);

    page->splitSlider(kSub)->setFocus();
    turn(120);
    EXPECT_EQ(page->splitSlider(kSub)->position(), 1);
    EXPECT_EQ(page->splitLabel(kSub)->text(), QStringLiteral("600Hz"));
    EXPECT_EQ(unitRecord(8, 20).freq, 600);
}

TEST_F(DelayPageTest, DraggingALaneIsOneStepThatUndoRestores) {
    CDelayDlg* page = open();
    ASSERT_NE(page, nullptr);
    CDelayPanel* diagram = page->diagram();
    const float before = store().params.getFloat(outSub.delayMs(0));
    const QRect handle = diagram->handleRect(kSub);
    const QPoint grab = handle.center();
    QTest::mousePress(diagram, Qt::LeftButton, {}, grab);
    for (const float ms : {20.0f, 30.0f, 42.0f}) {
        const QPoint at(diagram->valueToX(ms) + handle.width() / 2 + 1, grab.y());
        sendMove(diagram, at, Qt::LeftButton);
    }
    QTest::mouseRelease(diagram, Qt::LeftButton, {}, grab);
    settle();
    const float dragged = store().params.getFloat(outSub.delayMs(0));
    EXPECT_NEAR(dragged, 42.0f, 0.5f);
    EXPECT_EQ(page->delayBox(kSub)->text(), QString::asprintf("%.1fms", double{dragged}));
    EXPECT_EQ(page->focusWidget(), page->delayBox(kSub));
    EXPECT_EQ(page->spinPosition(kSub), CDelayDlg::spinPositionOf(dragged));
    EXPECT_EQ(app_->edits().count(), 1);
    EXPECT_EQ(unit().paramWords(8, 29).at(0), msToSamples(dragged));

    app_->edits().undo();
    settle();
    EXPECT_EQ(store().params.getFloat(outSub.delayMs(0)), before);
    EXPECT_EQ(page->delayBox(kSub)->text(), QString::asprintf("%.1fms", double{before}));
    EXPECT_EQ(unit().paramWords(8, 29).at(0), msToSamples(before));
}

TEST_F(DelayPageTest, TheOnSwitchSendsTheBypassWordAndGreysTheChannel) {
    CDelayDlg* page = open();
    ASSERT_NE(page, nullptr);
    page->onSwitch(kCenter)->click();
    EXPECT_EQ(store().params.getInt(outCenter.delayBypass(0)), 1);
    const auto sent = received();
    ASSERT_EQ(sent.size(), 1u);
    const std::uint8_t bytes[] = {0x02, 0x09, 0x00, 0x07, 0x14, 0x01, 0x00, 0x00, 0x00, 0x01};
    EXPECT_TRUE(std::equal(std::begin(bytes), std::end(bytes), sent[0].begin()));
    for (QWidget* w : {static_cast<QWidget*>(page->highFreqRadio(kCenter)),
                       static_cast<QWidget*>(page->channelRadio(kCenter)),
                       static_cast<QWidget*>(page->splitSlider(kCenter)),
                       static_cast<QWidget*>(page->splitLabel(kCenter)),
                       static_cast<QWidget*>(page->delayBox(kCenter)),
                       static_cast<QWidget*>(page->spin(kCenter)),
                       static_cast<QWidget*>(page->caption(kCenter))})
        EXPECT_FALSE(w->isEnabled());
    EXPECT_TRUE(page->onSwitch(kCenter)->isEnabled());
    EXPECT_TRUE(page->delayBox(kMainL)->isEnabled());  // other channels untouched

    page->onSwitch(kCenter)->click();
    EXPECT_EQ(store().params.getInt(outCenter.delayBypass(0)), 0);
    EXPECT_TRUE(page->splitSlider(kCenter)->isEnabled());
}

TEST_F(DelayPageTest, TheModeRadiosSendTheModeWordsThenTheSplitPair) {
    CDelayDlg* page = open();
    ASSERT_NE(page, nullptr);
    // Rear R keeps pair 7 (1200 Hz / 1700 Hz) in its high-pass section.
    page->splitSlider(kRearR)->setFocus();
    for (int i = 0; i < 7; ++i)
        QTest::keyClick(page->splitSlider(kRearR), Qt::Key_Right);
    ASSERT_EQ(page->splitLabel(kRearR)->text(), QStringLiteral("1200Hz"));
    settle();
    unit().clearTraffic();

    page->channelRadio(kRearR)->click();
    EXPECT_EQ(store().params.getInt(outRear.delayFilterMode(1)), 1);
    EXPECT_FALSE(page->splitSlider(kRearR)->isEnabled());
    EXPECT_FALSE(page->splitLabel(kRearR)->isEnabled());
    auto sent = received();
    ASSERT_EQ(sent.size(), 5u);  // mode words; record and biquad of each section
    const std::uint8_t mode[] = {0x02, 0x09, 0x00, 0x06, 0x1A, 0x02, 0x3F,
                                 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(std::begin(mode), std::end(mode), sent[0].begin()));
    EXPECT_EQ(sent[1][1], 0x85);
    EXPECT_EQ(sent[3][1], 0x85);
    EXPECT_EQ(unitRecord(6, 12).type, kPeq);
    EXPECT_EQ(unitRecord(6, 12).freq, 1200);
    EXPECT_EQ(unitRecord(6, 13).type, kPeq);
    EXPECT_EQ(unitRecord(6, 13).freq, 1700);
    EXPECT_FLOAT_EQ(unitRecord(6, 13).gain, 0.0f);

    // Clicking the mode already chosen sends nothing.
    settle();
    unit().clearTraffic();
    page->channelRadio(kRearR)->click();
    EXPECT_TRUE(received().empty());

    // Back to "High Freq": the pair returns as high-pass and low-pass.
    page->highFreqRadio(kRearR)->click();
    EXPECT_EQ(modeWords(6, 26), (std::vector<std::uint32_t>{0x3F800000u, 0x3F800000u}));
    EXPECT_EQ(unitRecord(6, 12).type, kHighPass);
    EXPECT_EQ(unitRecord(6, 12).freq, 1200);
    EXPECT_EQ(unitRecord(6, 13).type, kLowPass);
    EXPECT_EQ(unitRecord(6, 13).freq, 1700);
    EXPECT_TRUE(page->splitSlider(kRearR)->isEnabled());

    // Undo takes the mode and both sections back in one step.
    app_->edits().undo();
    settle();
    EXPECT_TRUE(page->channelRadio(kRearR)->isChecked());
    EXPECT_EQ(unitRecord(6, 12).type, kPeq);
    EXPECT_EQ(modeWords(6, 26), (std::vector<std::uint32_t>{0x3F800000u, 0u}));
}

TEST_F(DelayPageTest, TheSplitSliderSendsThePairAndTheLabelReadsItBack) {
    CDelayDlg* page = open();
    ASSERT_NE(page, nullptr);
    CXBmpSlider* slider = page->splitSlider(kSub);
    slider->setFocus();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(page->splitLabel(kSub)->text(), QStringLiteral("1000Hz"));
    EXPECT_EQ(unitRecord(8, 20).type, kHighPass);
    EXPECT_EQ(unitRecord(8, 20).freq, 1000);
    EXPECT_EQ(unitRecord(8, 21).type, kLowPass);
    EXPECT_EQ(unitRecord(8, 21).freq, 1500);
    EXPECT_NEAR(unitRecord(8, 21).q, 0.707f, 0.001f);

    // A high-pass frequency of no pair shows pair 0.
    const auto bytes = BandRecord{0.0f, 630, 0.707f, kHighPass}.encode();
    store().registers.write(static_cast<std::size_t>(recordOffset(8, 20)), bytes.data(),
                            bytes.size());
    page->RefreshFromStore();
    EXPECT_EQ(slider->position(), 0);
    EXPECT_EQ(page->splitLabel(kSub)->text(), QStringLiteral("500Hz"));
}

TEST_F(DelayPageTest, TheTopChannelsAndTheirButtonStayHidden) {
    CDelayDlg* page = open();
    ASSERT_NE(page, nullptr);
    for (int c = 0; c < CDelayDlg::kChannels; ++c) {
        const bool top = c >= 6;
        EXPECT_EQ(page->delayBox(c)->isHidden(), top) << c;
        EXPECT_EQ(page->onSwitch(c)->isHidden(), top) << c;
        EXPECT_EQ(page->splitSlider(c)->isHidden(), top) << c;
    }
    EXPECT_TRUE(page->pageButtons()->button(CPageButtonRow::kTopId)->isHidden());
    EXPECT_EQ(page->pageButtons()->currentId(), 1074);
}

// The page at the main window's smallest size and maximised, in both
// languages: nothing cut or covered, each row beside its lane, every value
// of the diagram below its handle.
TEST_F(DelayPageTest, ThePageLaysOutCleanlyInBothLanguagesAtBothSizes) {
    for (const int language : {kChinese, kEnglish}) {
        CDelayDlg* page = open(language);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->highFreqRadio(kMainL)->text(),
                  language == kEnglish ? QStringLiteral("High Freq ") : QStringLiteral("高频延时"));
        EXPECT_EQ(page->caption(kRearR)->text(),
                  language == kEnglish ? QStringLiteral("Rear R") : QStringLiteral("后置右"));
        EXPECT_EQ(page->diagram()->caption(7),
                  language == kEnglish ? QStringLiteral("Top R") : QString::fromUtf8("顶置右(TR)"));
        enter(page, kSub, QStringLiteral("100"));
        for (const QSize window : {QSize(1068, 700), QSize(1920, 1080)}) {
            app_->mainFrame()->resize(window);
            settleLayouts();
            const QString state = QStringLiteral("delay_page_%1_%2")
                                      .arg(language == kEnglish ? "en" : "zh")
                                      .arg(window.width());
            saveWindow(*app_->mainFrame(), state);
            if (window.width() < 1920) savePageAt2x(*page, state + QStringLiteral("_x2"));
            expectLaidOutCleanly(page, state);
            CDelayPanel* diagram = page->diagram();
            EXPECT_TRUE(diagram->valueBelowHandle());
            EXPECT_EQ(diagram->geometry().right(), page->width() - 9);
            EXPECT_TRUE(diagram->rect().contains(diagram->valueTextRect(kSub)));
            for (int c = 0; c < 6; ++c) {
                const int laneMid = diagram->y() + diagram->laneTop(c) + diagram->laneHeight() / 2;
                const QRect box = rectIn(page->delayBox(c), page);
                EXPECT_LE(std::abs(box.center().y() - laneMid), 2) << c;
                EXPECT_FALSE(box.intersects(diagram->geometry())) << c;
            }
        }
        stop();
    }
}

}  // namespace
}  // namespace v36::test
