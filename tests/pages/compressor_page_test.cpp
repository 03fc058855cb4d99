// The compressor page on the virtual unit: what the sliders and switches
// store and send, what a reload shows, and how the page looks.
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <vector>

#include "app/edit_path.h"
#include "app/language.h"
#include "controls/bmp_slider.h"
#include "controls/compress_panel.h"
#include "page_fixture.h"
#include "page_look.h"
#include "page_wire.h"
#include "pages/compressor_page.h"
#include "pages/factories.h"
#include "pages/page_buttons.h"
#include "protocol/bytes.h"
#include "protocol/report.h"
#include "protocol/words.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

constexpr int kMain = 0;
constexpr int kSub = 3;

class CompressorPageTest : public PageTest {
  protected:
    CCompDlg& open(int language = kEnglish) {
        CCompDlg* page = openPage<CCompDlg>(PageKind::Compressor, 0, language);
        EXPECT_NE(page, nullptr);
        return *page;
    }
    // The slider reports a new position as a drag or a key would.
    void slide(CCompDlg& page, int group, CCompDlg::Param param, int position) {
        CXBmpSlider* s = page.slider(group, param);
        s->setPosition(position);
        emit s->sliderChanged(s->controlId(), s->position());
        settle();
    }
    std::vector<Report> sets() { return receivedWith(unit(), cmd::kSetParam); }
    static std::uint32_t word(const Report& r, int i) { return getBE32(r.data() + 6 + 4 * i); }
};

TEST_F(CompressorPageTest, ASliderStoresTheGroupsFourValuesAndSendsItsSevenWordsOnce) {
    CCompDlg& page = open();
    const OutputGroup& g = outMain;
    slide(page, kMain, CCompDlg::Threshold, -20);
    slide(page, kMain, CCompDlg::Release, 100);
    // An attack the unit reported in fractions goes as whole milliseconds.
    store().params.setFloat(g.compAttack(), 10.7f);
    page.RefreshFromStore();
    EXPECT_EQ(page.box(kMain, CCompDlg::Attack)->text(), QStringLiteral("11ms"));

    unit().clearTraffic();
    slide(page, kMain, CCompDlg::Ratio, 40);
    const std::vector<Report> sent = sets();
    ASSERT_EQ(sent.size(), 1u);
    const Report& r = sent[0];
    EXPECT_EQ(std::vector<std::uint8_t>(r.begin(), r.begin() + 6),
              (std::vector<std::uint8_t>{0x02, 0x09, 0x00, 0x05, 0x21, 0x07}));
    const std::uint32_t expected[7] = {0xC1A00000, 0x00000000, 0x3F400000, 0x41A00000,
                                       0x3D4CCCCD, 0x3B086400, 0x395A7000};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(word(r, i), expected[i]) << i;
    for (std::size_t i = 6 + 28; i < r.size(); ++i)
        EXPECT_EQ(r[i], 0) << i;
    EXPECT_EQ(store().params.getFloat(g.compRatio()), 4.0f);
    EXPECT_EQ(store().params.getFloat(g.compAttack()), 10.0f);
    EXPECT_EQ(page.box(kMain, CCompDlg::Ratio)->text(), QStringLiteral("4.0:1"));
    EXPECT_EQ(page.box(kMain, CCompDlg::Attack)->text(), QStringLiteral("10ms"));
    EXPECT_NEAR(page.curve(kMain)->geometry().compressed.dy(),
                -(6.0 + 20.0) * (page.curve(kMain)->height() - 45) / 96.0 * 0.25, 1e-9);

    // Ratio 1:1 sends word 2 = 0.0 and draws one straight line to (+6, +6).
    unit().clearTraffic();
    slide(page, kMain, CCompDlg::Ratio, 10);
    const std::vector<Report> oneToOne = sets();
    ASSERT_EQ(oneToOne.size(), 1u);
    EXPECT_EQ(word(oneToOne[0], 2), 0u);
    const auto curve = page.curve(kMain)->geometry();
    EXPECT_DOUBLE_EQ(curve.compressed.p2().y(), page.curve(kMain)->yOf(6.0));
}

TEST_F(CompressorPageTest, ASwitchSendsItsBypassWordAndADragIsOneStep) {
    CCompDlg& page = open();
    page.switchOf(kSub)->setChecked(true);
    store().params.setInt(outSub.compBypass(), 0);
    page.RefreshFromStore();
    ASSERT_TRUE(page.curve(kSub)->isOn());

    unit().clearTraffic();
    page.switchOf(kSub)->click();  // "Sub Comp ON" unchecked
    settle();
    EXPECT_EQ(store().params.getInt(outSub.compBypass()), 1);
    const std::vector<Report> sent = sets();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(
        std::vector<std::uint8_t>(sent[0].begin(), sent[0].begin() + 10),
        (std::vector<std::uint8_t>{0x02, 0x09, 0x00, 0x08, 0x1C, 0x01, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_FALSE(page.curve(kSub)->isOn());

    // A drag of the threshold: many positions, one step; its undo puts the
    // value back and sends the group again.
    const float before = store().params.getFloat(outSub.compThreshold());
    const int steps = app_->edits().count();
    for (int p = -10; p >= -30; p -= 5)
        slide(page, kSub, CCompDlg::Threshold, p);
    EXPECT_EQ(app_->edits().count(), steps + 1);
    EXPECT_EQ(store().params.getFloat(outSub.compThreshold()), -30.0f);
    EXPECT_EQ(page.curve(kSub)->threshold(), -30.0f);
    unit().clearTraffic();
    app_->edits().undo();
    settle();
    EXPECT_EQ(store().params.getFloat(outSub.compThreshold()), before);
    const std::vector<Report> group = sets();
    ASSERT_EQ(group.size(), 1u);
    EXPECT_EQ(group[0][3], 8);
    EXPECT_EQ(group[0][4], outSub.unitCompressor());
    EXPECT_EQ(page.slider(kSub, CCompDlg::Threshold)->position(),
              CCompDlg::positionOf(CCompDlg::Threshold, before));
    // A step against the end of the slider changes nothing and records nothing.
    slide(page, kSub, CCompDlg::Release, 1000);
    const int atEnd = app_->edits().count();
    slide(page, kSub, CCompDlg::Release, 1000);
    EXPECT_EQ(app_->edits().count(), atEnd);

    // Over the page, the wheel steps the focused slider.
    page.slider(kSub, CCompDlg::Release)->setFocus();
    PageTest::turnWheel(&page, -120);
    settle();
    EXPECT_EQ(page.slider(kSub, CCompDlg::Release)->position(), 999);
    EXPECT_EQ(store().params.getFloat(outSub.compRelease()), 999.0f);
    // Over another slider as well, as on the delay and output pages: the
    // slider under the pointer stays.
    const int attack = page.slider(kSub, CCompDlg::Attack)->position();
    PageTest::turnWheel(page.slider(kSub, CCompDlg::Attack), -120);
    settle();
    EXPECT_EQ(page.slider(kSub, CCompDlg::Release)->position(), 998);
    EXPECT_EQ(page.slider(kSub, CCompDlg::Attack)->position(), attack);
}

TEST_F(CompressorPageTest, AReloadPutsOutOfRangeValuesAtTheSlidersEndsAndShowsThemAsStored) {
    CCompDlg& page = open();
    const OutputGroup& g = outCenter;
    const int center = 2;
    struct Case {
        CCompDlg::Param param;
        int word;
        float stored;
        int position;
        const char* shown;
    };
    const Case cases[] = {
        {CCompDlg::Threshold, g.compThreshold(), -75.0f, -60, "-75dB"},
        {CCompDlg::Threshold, g.compThreshold(), -12.7f, -12, "-13dB"},
        {CCompDlg::Ratio, g.compRatio(), 2.5f, 25, "2.5:1"},
        {CCompDlg::Ratio, g.compRatio(), 40.0f, 300, "40.0:1"},
        {CCompDlg::Ratio, g.compRatio(), 0.0f, 10, "0.0:1"},
        {CCompDlg::Attack, g.compAttack(), 250.0f, 100, "250ms"},
        {CCompDlg::Release, g.compRelease(), 0.0f, 1, "0ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        store().params.setFloat(c.word, c.stored);
        unit().clearTraffic();
        page.RefreshFromStore();
        settle();
        EXPECT_TRUE(unit().received().empty());  // a reload sends nothing
        EXPECT_EQ(page.slider(center, c.param)->position(), c.position);
        EXPECT_EQ(page.box(center, c.param)->text(), QLatin1String(c.shown));
    }
    EXPECT_EQ(app_->edits().count(), 0);
}

TEST_F(CompressorPageTest, BothLanguagesFitTheSmallestAndTheMaximisedWindow) {
    for (const int language : {kChinese, kEnglish}) {
        CCompDlg& page = open(language);
        EXPECT_EQ(page.switchOf(kMain)->text(), language == kEnglish
                                                    ? QStringLiteral("Main Comp ON")
                                                    : QString::fromUtf8("前置压限启用"));
        EXPECT_EQ(
            findControl(&page, 1006)->property("text").toString(),
            language == kEnglish ? QStringLiteral("Attack time") : QString::fromUtf8("启动时间"));
        EXPECT_FALSE(page.switchOf(4)->isVisibleTo(&page));  // the top group
        EXPECT_FALSE(page.curve(4)->isVisibleTo(&page));
        EXPECT_EQ(page.pageButtons()->currentId(), 1075);
        for (const QSize size : {QSize(1068, 700), QSize(1920, 1080)}) {
            app_->mainFrame()->resize(size);
            QCoreApplication::processEvents();
            SCOPED_TRACE(::testing::Message() << language << " " << size.width());
            expectLaidOutCleanly(&page, QStringLiteral("%1 %2").arg(language).arg(size.width()));
            for (int group = 0; group < CCompDlg::kShownGroups; ++group) {
                // Both ends of both axes stay labelled on every curve.
                int ends = 0;
                for (const auto& label : page.curve(group)->gridLabels())
                    ends += label.text == QStringLiteral("-90dB") ||
                            label.text == QStringLiteral("+6dB") ||
                            label.text == QStringLiteral("6dB");
                EXPECT_EQ(ends, 4) << group;
            }
            QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
            page.grab().save(QStringLiteral(V36_ARTEFACT_DIR "/compressor_page_%1_%2.png")
                                 .arg(language == kEnglish ? "en" : "zh")
                                 .arg(size.width()));
            if (size.width() == 1068) {
                savePageAt2x(page, QStringLiteral("compressor_page_%1_x2")
                                       .arg(language == kEnglish ? "en" : "zh"));
            }
        }
        stop();
    }
}

}  // namespace
}  // namespace v36::test
