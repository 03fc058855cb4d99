// The music and microphone input page on the virtual unit: what each control
// sends, the edge cases of its rows and ports, the EQ editor from a mouse or
// key event to the bytes on the wire, and how it looks.
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <cmath>
#include <functional>

#include "app/edit_path.h"
#include "app/info_dialog.h"
#include "controls/bmp_slider.h"
#include "controls/eq_panel.h"
#include "controls/grid_list.h"
#include "controls/image_button.h"
#include "controls/peak_meter.h"
#include "controls/small_eq_panel.h"
#include "page_look.h"
#include "page_wire.h"
#include "pages/dialog_efx.h"
#include "pages/dialog_music.h"
#include "pages/eq_editor.h"
#include "pages/factories.h"
#include "protocol/bytes.h"
#include "protocol/eq_access.h"
#include "protocol/report.h"
#include "protocol/words.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

std::vector<Report> concat(const std::vector<std::vector<Report>>& parts) {
    std::vector<Report> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A pointer move with buttons held (QTest's move carries no buttons).
void sendMove(QWidget* widget, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton,
                     buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void wheel(QWidget* widget, QPoint at, int delta) {
    QWheelEvent event(QPointF(at), widget->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

// The grid's open in-place editor.
QLineEdit* cellEditor(CGridListCtrl* grid) {
    for (auto* edit : grid->viewport()->findChildren<QLineEdit*>()) {
        if (edit->isVisible()) return edit;
    }
    return nullptr;
}

QPoint markerOf(CEqPanel* panel, int band) {
    return panel->markerPosition(band).toPoint();
}

class MusicPageTest : public ShellTest {
  protected:
    void startPage(int language = kEnglish) {
        start({}, language, pageFactories());
        ASSERT_TRUE(waitIdleConnected());
        ASSERT_NE(page(), nullptr);
    }
    CDialogMusic* page() { return qobject_cast<CDialogMusic*>(view().currentPage()); }
    void settle() {
        QCoreApplication::processEvents();
        app_->writer().waitIdle();
    }
    CEqEditor* editor() { return page()->eqEditor(); }
    CEqPanel* panel() { return editor()->panel(); }
};

TEST_F(MusicPageTest, ABandDragReachesTheUnitAsOneUndoStep) {
    startPage();
    const EqBand before = panel()->band(2);
    const QPoint from = markerOf(panel(), 2);
    const QPoint to = from + QPoint(40, -30);
    const int steps = app_->edits().count();
    unit().clearTraffic();
    QTest::mousePress(panel(), Qt::LeftButton, {}, from);
    sendMove(panel(), from + QPoint(20, -15), Qt::LeftButton);
    sendMove(panel(), to, Qt::LeftButton);
    QTest::mouseRelease(panel(), Qt::LeftButton, {}, to);
    settle();

    const EqBand after = panel()->band(2);
    EXPECT_GT(after.gain, 0.5f);
    EXPECT_GT(after.freq, before.freq);
    // Each move sent CH A mic EQ band 3 (bank 1 section 2): record, then
    // coefficients; the hit and the release changed nothing and sent nothing.
    // A writer still busy with the first move sends only the newest.
    const std::vector<Report> sent = sectionTraffic(unit());
    ASSERT_TRUE(sent.size() == 4u || sent.size() == 2u) << sent.size();
    const auto last = sectionReports(1, 2, kPeq, after.gain, static_cast<int>(after.freq), after.q);
    EXPECT_EQ(sent[sent.size() - 2], last[0]);
    EXPECT_EQ(sent[sent.size() - 1], last[1]);
    EXPECT_EQ(app_->edits().count(), steps + 1);
    EXPECT_EQ(app_->edits().undoText().en, std::string("CH A Mic EQ Band 3"));
    EXPECT_TRUE(editor()->bandEditorShown());
    EXPECT_EQ(editor()->gainEdit()->text(), QString::fromStdString(formatGain(after.gain)));
    EXPECT_EQ(editor()->bandNumberLabel()->text(), QStringLiteral("3"));
    EXPECT_EQ(editor()->grid()->cellText(2, CEqEditor::kGainColumn), editor()->gainEdit()->text());

    // Undo sends the old section back and the page shows it with the grid.
    unit().clearTraffic();
    app_->edits().undo();
    settle();
    EXPECT_EQ(sectionTraffic(unit()), sectionReports(1, 2, before.type, before.gain,
                                                     static_cast<int>(before.freq), before.q));
    EXPECT_FLOAT_EQ(panel()->band(2).freq, before.freq);
    EXPECT_FALSE(editor()->bandEditorShown());
}

// The band editor takes the grid's place without moving anything: the page
// keeps its layout when a band is selected the first time and after.
TEST_F(MusicPageTest, SelectingABandMovesNothingOnThePage) {
    startPage();
    QWidget* window = page()->window();
    const auto layout = [&] {
        return std::vector<QRect>{QRect(editor()->mapTo(window, QPoint(0, 0)), editor()->size()),
                                  QRect(panel()->mapTo(window, QPoint(0, 0)), panel()->size())};
    };
    const auto before = layout();
    const QPoint at = markerOf(panel(), 4);
    QTest::mouseClick(panel(), Qt::LeftButton, {}, at);
    settle();
    ASSERT_TRUE(editor()->bandEditorShown());
    EXPECT_EQ(layout(), before);
    QTest::mouseClick(panel(), Qt::LeftButton, {}, markerOf(panel(), 2));
    settle();
    EXPECT_EQ(layout(), before);
}

TEST_F(MusicPageTest, GridCellsTypeButtonsAndLockedBandsOfTheMusicEq) {
    startPage();
    page()->selectInput(kEqMusic);
    ASSERT_EQ(editor()->eq(), kEqMusic);
    CGridListCtrl* grid = editor()->grid();
    unit().clearTraffic();
    ASSERT_TRUE(grid->beginEdit(4, CEqEditor::kGainColumn));
    QLineEdit* cell = cellEditor(grid);
    ASSERT_NE(cell, nullptr);
    QTest::keyClicks(cell, QStringLiteral("4.5"));
    QTest::keyClick(cell, Qt::Key_Return);
    settle();
    EqBand band = panel()->band(4);
    EXPECT_EQ(grid->cellText(4, CEqEditor::kGainColumn), QStringLiteral("+4.5dB"));
    // The music EQ is bank 4.
    EXPECT_EQ(sectionTraffic(unit()),
              sectionReports(4, 4, kPeq, 4.5f, static_cast<int>(band.freq), band.q));

    // A typed frequency beyond the range is held at 20 kHz.
    unit().clearTraffic();
    ASSERT_TRUE(grid->beginEdit(4, CEqEditor::kFrequencyColumn));
    cell = cellEditor(grid);
    ASSERT_NE(cell, nullptr);
    QTest::keyClicks(cell, QStringLiteral("99999"));
    QTest::keyClick(cell, Qt::Key_Return);
    settle();
    EXPECT_EQ(grid->cellText(4, CEqEditor::kFrequencyColumn), QStringLiteral("20000Hz"));
    EXPECT_EQ(sectionTraffic(unit()), sectionReports(4, 4, kPeq, 4.5f, 20000, band.q));

    // A type button on the selected band: HS takes 0 dB and Q 0.7; LP has no gain.
    QTest::mouseClick(panel(), Qt::LeftButton, {}, markerOf(panel(), 4));
    ASSERT_TRUE(editor()->bandEditorShown());
    unit().clearTraffic();
    editor()->typeButton(kHighShelf)->click();
    settle();
    EXPECT_EQ(sectionTraffic(unit()), sectionReports(4, 4, kHighShelf, 0.0f, 20000, 0.7f));
    EXPECT_TRUE(editor()->typeButton(kHighShelf)->isChecked());
    EXPECT_EQ(grid->cellText(4, CEqEditor::kTypeColumn), QStringLiteral("HS"));
    EXPECT_EQ(editor()->qSlider()->maximum(), 200);
    editor()->typeButton(kLowPass)->click();
    EXPECT_FALSE(editor()->gainEdit()->isEnabled());
    EXPECT_FALSE(editor()->gainSlider()->isEnabled());
    settle();

    // Bands 8 and 11 take only a gain in the band editor.
    for (const int locked : {7, 10}) {
        QTest::mouseClick(panel(), Qt::LeftButton, {}, markerOf(panel(), locked));
        ASSERT_EQ(editor()->selectedBand(), locked);
        EXPECT_FALSE(editor()->typeButton(kPeq)->isEnabled()) << locked;
        EXPECT_FALSE(editor()->frequencyEdit()->isEnabled()) << locked;
        EXPECT_FALSE(editor()->qSlider()->isEnabled()) << locked;
        EXPECT_TRUE(editor()->gainEdit()->isEnabled()) << locked;
    }
    // Its gain edit box applies on Enter.
    unit().clearTraffic();
    editor()->gainEdit()->setText(QStringLiteral("-3.5"));
    QTest::keyClick(editor()->gainEdit(), Qt::Key_Return);
    settle();
    band = panel()->band(10);
    EXPECT_EQ(sectionTraffic(unit()),
              sectionReports(4, 10, band.type, -3.5f, static_cast<int>(band.freq), band.q));
    EXPECT_EQ(band.freq, 2500.0f);
}

TEST_F(MusicPageTest, TheParameterListsKeysAndWheelStepItsValue) {
    startPage();  // CH A
    CGridListCtrl* list = page()->paramList();
    const QRect shift = list->visualRect(list->model()->index(8, 2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, shift.center());
    ASSERT_EQ(page()->selectedRow(), 8);
    EXPECT_EQ(page()->rowName()->text(), QStringLiteral("Shift Frequency"));
    page()->valueSlider()->setPosition(1);
    page()->applyRowValue(1);
    settle();
    list->setFocus();

    // Off -> 2 Hz: the mode word 0, the phase and the period.
    unit().clearTraffic();
    QTest::keyClick(list, Qt::Key_Up);
    settle();
    EXPECT_EQ(paramAddresses(unit()),
              (std::vector<std::pair<int, int>>{{1, 40}, {1, 38}, {1, 39}}));
    const auto sent = receivedWith(unit(), cmd::kSetParam);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(firstWord(sent[0]), 0u);
    EXPECT_EQ(firstFloat(sent[1]), static_cast<float>(2.0 * 3.14159265358979 * 2.0 / 48000.0));
    EXPECT_EQ(firstWord(sent[2]), 4800u);
    EXPECT_EQ(list->cellText(8, 3), QStringLiteral("2Hz"));
    EXPECT_EQ(page()->valueEdit()->text(), QStringLiteral("2Hz"));

    // Back to off: only the mode word 1.
    unit().clearTraffic();
    QTest::keyClick(list, Qt::Key_Left);
    settle();
    EXPECT_EQ(paramAddresses(unit()), (std::vector<std::pair<int, int>>{{1, 40}}));
    EXPECT_EQ(firstWord(receivedWith(unit(), cmd::kSetParam).front()), 1u);
    EXPECT_EQ(list->cellText(8, 3), QStringLiteral("Off"));
    QTest::keyClick(list, Qt::Key_Down);  // held at the row's minimum
    EXPECT_EQ(page()->valueSlider()->position(), 1);

    // A wheel notch anywhere over the page steps the focused list's row.
    wheel(page()->reverbCurve(), QPoint(10, 10), 120);
    EXPECT_EQ(list->cellText(8, 3), QStringLiteral("2Hz"));

    // A predelay of 3 ms: 72 samples to each tap; shown as their sum.
    settle();
    page()->selectRow(4);
    unit().clearTraffic();
    page()->applyRowValue(2);  // raised to 3
    settle();
    EXPECT_EQ(paramAddresses(unit()), (std::vector<std::pair<int, int>>{{2, 16}, {2, 17}}));
    for (const Report& r : receivedWith(unit(), cmd::kSetParam))
        EXPECT_EQ(firstWord(r), 72u);
    EXPECT_EQ(list->cellText(4, 3), QStringLiteral("3ms"));
    // The reverb time goes to both of its addresses as v / 100.
    page()->selectRow(2);
    unit().clearTraffic();
    page()->applyRowValue(40);
    settle();
    EXPECT_EQ(paramAddresses(unit()), (std::vector<std::pair<int, int>>{{3, 18}, {3, 19}}));
    EXPECT_EQ(list->cellText(2, 3), QStringLiteral("2024ms"));
    // The step names the microphone channel whose word it is.
    EXPECT_EQ(app_->edits().undoText().en, std::string("Mic CH A Reverb Time"));
    EXPECT_EQ(app_->edits().undoText().zh, std::string("话筒通道A 混响时长"));
}

TEST_F(MusicPageTest, PortsSendTheirWordsChannelAFirst) {
    startPage();
    const struct {
        int button;
        float a, b;
    } routes[] = {{1191, 0.0f, 1.0f}, {1190, 1.0f, 0.0f}};
    for (const auto& r : routes) {
        unit().clearTraffic();
        page()->portButton(r.button)->click();
        settle();
        const auto sent = receivedWith(unit(), cmd::kSetParam);
        ASSERT_EQ(sent.size(), 2u) << r.button;
        EXPECT_EQ(paramAddresses(unit()), (std::vector<std::pair<int, int>>{{1, 33}, {1, 46}}));
        EXPECT_EQ(firstFloat(sent[0]), r.a);
        EXPECT_EQ(firstFloat(sent[1]), r.b);
    }
    // The gate of port 2 goes as v / 10000, the level of port 1 as v / 100.
    const struct {
        int slider, label, index;
        double scale;
    } sliders[] = {{1053, 1154, 61, 1e4}, {1056, 1160, 56, 1e2}};
    for (const auto& s : sliders) {
        CXBmpSlider* slider = page()->portSlider(s.slider);
        slider->setFocus();
        const int v = slider->position() < 100 ? slider->position() + 1 : 99;
        unit().clearTraffic();
        QTest::keyClick(slider, slider->position() < 100 ? Qt::Key_Right : Qt::Key_Left);
        settle();
        const auto sent = paramReports(unit(), 1, s.index);
        ASSERT_EQ(sent.size(), 1u) << s.slider;
        EXPECT_EQ(firstFloat(sent[0]), static_cast<float>(v / s.scale));
        EXPECT_EQ(page()->portLabel(s.label)->text(), QString::number(v));
    }
}

TEST_F(MusicPageTest, TheInputSelectionSwitchesEverythingAndTheCurvesOpenTheEffectsPage) {
    startPage();
    unit().clearTraffic();
    page()->selectorButton(CDialogMusic::kMusic)->click();
    EXPECT_EQ(editor()->eq(), kEqMusic);
    EXPECT_TRUE(page()->selectorButton(CDialogMusic::kMusic)->isAlternate());
    EXPECT_FALSE(page()->selectorButton(CDialogMusic::kMicChannelA)->isAlternate());
    EXPECT_FALSE(page()->paramList()->isEnabled());
    EXPECT_FALSE(page()->valueSlider()->isEnabled());
    EXPECT_FALSE(page()->reverbCurve()->isEnabled());
    EXPECT_EQ(editor()->grid()->rowTextColor(0), QColor(255, 200, 0));
    EXPECT_EQ(page()->paramList()->rowTextColor(0), QColor(100, 100, 100));
    // With the music EQ the curves are flat and open nothing.
    for (const float level : page()->echoCurve()->levels())
        EXPECT_FLOAT_EQ(level, 0.0f);
    QTest::mouseClick(page()->echoCurve(), Qt::LeftButton);
    EXPECT_EQ(view().currentPage()->kind(), PageKind::Music);
    settle();
    EXPECT_TRUE(sectionTraffic(unit()).empty());  // choosing shows, never sends

    page()->selectorButton(CDialogMusic::kMicChannelB)->click();
    EXPECT_EQ(editor()->eq(), kEqMicB);
    EXPECT_EQ(editor()->grid()->rowTextColor(0), QColor(0, 220, 0));
    EXPECT_EQ(page()->echoCurve()->lineColor(), QColor(0, 220, 0));
    EXPECT_TRUE(page()->paramList()->isEnabled());
    QTest::mouseClick(page()->echoCurve(), Qt::LeftButton);
    QCoreApplication::processEvents();
    auto* efx = qobject_cast<CDialogEfx*>(view().currentPage());
    ASSERT_NE(efx, nullptr);
    EXPECT_EQ(efx->channel(), kEqEchoB);
    // Back: the music page shows the channel it showed.
    efx->backButton()->click();
    QCoreApplication::processEvents();
    ASSERT_NE(page(), nullptr);
    EXPECT_EQ(editor()->eq(), kEqMicB);
    EXPECT_TRUE(page()->selectorButton(CDialogMusic::kMicChannelB)->isAlternate());
}

TEST_F(MusicPageTest, ResettingTheMusicEqMutesAroundItUnlessTheMusicIsMuted) {
    startPage();
    page()->selectInput(kEqMusic);
    std::vector<std::vector<Report>> defaults;
    for (const SectionSetting& s : resetBands(kEqMusic))
        defaults.push_back(sectionReports(4, s.section, s.type, s.gain, s.freq, s.q));
    for (const bool muted : {false, true}) {
        SCOPED_TRACE(muted ? "muted" : "playing");
        store().params.setInt(w::musicMute, muted ? 1 : 0);
        unit().clearTraffic();
        view().OnEqReset();
        settle();
        std::vector<Report> sections;
        std::vector<float> mute;
        for (const Report& r : unit().received()) {
            if (r[1] == cmd::kSetParam && r[3] == 4 && r[4] == 16) {
                mute.push_back(firstFloat(r));
                // The music is muted before the first section and faded in after the last.
                EXPECT_TRUE(sections.empty() || sections.size() == 30u);
            } else if (r[1] == cmd::kWriteRegisters || (r[1] == cmd::kSetParam && r[5] == 5)) {
                sections.push_back(r);
            }
        }
        EXPECT_EQ(sections, concat(defaults));
        EXPECT_EQ(mute.size(), muted ? 0u : 11u);
        if (!muted) {
            EXPECT_EQ(mute.front(), 0.0f);
            EXPECT_EQ(mute.back(), 1.0f);
        }
        EXPECT_EQ(store().params.getInt(w::musicMute), muted ? 1 : 0);
        EXPECT_FALSE(editor()->bandEditorShown());
        EXPECT_EQ(editor()->grid()->cellText(7, CEqEditor::kTypeColumn), QStringLiteral("LS"));
        EXPECT_EQ(editor()->grid()->cellText(8, CEqEditor::kFrequencyColumn),
                  QStringLiteral("1000Hz"));
    }
}

TEST_F(MusicPageTest, RaisingAMutedEffectsLevelSaysSoAndStillSendsIt) {
    startPage();
    store().params.setInt(w::echoMute, 1);
    store().params.setInt(w::reverbMute, 1);
    const struct {
        int row;
        int value;
        int block, index;
        const char* notice;
    } cases[] = {{3, 25, 2, 15, "Echo vol is mute"}, {0, 35, 3, 15, "Reverb vol is mute"}};
    for (const auto& c : cases) {
        page()->selectRow(c.row);
        unit().clearTraffic();
        page()->applyRowValue(c.value);
        settle();
        ASSERT_NE(app_->infoDialog(), nullptr);
        EXPECT_EQ(app_->infoDialog()->text(), QString::fromUtf8(c.notice));
        const auto sent = paramReports(unit(), c.block, c.index);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(firstFloat(sent[0]), static_cast<float>(c.value) / 100.0f);
    }
    // Setting the level to 0 says nothing.
    page()->selectRow(3);
    app_->infoDialog()->showText(QString(), 10);
    page()->applyRowValue(0);
    EXPECT_TRUE(app_->infoDialog()->text().isEmpty());
}

TEST_F(MusicPageTest, TheStatusTimerShowsLevelsStatePicturesAndFormat) {
    startPage();
    app_->setLevelPollEnable(false);
    settle();
    const struct {
        std::uint8_t flags;
        const char* format;
        bool bluetooth, paired;
    } cases[] = {{0x00, "Stereo", false, false}, {0x01, "DOLBY", false, false},
                 {0x03, "DOLBY", true, false},   {0x02, "DTS", false, true},
                 {0x06, "DTS", false, false},    {0x04, "Multi-CH LPCM", false, false},
                 {0x30, "Stereo", true, true}};
    for (const auto& c : cases) {
        std::array<std::uint8_t, 16> status{};
        status = {10, 20, 30, 255, 100, 200, 0, c.flags};
        if (c.bluetooth) status[7] |= 0x10;
        if (c.paired) status[7] |= 0x20;
        store().liveStatus.assign(status);
        page()->updateStatus();
        EXPECT_EQ(page()->formatText()->text(), QString::fromUtf8(c.format)) << int{c.flags};
        EXPECT_EQ(page()->bluetoothPicture()->isOn(), c.bluetooth);
        EXPECT_EQ(page()->pairingPicture()->isOn(), c.paired);
    }
    // Ports 1..4 from bytes 0..3 (255 shows full scale), music from 4 and 5.
    const std::pair<int, int> meters[] = {{1170, 10},  {1171, 20},  {1172, 30},
                                          {1173, 230}, {1168, 100}, {1169, 200}};
    for (const auto& [id, value] : meters)
        EXPECT_EQ(page()->meter(id)->band(0).value, value) << id;
}

TEST_F(MusicPageTest, ThePageFollowsUndoAndAPull) {
    startPage();
    CXBmpSlider* level = page()->portSlider(1056);
    QLabel* label = page()->portLabel(1160);
    const int before = level->position();
    const int edited = before > 0 ? before - 1 : 1;
    level->setFocus();
    QTest::keyClick(level, before > 0 ? Qt::Key_Left : Qt::Key_Right);
    settle();
    EXPECT_EQ(label->text(), QString::number(edited));
    app_->edits().undo();
    settle();
    EXPECT_EQ(level->position(), before);
    EXPECT_EQ(label->text(), QString::number(before));
    app_->edits().redo();
    settle();
    EXPECT_EQ(label->text(), QString::number(edited));

    // Reloading and relabelling make no step and send nothing.
    const int steps = app_->edits().count();
    unit().clearTraffic();
    page()->RefreshFromStore();
    page()->ApplyLanguage();
    settle();
    EXPECT_EQ(app_->edits().count(), steps);
    EXPECT_TRUE(receivedWith(unit(), cmd::kSetParam).empty());
    EXPECT_TRUE(receivedWith(unit(), cmd::kWriteRegisters).empty());

    // The store disagrees with the unit until a pull brings the unit's value.
    store().params.setInt(w::micLevel, 7);
    app_->startPullWithDialog();
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_EQ(level->position(), edited);
    EXPECT_EQ(label->text(), QString::number(edited));
}

TEST_F(MusicPageTest, TheWheelGoesToTheFocusedControl) {
    startPage();
    QTest::mouseClick(panel(), Qt::LeftButton, {}, markerOf(panel(), 5));
    ASSERT_EQ(editor()->selectedBand(), 5);
    const EqBand before = panel()->band(5);
    editor()->frequencySlider()->setFocus();
    unit().clearTraffic();
    // Over the EQ panel, but the focused frequency slider takes the notch.
    wheel(panel(), QPoint(panel()->width() / 2, 30), 120);
    settle();
    const EqBand& after = panel()->band(5);
    EXPECT_EQ(after.gain, before.gain);
    EXPECT_EQ(after.freq, std::round(before.freq) + 1.0f);
    EXPECT_EQ(sectionTraffic(unit()),
              sectionReports(1, 5, kPeq, before.gain, static_cast<int>(after.freq), before.q));

    // A focused EQ panel without a selected band has no use for the turn:
    // the band grid under the pointer scrolls instead.
    editor()->RefreshFromStore();  // no band selected, the grid shown
    settle();
    panel()->setFocus();
    CGridListCtrl* grid = editor()->grid();
    ASSERT_TRUE(grid->isVisible());
    grid->setFixedHeight(90);  // some rows out of view
    settle();
    QScrollBar* bar = grid->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(0);
    wheel(grid->viewport(), QPoint(20, 20), -120);
    settle();
    EXPECT_GT(bar->value(), 0);
    EXPECT_EQ(panel()->band(5).gain, before.gain);
}

TEST_F(MusicPageTest, ALanguageSwitchRelabelsThePageAndItsLists) {
    startPage(kEnglish);
    page()->selectRow(8);
    view().switchLanguage();
    EXPECT_EQ(page()->portButton(1190)->text(), QString::fromUtf8("通道A"));
    EXPECT_EQ(page()->selectorButton(CDialogMusic::kMusic)->caption(), QString::fromUtf8("音乐"));
    EXPECT_EQ(page()->paramList()->cellText(8, 2), QString::fromUtf8("话筒移频"));
    EXPECT_EQ(page()->paramList()->horizontalHeaderItem(2)->text(), QString::fromUtf8("参数名"));
    EXPECT_EQ(page()->rowName()->text(), QString::fromUtf8("话筒移频"));
    EXPECT_EQ(editor()->grid()->cellText(7, CEqEditor::kTypeColumn), QString::fromUtf8("低架"));
    EXPECT_EQ(editor()->typeButton(kLowShelf)->text(), QString::fromUtf8("低架"));
    EXPECT_EQ(editor()->panel()->language(), kChinese);
    // The hidden "Mic Pair" button starts the pairing.
    unit().clearTraffic();
    page()->selectorButton(CDialogMusic::kMicPair)->click();
    settle();
    const auto pair = receivedWith(unit(), cmd::kMicPair);
    ASSERT_EQ(pair.size(), 1u);
    EXPECT_EQ(pair[0][2], 1);
    EXPECT_FALSE(page()->selectorButton(CDialogMusic::kMicPair)->isVisible());
}

TEST_F(MusicPageTest, LooksCleanInBothLanguagesAtBothSizes) {
    for (const int lang : {kEnglish, kChinese}) {
        startPage(lang);
        CMainFrame& frame = *app_->mainFrame();
        const QString tag = lang == kEnglish ? QStringLiteral("en") : QStringLiteral("zh");
        for (const bool maximised : {false, true}) {
            frame.resize(maximised ? QSize(1920, 1080)
                                   : QSize(CMainFrame::kMinWidth, CMainFrame::kMinHeight));
            settleLayouts();
            const QString size = maximised ? QStringLiteral("max") : QStringLiteral("min");
            expectLaidOutCleanly(page(), tag + QLatin1Char(' ') + size);
            saveWindow(frame, QStringLiteral("music_%1_%2").arg(tag, size));
            if (!maximised) savePageAt2x(*page(), QStringLiteral("music_%1_x2").arg(tag));
        }
        stop();
    }
}

}  // namespace
}  // namespace v36::test
