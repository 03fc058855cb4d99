#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "control_test_support.h"
#include "controls/ss_volume_panel.h"

namespace v36 {
namespace {

// 460 x 360 with a 4 x 5 m room: 100 px per metre across, 60 px along.
struct RoomFixture : ::testing::Test {
    RoomFixture() {
        panel.resize(460, 360);
        panel.setRoomSize(4.0f, 5.0f);
        panel.show();
    }
    CSSVolumePanel panel;
    QSignalSpy picked{&panel, &CSSVolumePanel::itemPicked};
    QSignalSpy moved{&panel, &CSSVolumePanel::itemMoved};
};

TEST_F(RoomFixture, MetresMapToPixelsAroundTheCentre) {
    EXPECT_EQ(panel.toPixel(0.0f, 0.0f), QPoint(230, 180));
    EXPECT_EQ(panel.toPixel(-2.0f, 2.5f), QPoint(30, 30));
    EXPECT_EQ(panel.toPixel(2.0f, -2.5f), QPoint(430, 330));
    EXPECT_EQ(QPoint(panel.item(1).pixelX, panel.item(1).pixelY), QPoint(130, 120));
    EXPECT_FLOAT_EQ(panel.xFromPixel(330), 1.0f);
    EXPECT_FLOAT_EQ(panel.yFromPixel(120), 1.0f);
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("room_4x5_x2"));
}

TEST_F(RoomFixture, DraggingBeyondTheBorderStopsAtTheRoomEdge) {
    const CSSItem& sub = panel.item(5);  // (0, -1)
    const QPoint start(sub.pixelX, sub.pixelY);
    QTest::mousePress(&panel, Qt::LeftButton, {}, start + QPoint(5, 5));
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked[0][0].value<CSSItem>().number, 5);

    test::sendMove(&panel, QPoint(330, 300), Qt::LeftButton);
    EXPECT_FLOAT_EQ(panel.item(5).x, 1.0f);
    EXPECT_FLOAT_EQ(panel.item(5).y, -2.0f);
    test::sendMove(&panel, QPoint(2000, -500), Qt::LeftButton);
    EXPECT_FLOAT_EQ(panel.item(5).x, 2.0f);
    EXPECT_FLOAT_EQ(panel.item(5).y, 2.5f);
    EXPECT_EQ(QPoint(panel.item(5).pixelX, panel.item(5).pixelY), QPoint(430, 30));
    test::sendMove(&panel, QPoint(-80, 900), Qt::LeftButton);
    EXPECT_FLOAT_EQ(panel.item(5).x, -2.0f);
    EXPECT_FLOAT_EQ(panel.item(5).y, -2.5f);
    ASSERT_EQ(moved.count(), 3);
    EXPECT_FLOAT_EQ(moved.last()[0].value<CSSItem>().x, -2.0f);

    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(-80, 900));
    EXPECT_FALSE(panel.isDragging());
    test::sendMove(&panel, QPoint(200, 200), Qt::NoButton);
    EXPECT_EQ(moved.count(), 3);
}

TEST_F(RoomFixture, APickBetweenTwoItemsTakesTheLowerNumberAndHiddenItemsAreNeverPicked) {
    panel.setItemPosition(0.0f, 0.0f, 4);
    panel.setItemPosition(0.1f, 0.0f, 2);  // both within 16 px of the centre
    QTest::mousePress(&panel, Qt::LeftButton, {}, QPoint(235, 180));
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked[0][0].value<CSSItem>().number, 0);  // the listener sits there too
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(235, 180));

    panel.setItemPosition(1.5f, 1.5f, 4);
    panel.setItemPosition(1.55f, 1.5f, 2);
    panel.setItemPosition(1.5f, 1.5f, 8);  // hidden
    const QPoint at = panel.toPixel(1.52f, 1.5f);
    QTest::mousePress(&panel, Qt::LeftButton, {}, at);
    ASSERT_EQ(picked.count(), 2);
    EXPECT_EQ(picked[1][0].value<CSSItem>().number, 2);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, at);

    QTest::mousePress(&panel, Qt::LeftButton, {}, QPoint(420, 50));  // empty floor
    EXPECT_EQ(picked.count(), 2);
    EXPECT_FALSE(panel.isDragging());
}

TEST(RoomPanel, ResizingAndRoomChangesRelayoutEveryItem) {
    CSSVolumePanel panel;
    panel.resize(260, 260);
    panel.show();
    panel.setItemPosition(0.5f, 0.0f, 8);  // hidden items keep their pixels up to date too
    panel.setRoomSize(10.0f, 10.0f);
    EXPECT_EQ(panel.item(3).pixelX, 30 + 20 * 6);
    EXPECT_EQ(panel.item(8).pixelX, 30 + 20 * 5 + 10);
    panel.resize(460, 460);
    EXPECT_EQ(panel.item(3).pixelX, 30 + 40 * 6);
    panel.setRoomSize(0.0f, 4.0f);  // not a room: ignored
    EXPECT_FLOAT_EQ(panel.roomWidth(), 10.0f);
}

}  // namespace
}  // namespace v36
