#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "control_test_support.h"
#include "controls/bmp_slider.h"

namespace v36 {
namespace {

// A compressor-page slider: 131 x 22, thumb 19 x 9, margins 7/7, thumb y 3;
// with the range 0..100 the thumb's x is 0.98 * position + 7.
struct SliderFixture : ::testing::Test {
    SliderFixture() {
        slider.setControlId(1041);
        slider.setRange(0, 100);
        slider.setBackgroundColor(QColor(240, 250, 255));
        slider.show();
    }
    CXBmpSlider slider;
    QSignalSpy changed{&slider, &CXBmpSlider::sliderChanged};
    QSignalSpy released{&slider, &CXBmpSlider::sliderReleased};
    QSignalSpy focus{&slider, &CXBmpSlider::sliderFocus};
};

TEST_F(SliderFixture, ClickBesideTheThumbStepsOneTowardsThePointer) {
    struct Case {
        int start;
        int x;
        int expected;
    };
    // Thumb x at 50 is 56 (centre 65); at 100 it is 105, at 0 it is 7.
    const Case cases[] = {{50, 20, 49}, {50, 65, 49}, {50, 120, 51}, {100, 128, 100}, {0, 2, 0}};
    for (const Case& c : cases) {
        slider.setPosition(c.start);
        changed.clear();
        released.clear();
        QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(c.x, 18));
        EXPECT_EQ(slider.position(), c.expected) << "start " << c.start << " x " << c.x;
        ASSERT_EQ(changed.count(), 1);
        EXPECT_EQ(changed[0][0].toInt(), 1041);
        EXPECT_EQ(changed[0][1].toInt(), c.expected);
        EXPECT_TRUE(released.isEmpty());
        QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(c.x, 18));
        ASSERT_EQ(released.count(), 1);
        EXPECT_EQ(released[0][1].toInt(), c.expected);
    }
}

TEST_F(SliderFixture, DraggingTheThumbFollowsThePointerWithinTheRange) {
    slider.setPosition(50);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(65, 7));
    EXPECT_TRUE(slider.isDragging());
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][1].toInt(), 50);  // grabbing posts the unchanged position

    test::sendMove(&slider, QPoint(90, 7), Qt::LeftButton);  // thumb x 81: (81 - 7) / 0.98
    EXPECT_EQ(slider.position(), 75);
    test::sendMove(&slider, QPoint(500, 7), Qt::LeftButton);
    EXPECT_EQ(slider.position(), 100);
    test::sendMove(&slider, QPoint(-40, 7), Qt::LeftButton);
    EXPECT_EQ(slider.position(), 0);
    EXPECT_EQ(changed.count(), 4);
    EXPECT_TRUE(released.isEmpty());

    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(-40, 7));
    EXPECT_FALSE(slider.isDragging());
    ASSERT_EQ(released.count(), 1);
    EXPECT_EQ(released[0][1].toInt(), 0);
}

TEST_F(SliderFixture, ArrowKeysAndWheelStepAndPostChangedThenReleased) {
    slider.setPosition(10);
    QTest::keyClick(&slider, Qt::Key_Up);
    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_EQ(slider.position(), 12);
    QTest::keyClick(&slider, Qt::Key_Left);
    QTest::keyClick(&slider, Qt::Key_Down);
    QTest::keyClick(&slider, Qt::Key_Down);
    EXPECT_EQ(slider.position(), 9);
    EXPECT_EQ(changed.count(), 5);
    EXPECT_EQ(released.count(), 5);
    QTest::keyClick(&slider, Qt::Key_A);  // not a slider key
    EXPECT_EQ(changed.count(), 5);

    test::sendWheel(&slider, QPoint(60, 10), 120);
    EXPECT_EQ(slider.position(), 10);
    test::sendWheel(&slider, QPoint(60, 10), -120);
    test::sendWheel(&slider, QPoint(60, 10), -120);
    EXPECT_EQ(slider.position(), 8);
    test::sendWheel(&slider, QPoint(60, 10), 0);  // still posts
    EXPECT_EQ(slider.position(), 8);
    EXPECT_EQ(changed.count(), 9);
    ASSERT_EQ(released.count(), 9);
    EXPECT_EQ(released.last()[1].toInt(), 8);

    slider.setPosition(100);
    QTest::keyClick(&slider, Qt::Key_Up);
    EXPECT_EQ(slider.position(), 100);
}

TEST_F(SliderFixture, DisabledSliderNeitherMovesNorPosts) {
    slider.setPosition(40);
    slider.setEnabled(false);
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(120, 18));
    QTest::keyClick(&slider, Qt::Key_Up);
    test::sendWheel(&slider, QPoint(60, 10), 120);
    EXPECT_EQ(slider.position(), 40);
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_TRUE(released.isEmpty());
}

TEST_F(SliderFixture, PositionsOutsideTheRangeAreStoredAsTheNearerEnd) {
    slider.setPosition(250);
    EXPECT_EQ(slider.position(), 100);
    slider.setPosition(-3);
    EXPECT_EQ(slider.position(), 0);
    slider.setPosition(60);
    slider.setRange(0, 50);
    EXPECT_EQ(slider.position(), 50);
    slider.setRange(20, 20);  // an empty range keeps the thumb at the start
    EXPECT_EQ(slider.position(), 20);
    EXPECT_EQ(slider.thumbRect().x(), 7);
}

TEST_F(SliderFixture, FocusIsReportedAndSelectsTheFocusedThumb) {
    QWidget window;
    CXBmpSlider a(&window);
    CXBmpSlider b(&window);
    a.setControlId(1);
    b.setControlId(2);
    b.move(0, 40);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy focusB(&b, &CXBmpSlider::sliderFocus);
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(2, 18));
    ASSERT_EQ(focusB.count(), 1);
    EXPECT_EQ(focusB[0][0].toInt(), 2);
}

TEST(BmpSliderVertical, MaximumIsAtTheTopAndClicksBelowTheThumbStepDown) {
    CXBmpSlider slider(nullptr, CXBmpSlider::Orientation::Vertical);
    slider.setRange(0, 100);
    slider.show();
    // 160 px track, thumb 9 px high, top margin 2, bottom margin 2: 1.47 px per unit.
    slider.setPosition(100);
    EXPECT_EQ(slider.thumbRect().y(), 2);
    slider.setPosition(0);
    EXPECT_EQ(slider.thumbRect().y(), 149);
    slider.setPosition(50);
    const int centre = slider.thumbRect().center().y();
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(10, centre + 30));
    EXPECT_EQ(slider.position(), 49);
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(10, centre - 30));
    EXPECT_EQ(slider.position(), 50);
}

TEST(BmpSliderPicture, RendersTrackFillAndThumbAtAnyScale) {
    CXBmpSlider slider;
    slider.setRange(0, 100);
    slider.setPosition(60);
    slider.setBackgroundColor(QColor(240, 250, 255));
    EXPECT_EQ(slider.size(), QSize(131, 22));
    const QImage one = test::renderControl(slider, 1.0);
    const QImage two = test::renderControl(slider, 2.0);
    test::saveArtefact(one, QStringLiteral("slider_x1"));
    test::saveArtefact(two, QStringLiteral("slider_x2"));
    EXPECT_EQ(two.size(), QSize(262, 44));
    // The background is the slider's colour, and left of the thumb the groove is filled.
    EXPECT_EQ(one.pixelColor(0, 21), QColor(240, 250, 255));
    const QColor filled = one.pixelColor(30, 7);
    const QColor empty = one.pixelColor(110, 7);
    EXPECT_GT(filled.blue(), filled.red() + 60);
    EXPECT_LT(std::abs(empty.blue() - empty.red()), 30);
    slider.setEnabled(false);
    test::saveArtefact(test::renderControl(slider, 2.0), QStringLiteral("slider_disabled_x2"));
}

}  // namespace
}  // namespace v36
