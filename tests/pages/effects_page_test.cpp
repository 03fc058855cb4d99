// The effects page on the virtual unit: the effect EQs' banks and sections,
// bypass and reset, switching a live page, and how it looks; and the EQ
// editor on the subwoofer EQ, whose points are four sections each.
#include <QRadioButton>
#include <QTest>

#include "app/edit_path.h"
#include "controls/eq_panel.h"
#include "controls/grid_list.h"
#include "controls/image_button.h"
#include "page_look.h"
#include "page_wire.h"
#include "pages/dialog_efx.h"
#include "pages/dialog_music.h"
#include "pages/eq_editor.h"
#include "pages/factories.h"
#include "protocol/eq_access.h"
#include "protocol/words.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

class EffectsPageTest : public ShellTest {
  protected:
    void startPage(int eq, int language = kEnglish) {
        start({}, language, pageFactories());
        ASSERT_TRUE(waitIdleConnected());
        app_->ShowPage(PageKind::Effects, eq);
        QCoreApplication::processEvents();
        ASSERT_NE(page(), nullptr);
    }
    CDialogEfx* page() { return qobject_cast<CDialogEfx*>(view().currentPage()); }
    CEqEditor* editor() { return page()->eqEditor(); }
    CEqPanel* panel() { return editor()->panel(); }
    void settle() {
        QCoreApplication::processEvents();
        app_->writer().waitIdle();
    }
};

TEST_F(EffectsPageTest, BandFiveOfTheChBEchoEqIsBankTwoSectionEleven) {
    startPage(kEqEchoB);
    EXPECT_EQ(editor()->grid()->rowCount(), 7);
    const QPoint from = panel()->markerPosition(4).toPoint();
    unit().clearTraffic();
    QTest::mousePress(panel(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(0, 25)),
                     panel()->mapToGlobal(QPointF(from + QPoint(0, 25))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel(), &move);
    QTest::mouseRelease(panel(), Qt::LeftButton, {}, from + QPoint(0, 25));
    settle();
    const EqBand& b = panel()->band(4);
    EXPECT_LT(b.gain, 0.0f);
    EXPECT_EQ(sectionTraffic(unit()),
              sectionReports(2, 11, kPeq, b.gain, static_cast<int>(b.freq), b.q));
    EXPECT_EQ(app_->edits().undoText().en, std::string("CH B Echo EQ Band 5"));
}

TEST_F(EffectsPageTest, BypassAndResetOfAnEffectEqNeverTouchTheMusic) {
    startPage(kEqReverbA);
    store().params.setInt(w::musicMute, 0);
    unit().clearTraffic();
    view().OnEqBypass();
    settle();
    EXPECT_TRUE(page()->IsEqBypassed());
    EXPECT_TRUE(panel()->isBypassed());
    auto sent = paramReports(unit(), 3, 14);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(firstWord(sent[0]), 1u);

    unit().clearTraffic();
    view().OnEqReset();
    settle();
    std::vector<Report> expected;
    for (const SectionSetting& s : resetBands(kEqReverbA)) {
        const auto two = sectionReports(3, s.section, s.type, s.gain, s.freq, s.q);
        expected.insert(expected.end(), two.begin(), two.end());
    }
    EXPECT_EQ(sectionTraffic(unit()), expected);
    EXPECT_TRUE(paramReports(unit(), 4, 16).empty());
    EXPECT_EQ(editor()->grid()->cellText(5, CEqEditor::kFrequencyColumn), QStringLiteral("2300Hz"));
    // One step each; undo of the reset sends the old bands back.
    // The step names the EQ it reset.
    EXPECT_EQ(app_->edits().undoText().en, std::string("Reset CH A Reverb EQ"));
    EXPECT_EQ(app_->edits().undoText().zh, std::string("重置混响通道A均衡"));
}

TEST_F(EffectsPageTest, ALivePageSwitchesItsEqAndTheBackButtonReturns) {
    startPage(kEqReverbA);
    CDialogEfx* first = page();
    EXPECT_EQ(first->picture()->title(), QStringLiteral("CH A Reverb EQ"));
    QTest::mouseClick(panel(), Qt::LeftButton, {}, panel()->markerPosition(2).toPoint());
    ASSERT_TRUE(editor()->bandEditorShown());
    app_->ShowPage(PageKind::Effects, kEqEchoA);
    EXPECT_EQ(page(), first);
    EXPECT_EQ(page()->channel(), kEqEchoA);
    EXPECT_EQ(editor()->eq(), kEqEchoA);
    EXPECT_EQ(page()->picture()->title(), QStringLiteral("CH A Echo EQ"));
    EXPECT_FALSE(editor()->bandEditorShown());
    EXPECT_EQ(panel()->selectedBand(), -1);
    EXPECT_EQ(panel()->curveColor(), QColor(0, 0xDC, 0));
    page()->backButton()->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(view().currentPage()->kind(), PageKind::Music);
}

TEST_F(EffectsPageTest, LooksCleanInBothLanguagesAtBothSizes) {
    for (const int lang : {kEnglish, kChinese}) {
        startPage(kEqEchoB, lang);
        EXPECT_EQ(page()->backButton()->caption(),
                  lang == kEnglish ? QStringLiteral("Back") : QString::fromUtf8("返回"));
        CMainFrame& frame = *app_->mainFrame();
        const QString tag = lang == kEnglish ? QStringLiteral("en") : QStringLiteral("zh");
        // The band editor of a selected band, then the grid.
        QTest::mouseClick(panel(), Qt::LeftButton, {}, panel()->markerPosition(3).toPoint());
        for (const bool maximised : {false, true}) {
            frame.resize(maximised ? QSize(1920, 1080)
                                   : QSize(CMainFrame::kMinWidth, CMainFrame::kMinHeight));
            settleLayouts();
            const QString size = maximised ? QStringLiteral("max") : QStringLiteral("min");
            expectLaidOutCleanly(page(), tag + QLatin1Char(' ') + size);
            // The back button keeps 2 px from the right edge at the top.
            EXPECT_EQ(page()->width() - rectIn(page()->backButton(), page()).right() - 1, 2);
            saveWindow(frame, QStringLiteral("effects_%1_%2").arg(tag, size));
            if (!maximised) savePageAt2x(*page(), QStringLiteral("effects_%1_x2").arg(tag));
        }
        stop();
    }
}

// The editor as the output page uses it: a subwoofer point is four sections
// of bank 8, sent together; the grid shows the points only.
TEST_F(EffectsPageTest, TheEqEditorSendsASubwooferPointAsItsFourSections) {
    start({}, kEnglish, pageFactories());
    ASSERT_TRUE(waitIdleConnected());
    CEqEditor editor(*app_);
    editor.resize(900, 300);
    editor.show();
    editor.selectEq(kEqSub);
    EXPECT_EQ(editor.grid()->rowCount(), 5);
    QTest::mouseClick(editor.panel(), Qt::LeftButton, {},
                      editor.panel()->markerPosition(1).toPoint());
    ASSERT_EQ(editor.selectedBand(), 1);
    unit().clearTraffic();
    editor.typeButton(kLowPass)->click();
    settle();
    const EqBand& point = editor.panel()->band(1);
    std::vector<Report> expected;
    const int types[] = {kBw4aLp, kBw4bLp, kPeq, kPeq};
    for (int j = 0; j < 4; ++j) {
        const auto two =
            sectionReports(8, 4 + j, types[j], 0.0f, static_cast<int>(point.freq), point.q);
        expected.insert(expected.end(), two.begin(), two.end());
    }
    EXPECT_EQ(sectionTraffic(unit()), expected);
    EXPECT_EQ(editor.grid()->cellText(1, CEqEditor::kTypeColumn), QStringLiteral("LP"));
    EXPECT_TRUE(editor.typeButton(kLowPass)->isChecked());

    // A crossover family on the point: Linkwitz-Riley 24 dB on the low-pass side.
    unit().clearTraffic();
    editor.applyCrossoverFamily(1);
    settle();
    const auto shown = subPointTypes(editor.model().bands(), 1);
    EXPECT_EQ(shown, (std::array<int, 4>{kBw2Lp, kBw2Lp, kPeq, kPeq}));
    EXPECT_EQ(sectionTraffic(unit()).size(), 8u);
}

}  // namespace
}  // namespace v36::test
