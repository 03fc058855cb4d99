#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "control_test_support.h"
#include "controls/ss_volume_panel.h"

namespace v36 {
namespace {

// A 4 x 5 m room of 400 x 300 px inside its margins: 100 px per metre
// across, 60 px along. The pixels below are those of 30 px margins, shifted
// by what the labels add to them (`o`).
struct RoomFixture : ::testing::Test {
    RoomFixture() {
        panel.setRoomSize(4.0f, 5.0f);
        panel.resize(400 + 2 * panel.marginX(), 300 + 2 * panel.marginY());
        o = QPoint(panel.marginX() - 30, panel.marginY() - 30);
        panel.show();
    }
    CSSVolumePanel panel;
    QPoint o;
    QSignalSpy picked{&panel, &CSSVolumePanel::itemPicked};
    QSignalSpy moved{&panel, &CSSVolumePanel::itemMoved};
};

TEST_F(RoomFixture, MetresMapToPixelsAroundTheCentre) {
    EXPECT_EQ(panel.toPixel(0.0f, 0.0f), o + QPoint(230, 180));
    EXPECT_EQ(panel.toPixel(-2.0f, 2.5f), o + QPoint(30, 30));
    EXPECT_EQ(panel.toPixel(2.0f, -2.5f), o + QPoint(430, 330));
    EXPECT_EQ(QPoint(panel.item(1).pixelX, panel.item(1).pixelY), o + QPoint(130, 120));
    EXPECT_FLOAT_EQ(panel.xFromPixel(o.x() + 330), 1.0f);
    EXPECT_FLOAT_EQ(panel.yFromPixel(o.y() + 120), 1.0f);
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("room_4x5_x2"));
}

TEST_F(RoomFixture, ItemsOutsideASmallerRoomStayInViewAtTheWallWithTheirNames) {
    panel.setItemPosition(3.5f, 0.0f, 0);    // the listener, beyond the right wall
    panel.setItemPosition(-1.0f, -4.0f, 5);  // the sub, beyond the floor
    panel.setItemPosition(1.0f, 1.0f, 2);    // inside
    const QRect inner(panel.marginX(), panel.marginY(), 400, 300);
    struct Case {
        int item;
        bool outside;
        QPoint drawnAt;  // where its picture goes
    };
    const Case cases[] = {
        {0, true, panel.toPixel(2.0f, 0.0f)},
        {5, true, panel.toPixel(-1.0f, -2.5f)},
        {2, false, panel.toPixel(1.0f, 1.0f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const CSSItem& it = panel.item(c.item);
        EXPECT_EQ(panel.outsideRoom(c.item), c.outside);
        EXPECT_EQ(QPoint(it.pixelX, it.pixelY), c.drawnAt);
        // The position itself is kept, only the drawing is held at the wall.
        EXPECT_TRUE(inner.adjusted(-1, -1, 1, 1).contains(QPoint(it.pixelX, it.pixelY)));
        // A name is drawn beside its picture, never on its own.
        if (c.item != 0) {
            const QRect name = panel.nameRect(c.item);
            EXPECT_LE(std::abs(name.center().y() - it.pixelY), 40) << name.y();
        }
    }
    EXPECT_FLOAT_EQ(panel.item(0).x, 3.5f);
    test::saveArtefact(test::renderControl(panel, 1.0), QStringLiteral("room_items_outside"));
}

TEST_F(RoomFixture, DraggingBeyondTheBorderStopsAtTheRoomEdge) {
    const CSSItem& sub = panel.item(5);  // (0, -1)
    const QPoint start(sub.pixelX, sub.pixelY);
    QTest::mousePress(&panel, Qt::LeftButton, {}, start + QPoint(5, 5));
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked[0][0].value<CSSItem>().number, 5);

    test::sendMove(&panel, o + QPoint(330, 300), Qt::LeftButton);
    EXPECT_FLOAT_EQ(panel.item(5).x, 1.0f);
    EXPECT_FLOAT_EQ(panel.item(5).y, -2.0f);
    test::sendMove(&panel, QPoint(2000, -500), Qt::LeftButton);
    EXPECT_FLOAT_EQ(panel.item(5).x, 2.0f);
    EXPECT_FLOAT_EQ(panel.item(5).y, 2.5f);
    EXPECT_EQ(QPoint(panel.item(5).pixelX, panel.item(5).pixelY), o + QPoint(430, 30));
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
    QTest::mousePress(&panel, Qt::LeftButton, {}, o + QPoint(235, 180));
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked[0][0].value<CSSItem>().number, 0);  // the listener sits there too
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, o + QPoint(235, 180));

    panel.setItemPosition(1.5f, 1.5f, 4);
    panel.setItemPosition(1.55f, 1.5f, 2);
    panel.setItemPosition(1.5f, 1.5f, 8);  // hidden
    const QPoint at = panel.toPixel(1.52f, 1.5f);
    QTest::mousePress(&panel, Qt::LeftButton, {}, at);
    ASSERT_EQ(picked.count(), 2);
    EXPECT_EQ(picked[1][0].value<CSSItem>().number, 2);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, at);

    QTest::mousePress(&panel, Qt::LeftButton, {}, o + QPoint(420, 50));  // empty floor
    EXPECT_EQ(picked.count(), 2);
    EXPECT_FALSE(panel.isDragging());
}

TEST(RoomPanel, ResizingAndRoomChangesRelayoutEveryItem) {
    // The side margin the labels of a 10 m room need.
    CSSVolumePanel probe;
    probe.setRoomSize(10.0f, 10.0f);
    const int mx = probe.marginX();

    CSSVolumePanel panel;
    panel.resize(200 + 2 * mx, 260);
    panel.show();
    panel.setItemPosition(0.5f, 0.0f, 8);  // hidden items keep their pixels up to date too
    panel.setRoomSize(10.0f, 10.0f);
    EXPECT_EQ(panel.item(3).pixelX, mx + 20 * 6);
    EXPECT_EQ(panel.item(8).pixelX, mx + 20 * 5 + 10);
    panel.resize(400 + 2 * mx, 460);
    EXPECT_EQ(panel.item(3).pixelX, mx + 40 * 6);
    panel.setRoomSize(0.0f, 4.0f);  // not a room: ignored
    EXPECT_FLOAT_EQ(panel.roomWidth(), 10.0f);
}

// Every room the page allows, at the sizes the page gives the control (from
// its smallest to maximised) and a small one, with the speakers pushed against
// the walls: every label keeps clear of the others, of the room and of the
// speakers' names, and the walls are always labelled.
TEST(RoomPanel, LabelsAndNamesStayReadableInEveryRoom) {
    CSSVolumePanel panel;
    for (const QSize size : {QSize(300, 260), QSize(420, 420), QSize(640, 400), QSize(1500, 800)}) {
        panel.resize(size);
        for (int w = 1; w <= 10; ++w) {
            for (int l = 1; l <= 10; ++l) {
                SCOPED_TRACE(::testing::Message()
                             << size.width() << "x" << size.height() << " room " << w << "x" << l);
                panel.setRoomSize(static_cast<float>(w), static_cast<float>(l));
                const float hw = static_cast<float>(w) / 2.0f;
                const float hl = static_cast<float>(l) / 2.0f;
                for (int k = 0; k < 3; ++k) {
                    const float x = -hw + hw * static_cast<float>(k);
                    panel.setItemPosition(x, hl, 1 + k);   // Main L, Center, Main R
                    panel.setItemPosition(x, -hl, 4 + k);  // Rear L, Sub, Rear R
                }
                const QRect inner = panel.innerRect();
                const auto labels = panel.gridLabels();
                QStringList texts;
                for (std::size_t i = 0; i < labels.size(); ++i) {
                    const QRect& a = labels[i].box;
                    texts << labels[i].text;
                    EXPECT_TRUE(panel.rect().contains(a)) << test::str(labels[i].text);
                    EXPECT_FALSE(a.intersects(inner.adjusted(1, 1, -1, -1)))
                        << test::str(labels[i].text);
                    for (std::size_t j = i + 1; j < labels.size(); ++j)
                        EXPECT_FALSE(a.intersects(labels[j].box))
                            << test::str(labels[i].text) << " / " << test::str(labels[j].text);
                    for (int item = 1; item < CSSVolumePanel::kVisibleItems; ++item)
                        EXPECT_FALSE(a.intersects(panel.nameRect(item)))
                            << test::str(labels[i].text) << " / speaker " << item;
                }
                const auto wall = [](int metres) {
                    return QString::number(metres / 2.0, 'f', metres % 2 == 0 ? 0 : 1) +
                           QLatin1Char('m');
                };
                for (const QString& edge : {QLatin1Char('+') + wall(w), QLatin1Char('-') + wall(w),
                                            QLatin1Char('+') + wall(l), QLatin1Char('-') + wall(l)})
                    EXPECT_TRUE(texts.contains(edge)) << test::str(edge);
                for (int item = 1; item < CSSVolumePanel::kVisibleItems; ++item)
                    EXPECT_TRUE(panel.rect().contains(panel.nameRect(item))) << item;
            }
        }
    }
    // An odd room at the page's smallest size, the rear speakers on the floor.
    panel.resize(640, 400);
    panel.setRoomSize(9.0f, 9.0f);
    for (int k = 0; k < 3; ++k) {
        panel.setItemPosition(-3.0f + 3.0f * static_cast<float>(k), 3.0f, 1 + k);
        panel.setItemPosition(-3.0f + 3.0f * static_cast<float>(k), -4.5f, 4 + k);
    }
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("room_9x9_walls_x2"));
}

}  // namespace
}  // namespace v36
