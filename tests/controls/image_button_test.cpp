#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

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
    const Case cases[] = {{picture::kSliderTrack, {131, 22}},
                          {picture::kSliderThumb, {19, 9}},
                          {picture::kDelayHandle, {25, 22}},
                          {picture::kNavButton, {161, 39}},
                          {picture::kNavButtonSelected, {161, 39}}};
    for (const Case& c : cases) {
        CGdiPlusBitmapResource holder;
        EXPECT_TRUE(holder.load(c.id)) << c.id;
        EXPECT_EQ(holder.size(), c.size) << c.id;
        const QImage sharp = holder.toImage(3.0);
        EXPECT_EQ(sharp.size(), c.size * 3) << c.id;
    }
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
