#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "control_test_support.h"
#include "controls/image_button.h"
#include "controls/pictures.h"

namespace v36 {
namespace {

TEST(Pictures, KnownNumbersLoadAtTheirSizeAndUnknownOnesLeaveTheHolderEmpty) {
    struct Case {
        int id;
        QSize size;
    };
    const Case cases[] = {
        {picture::kSliderTrack, {131, 22}},       {picture::kSliderThumb, {19, 9}},
        {picture::kDelayHandle, {25, 22}},        {picture::kNavButton, {161, 39}},
        {picture::kNavButtonSelected, {161, 39}}, {picture::kActionButton, {100, 30}}};
    for (const Case& c : cases) {
        CGdiPlusBitmapResource holder;
        EXPECT_TRUE(holder.load(c.id)) << c.id;
        EXPECT_EQ(holder.size(), c.size) << c.id;
        const QImage sharp = holder.toImage(3.0);
        EXPECT_EQ(sharp.size(), c.size * 3) << c.id;
    }
    // The speaker pictures of the output page, one per channel and language.
    QImage sheet(QSize(5 * 220, 2 * 150) * 2, QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(2.0);
    sheet.fill(QColor::fromRgb(0xF0FAFF));
    QPainter painter(&sheet);
    const int speakers[2][5] = {
        {picture::kSpeakerMainZh, picture::kSpeakerCenterZh, picture::kSpeakerSubZh,
         picture::kSpeakerRearZh, picture::kSpeakerTopZh},
        {picture::kSpeakerMainEn, picture::kSpeakerCenterEn, picture::kSpeakerSubEn,
         picture::kSpeakerRearEn, picture::kSpeakerTopEn}};
    for (int language = 0; language < 2; ++language) {
        for (int k = 0; k < 5; ++k) {
            const CGdiPlusBitmapResource speaker(speakers[language][k]);
            EXPECT_EQ(speaker.size(), QSize(220, 150)) << speakers[language][k];
            speaker.draw(painter, QPointF(220 * k, 150 * language));
        }
    }
    painter.end();
    test::saveArtefact(sheet, QStringLiteral("speaker_pictures_x2"));

    CGdiPlusBitmapResource holder(picture::kSpeaker);
    EXPECT_FALSE(holder.load(4242));
    EXPECT_TRUE(holder.isNull());
    EXPECT_TRUE(holder.toImage(1.0).isNull());
}

struct ButtonFixture : ::testing::Test {
    ButtonFixture() {
        button.loadStandard(picture::kNavButton);
        button.loadAlternate(picture::kNavButtonSelected);
        button.setCaption(QStringLiteral("前置音箱"));
        button.resize(button.sizeHint());
        button.show();
    }
    QColor centreOf(const QImage& image) const { return image.pixelColor(12, 30); }
    CGdipButton button;
};

TEST_F(ButtonFixture, EachStateHasItsOwnRendering) {
    const QImage normal = test::renderControl(button);
    EXPECT_EQ(button.state(), CGdipButton::State::Normal);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.state(), CGdipButton::State::Hover);
    const QImage hover = test::renderControl(button);
    EXPECT_GT(centreOf(hover).lightness(), centreOf(normal).lightness());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.state(), CGdipButton::State::Normal);

    button.setDown(true);
    EXPECT_EQ(button.state(), CGdipButton::State::Pressed);
    const QImage pressed = test::renderControl(button);
    EXPECT_EQ(pressed.pixelColor(0, 10), QColor(Qt::magenta));  // drawn 1 px right and down
    button.setDown(false);

    button.setEnabled(false);
    const QImage disabled = test::renderControl(button);
    const QColor grey = centreOf(disabled);
    EXPECT_LT(std::abs(grey.red() - grey.blue()), 3);
    button.setEnabled(true);

    button.setAlternate(true);
    const QImage alternate = test::renderControl(button, 2.0);
    EXPECT_GT(alternate.pixelColor(24, 60).red(), alternate.pixelColor(24, 60).blue() + 80);
    test::saveArtefact(alternate, QStringLiteral("button_alternate_x2"));
    test::saveArtefact(normal, QStringLiteral("button_normal"));
}

// WCAG contrast ratio of two colours.
double contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            v /= 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The caption's strongest pixels against the picture beneath them, as the
// button draws itself now (`captioned` takes the rendering).
double captionContrast(CGdipButton& button, QImage& captioned) {
    const QString caption = button.caption();
    captioned = test::renderControl(button, 2.0);
    button.setCaption(QString());
    const QImage bare = test::renderControl(button, 2.0);
    button.setCaption(caption);
    double best = 0.0;
    for (int y = 0; y < bare.height(); ++y)
        for (int x = 0; x < bare.width(); ++x)
            if (captioned.pixel(x, y) != bare.pixel(x, y))
                best = std::max(best, contrast(captioned.pixelColor(x, y), bare.pixelColor(x, y)));
    return best;
}

TEST_F(ButtonFixture, ADisabledButtonKeepsItsCaptionLegibleOnTheGreyPicture) {
    for (const bool alternate : {false, true}) {
        button.setAlternate(alternate);
        button.setEnabled(false);
        QImage captioned;
        const double best = captionContrast(button, captioned);
        button.setEnabled(true);
        EXPECT_GE(best, 4.5) << "alternate " << alternate;
        if (alternate) test::saveArtefact(captioned, QStringLiteral("button_disabled_x2"));
    }
}

TEST_F(ButtonFixture, AHoveredButtonKeepsItsCaptionLegible) {
    // The selected look ("Mic CH B") brightened under the pointer was white
    // on light orange.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    ASSERT_EQ(button.state(), CGdipButton::State::Hover);
    for (const bool alternate : {false, true}) {
        button.setAlternate(alternate);
        QImage captioned;
        EXPECT_GE(captionContrast(button, captioned), 4.5) << "alternate " << alternate;
        test::saveArtefact(captioned, alternate ? QStringLiteral("button_hover_selected_x2")
                                                : QStringLiteral("button_hover_x2"));
    }
}

TEST_F(ButtonFixture, APictureFillsAButtonLaidOutNarrowerThanIt) {
    button.resize(120, 39);
    const QImage image = test::renderControl(button);
    // The rounded border's right edge sits at the button's own right edge.
    EXPECT_NE(image.pixelColor(118, 20), QColor(Qt::magenta));
    EXPECT_EQ(button.sizeHint(), QSize(161, 39));
}

TEST_F(ButtonFixture, AMissingPictureLeavesOnlyTheCaptionAndClicksStillWork) {
    EXPECT_FALSE(button.loadStandard(9999));
    button.setAlternate(false);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    const QImage image = test::renderControl(button);
    test::saveArtefact(image, QStringLiteral("button_missing_picture"));
    EXPECT_EQ(image.pixelColor(3, 3), QColor(Qt::magenta));  // nothing but the caption is drawn
    int captionPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != QColor(Qt::magenta)) ++captionPixels;
    EXPECT_GT(captionPixels, 40);
}

}  // namespace
}  // namespace v36
