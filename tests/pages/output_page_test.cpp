// The output page on the virtual unit: levels, mutes, the channel EQ with
// the subwoofer's points and families, bypass and reset, channel switching.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>

#include "app/info_dialog.h"
#include "controls/bmp_slider.h"
#include "controls/eq_panel.h"
#include "controls/grid_list.h"
#include "controls/image_button.h"
#include "page_fixture.h"
#include "page_look.h"
#include "page_wire.h"
#include "pages/dialog_output.h"
#include "pages/eq_editor.h"
#include "pages/factories.h"
#include "pages/page_buttons.h"
#include "protocol/bytes.h"
#include "protocol/words.h"

namespace v36::test {
namespace {

class OutputPageTest : public PageTest {
  protected:
    CDialogOutput* open(int channel, int language = kEnglish) {
        return openPage<CDialogOutput>(PageKind::Output, channel, language);
    }
    // The set-parameter reports to block.index: their word counts and first words.
    std::vector<std::pair<int, std::uint32_t>> paramsTo(int block, int index) {
        settle();
        std::vector<std::pair<int, std::uint32_t>> out;
        for (const Report& r : paramReports(unit(), block, index))
            out.emplace_back(r[5], firstWord(r));
        return out;
    }
    std::array<int, 4> unitPointTypes(int point) {
        std::array<int, 4> types{};
        for (int j = 0; j < 4; ++j)
            types[static_cast<std::size_t>(j)] = unitRecord(8, 4 * point + j).type;
        return types;
    }
    // A click on band b's marker on the panel.
    void selectBand(CDialogOutput* page, int band) {
        CEqPanel* panel = page->eqEditor()->panel();
        const QPoint at = panel->markerPosition(band).toPoint();
        QTest::mousePress(panel, Qt::LeftButton, {}, at);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, at);
        settle();
    }
    void clickGridRow(CDialogOutput* page, int row) {
        CGridListCtrl* grid = page->eqEditor()->grid();
        const QRect cell = grid->visualItemRect(grid->item(row, CEqEditor::kNumberColumn));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    bool noticeShows(const QString& text) {
        CInfoDlg* info = app_->infoDialog();
        return info != nullptr && info->isVisible() && info->text() == text;
    }
};

TEST_F(OutputPageTest, LevelSlidersStoreAndSendTheirLevelTheSubwooferMusicTimesThree) {
    struct Case {
        int channel;
        int level;
        int position;
        int stored;
        int block;
        int index;
        float sent;
        const char* stepEn;  // the step's name names the channel
        const char* stepZh;
    };
    const Case cases[] = {
        {5, 0, 50, 50, 5, 28, 0.5f, "Main Direct Level", "前置直达音量"},
        {3, 2, 70, 70, 7, 14, 0.7f, "Center Echo Level", "中置回声音量"},
        // Sub music: three times the slider
        {2, 3, 50, 150, 8, 25, 1.5f, "Sub Music Level", "超低音乐音量"},
        {4, 1, 9, 9, 6, 15, 0.09f, "Rear Reverb Level", "后置混响音量"},
    };
    CDialogOutput* page = open(5);
    ASSERT_NE(page, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel);
        page->pageButtons()->button(CPageButtonRow::idFor(PageKind::Output, c.channel))->click();
        ASSERT_EQ(view().currentPage(), page);  // the same page, switched
        settle();
        unit().clearTraffic();
        CXBmpSlider* slider = page->levelSlider(c.level);
        slider->setPosition(c.position - 1);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Right);
        EXPECT_EQ(store().params.getInt(CDialogOutput::groupOf(c.channel).level(c.level)),
                  c.stored);
        EXPECT_EQ(page->levelLabel(c.level)->text(), QStringLiteral("%1%").arg(c.position));
        const auto sent = paramsTo(c.block, c.index);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].second, floatBits(c.sent));
        EXPECT_EQ(app_->edits().undoText().en, std::string(c.stepEn));
        EXPECT_EQ(app_->edits().undoText().zh, std::string(c.stepZh));
    }
    // A wheel turn anywhere on the page moves the focused level slider.
    page->levelSlider(0)->setFocus();
    const int before = page->levelSlider(0)->position();
    turnWheel(page->speakerPicture(), -120);
    EXPECT_EQ(page->levelSlider(0)->position(), before - 1);
    EXPECT_EQ(store().params.getInt(outRear.level(0)), before - 1);

    // A stored subwoofer music level of 100 shows 33.
    store().params.setInt(outSub.level(3), 100);
    page->setChannel(2);
    EXPECT_EQ(page->levelSlider(3)->position(), 33);
    EXPECT_EQ(page->levelLabel(3)->text(), QStringLiteral("33%"));
}

TEST_F(OutputPageTest, MuteSwitchesSendOneOrTwoWordsWhateverChannelIsShown) {
    CDialogOutput* page = open(3);
    ASSERT_NE(page, nullptr);
    page->muteSwitch(0)->click();  // Main Mute, on the Center page
    EXPECT_EQ(store().params.getInt(outMain.mute()), 1);
    EXPECT_EQ(paramsTo(5, 41), (std::vector<std::pair<int, std::uint32_t>>{{2, 0u}}));
    EXPECT_EQ(received()[0][10], 0x00);  // the second word: 0.0 as well
    unit().clearTraffic();
    page->muteSwitch(0)->click();
    EXPECT_EQ(paramsTo(5, 41), (std::vector<std::pair<int, std::uint32_t>>{{2, 0x3F800000u}}));
    EXPECT_EQ(getBE32(received()[0].data() + 10), 0x3F800000u);
    unit().clearTraffic();
    page->muteSwitch(1)->click();  // Center Mute: one word
    EXPECT_EQ(paramsTo(7, 22), (std::vector<std::pair<int, std::uint32_t>>{{1, 0u}}));
    unit().clearTraffic();
    page->muteSwitch(2)->click();  // Sub Mute: one word
    EXPECT_EQ(paramsTo(8, 32), (std::vector<std::pair<int, std::uint32_t>>{{1, 0u}}));
    page->muteSwitch(3)->click();  // Rear Mute: two words
    EXPECT_EQ(paramsTo(6, 27).back(), (std::pair<int, std::uint32_t>{2, 0u}));
    EXPECT_TRUE(page->muteSwitch(4)->isHidden());  // Top Mute
}

TEST_F(OutputPageTest, AMutedChannelsLevelShowsTheNoticeExceptOnTop) {
    CDialogOutput* page = open(5);
    ASSERT_NE(page, nullptr);
    page->muteSwitch(0)->click();
    page->levelSlider(0)->setFocus();
    QTest::keyClick(page->levelSlider(0), Qt::Key_Right);
    EXPECT_TRUE(noticeShows(QStringLiteral("vol is mute")));
    EXPECT_EQ(store().params.getInt(outMain.level(0)), page->levelSlider(0)->position());

    app_->infoDialog()->hide();
    store().params.setInt(outTop.mute(), 1);
    page->setChannel(11);
    page->levelSlider(1)->setFocus();
    QTest::keyClick(page->levelSlider(1), Qt::Key_Right);
    EXPECT_FALSE(noticeShows(QStringLiteral("vol is mute")));
    EXPECT_EQ(store().params.getInt(outTop.level(1)), page->levelSlider(1)->position());
}

TEST_F(OutputPageTest, ASubwooferPointMadeLowPassIsAButterworth24AndTheListShowsIt) {
    CDialogOutput* page = open(2);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->familyList()->isHidden());
    selectBand(page, 1);
    ASSERT_EQ(page->eqEditor()->selectedBand(), 1);
    page->eqEditor()->typeButton(kLowPass)->click();
    EXPECT_EQ(unitPointTypes(1), (std::array<int, 4>{18, 20, 1, 1}));
    const BandRecord own = unitRecord(8, 4);
    for (int j = 1; j < 4; ++j) {  // the hidden sections take the point's frequency and Q
        EXPECT_EQ(unitRecord(8, 4 + j).freq, own.freq);
        EXPECT_FLOAT_EQ(unitRecord(8, 4 + j).gain, 0.0f);
    }
    EXPECT_TRUE(page->familyList()->isVisible());
    EXPECT_TRUE(page->familyCaption()->isVisible());
    EXPECT_EQ(page->familyList()->currentText(), QStringLiteral("Butterworth 24dB"));

    // Another family: one step, four sections.
    const int steps = app_->edits().count();
    page->familyList()->setCurrentIndex(1);
    emit page->familyList()->activated(1);
    EXPECT_EQ(unitPointTypes(1), (std::array<int, 4>{12, 12, 1, 1}));
    EXPECT_EQ(page->familyList()->currentText(), QStringLiteral("LinkwitzRiely 24dB"));
    EXPECT_EQ(app_->edits().count(), steps + 1);

    // A peaking point has no family.
    page->eqEditor()->typeButton(kPeq)->click();
    EXPECT_TRUE(page->familyList()->isHidden());
    EXPECT_EQ(unitPointTypes(1), (std::array<int, 4>{1, 1, 1, 1}));
}

TEST_F(OutputPageTest, StoredSubwooferSectionsShowTheirTypeAndFamily) {
    CDialogOutput* page = open(2);
    ASSERT_NE(page, nullptr);
    struct Case {
        std::array<int, 4> types;
        const char* shown;
        int family;  // -1: no list
    };
    const Case cases[] = {
        {{8, 10, 1, 1}, "LP", 5},                               // Bessel 18dB
        {{9, 11, 1, 1}, "HP", 5}, {{14, 10, 14, 10}, "LP", 2},  // LinkwitzRiely 36dB
        {{7, 1, 1, 1}, "HP", 10},                               // Chebyshev 12dB
        {{5, 1, 1, 1}, "HS", -1}, {{8, 20, 1, 1}, "OFF", -1},   // no family has these
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        for (int j = 0; j < 4; ++j)
            storeRecord(8, 8 + j,
                        BandRecord{0.0f, 120, 0.7f, c.types[static_cast<std::size_t>(j)]});
        page->RefreshFromStore();
        EXPECT_EQ(page->eqEditor()->grid()->cellText(2, CEqEditor::kTypeColumn),
                  QString::fromUtf8(c.shown));
        clickGridRow(page, 2);
        EXPECT_EQ(page->familyList()->isVisible(), c.family >= 0);
        if (c.family >= 0) {
            EXPECT_EQ(page->familyList()->currentIndex(), c.family);
        }
    }
    // A family chosen for the clicked row goes to that point.
    for (int j = 0; j < 4; ++j)
        storeRecord(
            8, 8 + j,
            BandRecord{0.0f, 120, 0.7f, std::array{9, 11, 1, 1}[static_cast<std::size_t>(j)]});
    page->RefreshFromStore();
    clickGridRow(page, 2);
    unit().clearTraffic();
    page->familyList()->setCurrentIndex(6);
    emit page->familyList()->activated(6);  // Bessel 24dB, high-pass side
    EXPECT_EQ(unitPointTypes(2), (std::array<int, 4>{9, 9, 1, 1}));
    EXPECT_EQ(page->eqEditor()->grid()->cellText(2, CEqEditor::kTypeColumn), QStringLiteral("HP"));

    // The type typed into the grid: the list follows the point.
    emit page->eqEditor()->grid()->cellEdited(2, CEqEditor::kTypeColumn, QStringLiteral("PEQ"));
    EXPECT_EQ(unitPointTypes(2), (std::array<int, 4>{1, 1, 1, 1}));
    EXPECT_TRUE(page->familyList()->isHidden());
    emit page->eqEditor()->grid()->cellEdited(2, CEqEditor::kTypeColumn, QStringLiteral("LP"));
    EXPECT_TRUE(page->familyList()->isVisible());
    EXPECT_EQ(page->familyList()->currentText(), QStringLiteral("Butterworth 24dB"));
}

TEST_F(OutputPageTest, ResetWrapsMainInAMusicMuteButNeverCenter) {
    CDialogOutput* page = open(3);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(store().params.getInt(w::musicMute), 0);
    page->ResetEq();
    EXPECT_TRUE(paramsTo(4, 16).empty());
    EXPECT_EQ(unitRecord(7, 9).freq, 16000);

    page->setChannel(5);
    settle();
    unit().clearTraffic();
    page->ResetEq();
    const auto sent = received();
    ASSERT_EQ(sent.size(), 1u + 2u * 24u + 10u);
    // The mute first, the 24 bands, then the fade-in ending at 1.0.
    EXPECT_EQ(sent.front()[3], 4);
    EXPECT_EQ(sent.front()[4], 16);
    EXPECT_EQ(getBE32(sent.front().data() + 6), 0u);
    EXPECT_EQ(sent.back()[4], 16);
    EXPECT_EQ(getBE32(sent.back().data() + 6), 0x3F800000u);
    EXPECT_EQ(store().params.getInt(w::musicMute), 0);
    EXPECT_EQ(unitRecord(5, 23).freq, 20000);
}

TEST_F(OutputPageTest, BypassTogglesTheShownChannelsWord) {
    CDialogOutput* page = open(4);
    ASSERT_NE(page, nullptr);
    page->ToggleEqBypass();
    EXPECT_TRUE(page->IsEqBypassed());
    EXPECT_EQ(store().params.getInt(outRear.eqBypass()), 1);
    const auto sent = paramsTo(6, 18);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].second, 1u);
    EXPECT_TRUE(page->eqEditor()->panel()->isBypassed());
    page->setChannel(3);
    EXPECT_FALSE(page->IsEqBypassed());
}

// Selecting main band 13 and switching to the subwoofer leaves nothing
// selected: a wheel turn then edits no hidden section.
TEST_F(OutputPageTest, SwitchingChannelsOnALivePageReloadsEverything) {
    CDialogOutput* page = open(5);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->speakerPicture()->picture(), picture::kSpeakerMainEn);
    selectBand(page, 13);
    ASSERT_EQ(page->eqEditor()->selectedBand(), 13);
    page->pageButtons()->button(1071)->click();  // Sub
    settle();
    ASSERT_EQ(view().currentPage(), page);
    EXPECT_EQ(page->channel(), 2);
    EXPECT_EQ(app_->currentOutputChannel(), 2);
    EXPECT_EQ(page->speakerPicture()->picture(), picture::kSpeakerSubEn);
    EXPECT_EQ(page->eqEditor()->eq(), kEqSub);
    EXPECT_EQ(page->eqEditor()->grid()->rowCount(), 5);
    EXPECT_EQ(page->eqEditor()->selectedBand(), -1);
    EXPECT_TRUE(page->pageButtons()->button(1071)->isAlternate());
    EXPECT_FALSE(page->pageButtons()->button(1069)->isAlternate());

    unit().clearTraffic();
    CEqPanel* panel = page->eqEditor()->panel();
    panel->setFocus();
    turnWheel(panel, 120);
    settle();
    for (const Report& r : unit().received())
        EXPECT_NE(r[1], 0x85) << "a section was written";
}

// Main and Sub (its family list shown) at the main window's smallest size and
// maximised, in both languages: nothing cut or covered.
TEST_F(OutputPageTest, ThePageLaysOutCleanlyInBothLanguagesAtBothSizes) {
    for (const int language : {kChinese, kEnglish}) {
        CDialogOutput* page = open(5, language);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->muteSwitch(0)->text(),
                  language == kEnglish ? QStringLiteral("Main Mute") : QStringLiteral("前置静音"));
        EXPECT_EQ(page->levelCaption(3)->text(),
                  language == kEnglish ? QStringLiteral("Music") : QStringLiteral("音乐音量"));
        for (const int channel : {5, 2}) {
            page->setChannel(channel);
            if (channel == 2) {
                selectBand(page, 4);  // a low-pass point: the family list shows
                EXPECT_TRUE(page->familyList()->isVisible());
            }
            for (const QSize window : {QSize(1068, 700), QSize(1920, 1080)}) {
                app_->mainFrame()->resize(window);
                settleLayouts();
                const QString state = QStringLiteral("output_page_%1_ch%2_%3")
                                          .arg(language == kEnglish ? "en" : "zh")
                                          .arg(channel)
                                          .arg(window.width());
                saveWindow(*app_->mainFrame(), state);
                if (window.width() < 1920) savePageAt2x(*page, state + QStringLiteral("_x2"));
                expectLaidOutCleanly(page, state);
            }
        }
        stop();
    }
}

}  // namespace
}  // namespace v36::test
