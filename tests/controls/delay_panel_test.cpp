#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "control_test_support.h"
#include "controls/delay_panel.h"

namespace v36 {
namespace {

// 626 px wide: (626 - 96) / 106 = 5 px per millisecond, 0 ms at x = 78.
struct DelayFixture : ::testing::Test {
    DelayFixture() {
        panel.resize(626, 285);
        for (int lane = 0; lane < CDelayPanel::kLanes; ++lane)
            panel.setValue(lane, 10.0f * static_cast<float>(lane));
        panel.show();
    }
    QPoint handleCentre(int lane) const {
        const int laneH = (panel.height() - 25) / CDelayPanel::kLanes;
        return QPoint(panel.lane(lane).handleX + 12, panel.lane(lane).top + laneH / 2);
    }
    CDelayPanel panel;
    QSignalSpy drags{&panel, &CDelayPanel::delayDrag};
};

TEST_F(DelayFixture, ValuesMapOntoTheScaleAndAreClampedToTheLaneLimits) {
    EXPECT_EQ(panel.valueToX(0.0f), 78);
    EXPECT_EQ(panel.valueToX(100.0f), 578);
    EXPECT_EQ(panel.lane(3).handleX, 78 + 150);
    panel.setValue(0, 0.0f);
    EXPECT_FLOAT_EQ(panel.value(0), 1.5f);
    panel.setValue(0, 250.0f);
    EXPECT_FLOAT_EQ(panel.value(0), 100.0f);
    EXPECT_EQ(panel.lane(0).handleX, 578);
    // Lane tops: trunc((285 - 25) / 8 * i + 5 + 0.5) = trunc(32.5 i + 5.5).
    EXPECT_EQ(panel.lane(0).top, 5);
    EXPECT_EQ(panel.lane(1).top, 38);
    EXPECT_EQ(panel.lane(7).top, 233);
}

TEST_F(DelayFixture, DraggingAHandleReportsTheLaneAndStopsAt100ms) {
    const QPoint start = handleCentre(2);  // 20 ms
    QTest::mousePress(&panel, Qt::LeftButton, {}, start + QPoint(10, -10));
    EXPECT_EQ(panel.draggedLane(), 2);
    test::sendMove(&panel, QPoint(78 + 5 * 42 + 12, start.y()), Qt::LeftButton);
    ASSERT_EQ(drags.count(), 1);
    EXPECT_EQ(drags[0][0].toInt(), 2);
    EXPECT_FLOAT_EQ(drags[0][1].toFloat(), 42.0f);
    EXPECT_FLOAT_EQ(panel.value(2), 42.0f);

    test::sendMove(&panel, QPoint(900, start.y() + 60), Qt::LeftButton);
    EXPECT_FLOAT_EQ(drags.last()[1].toFloat(), 100.0f);
    EXPECT_EQ(panel.lane(2).handleX, panel.valueToX(100.0f));
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("delay_dragging_x2"));

    test::sendMove(&panel, QPoint(0, start.y()), Qt::LeftButton);
    EXPECT_FLOAT_EQ(drags.last()[1].toFloat(), 1.5f);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(0, start.y()));
    EXPECT_EQ(panel.draggedLane(), -1);
    // Other lanes never moved.
    EXPECT_FLOAT_EQ(panel.value(3), 30.0f);
}

TEST_F(DelayFixture, PressingAwayFromEveryHandleDragsNothing) {
    const QPoint far = handleCentre(4) + QPoint(16, 0);
    QTest::mousePress(&panel, Qt::LeftButton, {}, far);
    test::sendMove(&panel, far + QPoint(50, 0), Qt::LeftButton);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, far + QPoint(50, 0));
    EXPECT_TRUE(drags.isEmpty());
    EXPECT_FLOAT_EQ(panel.value(4), 40.0f);
}

// Every value stays readable: inside the control, clear of the lane lines
// and of every handle, in lanes tall enough for the text below the handle
// (the smallest size the control asks for) and in lower ones (29 px).
TEST(DelayPanel, EveryValueIsReadableAtTheSmallestSizeAndInLowLanes) {
    CDelayPanel panel;
    const QSize smallest = panel.minimumSizeHint();
    for (const QSize size : {smallest, QSize(smallest.width(), 8 * 29 + 25), QSize(1400, 900)}) {
        panel.resize(size);
        for (const float ms : {1.5f, 50.0f, 99.5f, 100.0f}) {
            for (int lane = 0; lane < CDelayPanel::kLanes; ++lane)
                panel.setValue(lane, ms);
            for (int lane = 0; lane < CDelayPanel::kLanes; ++lane) {
                const QRect text = panel.valueTextRect(lane);
                SCOPED_TRACE(::testing::Message() << size.width() << "x" << size.height() << " "
                                                  << ms << " ms, lane " << lane);
                EXPECT_TRUE(panel.rect().contains(text));
                for (int line = 0; line <= CDelayPanel::kLanes; ++line) {
                    const int y = panel.laneTop(line);
                    EXPECT_FALSE(y >= text.top() && y <= text.bottom()) << "line " << line;
                }
                for (int other = 0; other < CDelayPanel::kLanes; ++other)
                    EXPECT_FALSE(text.intersects(panel.handleRect(other))) << "handle " << other;
            }
        }
        test::saveArtefact(
            test::renderControl(panel),
            QStringLiteral("delay_values_%1x%2").arg(size.width()).arg(size.height()));
    }
    panel.resize(smallest);
    EXPECT_TRUE(panel.valueBelowHandle());
}

}  // namespace
}  // namespace v36
