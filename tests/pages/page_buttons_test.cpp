// The row of page buttons the output, delay, sound-field and compressor
// pages share.
#include <QDir>
#include <QTest>

#include "app/language.h"
#include "controls/image_button.h"
#include "pages/factories.h"
#include "pages/page_buttons.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

TEST_F(ShellTest, EachPageButtonAsksTheShellForItsPage) {
    start({}, kEnglish, pageFactories());
    ASSERT_TRUE(waitIdleConnected());
    CPageButtonRow row(*app_, nullptr);
    row.show();
    struct Case {
        int id;
        PageKind kind;
        int channel;
    };
    const Case cases[] = {{1069, PageKind::Output, 5},     {1071, PageKind::Output, 2},
                          {1070, PageKind::Output, 3},     {1072, PageKind::Output, 4},
                          {1073, PageKind::SoundField, 0}, {1074, PageKind::Delay, 0},
                          {1075, PageKind::Compressor, 0}, {1076, PageKind::Output, 11}};
    for (const Case& c : cases) {
        row.button(c.id)->click();
        QCoreApplication::processEvents();
        ASSERT_NE(view().currentPage(), nullptr) << c.id;
        EXPECT_EQ(view().currentPage()->kind(), c.kind) << c.id;
        if (c.kind == PageKind::Output) {
            EXPECT_EQ(view().currentPage()->channel(), c.channel) << c.id;
            EXPECT_EQ(app_->currentOutputChannel(), c.channel) << c.id;
        }
        EXPECT_EQ(CPageButtonRow::idFor(c.kind, c.channel), c.id);
    }
    EXPECT_EQ(row.button(1068), nullptr);
    EXPECT_EQ(row.button(1077), nullptr);
}

TEST_F(ShellTest, TheRowHighlightsTheCurrentPageKeepsTopHiddenAndFitsTheSmallestPage) {
    for (const int language : {kChinese, kEnglish}) {
        start({}, language, pageFactories());
        QWidget page;
        page.setProperty(kTemplateIdProperty, 333);
        page.resize(CKorvelv13View::kMinPageWidth, 60);
        auto* row = new CPageButtonRow(*app_, &page);
        row->setGeometry(8, 8, page.width() - 16, 39);
        page.show();
        app_->ApplyDialogTexts(&page, 333);
        row->setCurrent(PageKind::Delay);
        EXPECT_EQ(row->currentId(), 1074);
        for (int id = 1069; id <= 1076; ++id)
            EXPECT_EQ(row->button(id)->isAlternate(), id == 1074) << id;
        EXPECT_TRUE(row->button(1076)->isHidden());
        EXPECT_EQ(row->button(1069)->caption(),
                  language == kEnglish ? QStringLiteral("Main") : QStringLiteral("前置音箱"));
        row->setCurrent(PageKind::Output, 2);
        EXPECT_TRUE(row->button(1071)->isAlternate());
        EXPECT_FALSE(row->button(1074)->isAlternate());

        // Seven buttons side by side inside the row, each caption inside its button.
        int right = -1;
        for (int id = 1069; id <= 1075; ++id) {
            CGdipButton* b = row->button(id);
            EXPECT_GT(b->x(), right) << id;
            right = b->geometry().right();
            EXPECT_LE(b->fontMetrics().horizontalAdvance(b->caption()) + 8, b->width()) << id;
        }
        EXPECT_LE(right, row->width());
        const QImage image = page.grab().toImage();
        QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
        image.save(QStringLiteral(V36_ARTEFACT_DIR "/page_buttons_%1.png")
                       .arg(language == kEnglish ? QStringLiteral("en") : QStringLiteral("zh")));
        stop();
    }
}

}  // namespace
}  // namespace v36::test
