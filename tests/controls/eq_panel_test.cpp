#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

#include "control_test_support.h"
#include "controls/eq_panel.h"

namespace v36 {
namespace {

// A panel with a 1018 x 300 plot (10 px per dB) showing one EQ.
class EqPanelTest : public ::testing::Test {
  protected:
    void show(int eq, int bands) {
        panel.resize(1060, 338);
        panel.setEqNumber(eq);
        panel.setBandCount(bands);
        panel.show();
    }
    // The pointer on band n's marker, as its hit box sees it.
    QPoint on(int n) const {
        const QPointF m = panel.markerPosition(n);
        return QPoint(static_cast<int>(std::lround(m.x())),
                      static_cast<int>(std::lround(m.y())) - 2);
    }
    // Where the pointer goes for a gain: a marker grabbed at the centre of its
    // hit box keeps the hit box's 2 px offset.
    QPoint atGain(double x, double gain) const {
        return QPoint(static_cast<int>(x), static_cast<int>(std::lround(panel.yOfGain(gain))) - 2);
    }
    void leftDrag(int n, QPoint to) {
        QTest::mousePress(&panel, Qt::LeftButton, {}, on(n));
        test::sendMove(&panel, to, Qt::LeftButton);
        QTest::mouseRelease(&panel, Qt::LeftButton, {}, to);
    }
    void rightDrag(int n, QPoint by) {
        const QPoint from = on(n);
        QTest::mousePress(&panel, Qt::RightButton, {}, from);
        test::sendMove(&panel, from + by, Qt::RightButton);
        QTest::mouseRelease(&panel, Qt::RightButton, {}, from + by);
    }
    int lastBand() const { return changed.isEmpty() ? -1 : changed.last()[0].toInt(); }

    CEqPanel panel;
    QSignalSpy changed{&panel, &CEqPanel::bandChanged};
    QSignalSpy cleared{&panel, &CEqPanel::selectionCleared};
};

TEST_F(EqPanelTest, LeftDragMovesFrequencyAndGainAndReportsEveryStep) {
    show(kEqRear, 10);
    const int x = static_cast<int>(panel.xOfFrequency(2200.0));
    leftDrag(4, atGain(x, 6.0));
    const EqBand& b = panel.band(4);
    EXPECT_NEAR(b.freq, panel.frequencyAtX(x), 1e-2);
    EXPECT_FLOAT_EQ(b.gain, 6.0f);
    EXPECT_EQ(panel.selectedBand(), 4);
    // Hit, the move and the release each report the band.
    ASSERT_EQ(changed.count(), 3);
    EXPECT_EQ(lastBand(), 4);
    EXPECT_TRUE(cleared.isEmpty());
    // The curve follows: the total passes through the marker.
    const int pin = panel.model().axis().pinIndex(b.freq);
    EXPECT_FLOAT_EQ(panel.model().totalCurve()[static_cast<std::size_t>(pin)], 6.0f);

    // Gains are rounded to 0.1 dB and held within +-15 dB; frequencies within 20 Hz ... 20 kHz.
    leftDrag(4, QPoint(2000, -300));
    EXPECT_FLOAT_EQ(panel.band(4).gain, 15.0f);
    EXPECT_FLOAT_EQ(panel.band(4).freq, 20000.0f);
    leftDrag(4, atGain(5, -3.04));
    EXPECT_FLOAT_EQ(panel.band(4).gain, -3.0f);
    EXPECT_FLOAT_EQ(panel.band(4).freq, 20.0f);
}

TEST_F(EqPanelTest, AClickBetweenMarkersClearsTheSelectionAndKeysThenDoNothing) {
    show(kEqRear, 10);
    leftDrag(2, on(2));
    ASSERT_EQ(panel.selectedBand(), 2);
    changed.clear();
    const QPoint gap((on(2).x() + on(3).x()) / 2, on(2).y() + 60);
    QTest::mouseClick(&panel, Qt::LeftButton, {}, gap);
    EXPECT_EQ(panel.selectedBand(), -1);
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_TRUE(changed.isEmpty());
    const float freq = panel.band(2).freq;
    QTest::keyClick(&panel, Qt::Key_Right);
    QTest::keyClick(&panel, Qt::Key_Up);
    test::sendWheel(&panel, gap, 120);
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_FLOAT_EQ(panel.band(2).freq, freq);
    EXPECT_FLOAT_EQ(panel.band(2).gain, 0.0f);
}

TEST_F(EqPanelTest, TheStatusLineKeepsClearOfTheTitleAtTheSmallestSize) {
    struct Case {
        int width;
        int language;
    };
    const Case cases[] = {{1060, 1}, {560, 1}, {480, 1}, {480, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        show(kEqMicA, 15);
        panel.resize(c.width, 338);
        panel.setLanguage(c.language);
        // The widest line: 20000 Hz, Q 15.55, -12.5 dB on a two-digit band.
        panel.setFrequency(14, 20000.0f);
        panel.setQ(14, 15.55f);
        panel.setGain(14, -12.5f);
        const QRectF status = panel.statusLineRect(14);
        const QRectF title = panel.titleRect();
        EXPECT_FALSE(status.isEmpty());
        EXPECT_LT(status.right(), title.left()) << status.right() << " " << title.left();
    }
    QTest::mouseClick(&panel, Qt::LeftButton, {}, on(14));
    test::saveArtefact(test::renderControl(panel), QStringLiteral("eq_panel_status_narrow"));
}

TEST_F(EqPanelTest, LockedBandsOfTheMusicEqKeepTheirFrequencyAndQ) {
    show(kEqMusic, 15);
    panel.setFrequency(4, 400.0f);  // the placeholder shares 630 Hz with band 7
    panel.setFrequency(7, 630.0f);
    panel.setFrequency(10, 2500.0f);
    for (const int n : {7, 10}) {
        const float freq = panel.band(n).freq;
        const float q = panel.band(n).q;
        leftDrag(n, atGain(on(n).x() + 150, 4.5));
        EXPECT_FLOAT_EQ(panel.band(n).freq, freq) << n;
        EXPECT_FLOAT_EQ(panel.band(n).gain, 4.5f) << n;
        rightDrag(n, QPoint(40, 0));
        EXPECT_FLOAT_EQ(panel.band(n).q, q) << n;
        QTest::mouseClick(&panel, Qt::RightButton, {}, on(n));  // no type menu
        EXPECT_EQ(panel.typeMenu(), nullptr) << n;
        QTest::keyClick(&panel, Qt::Key_Right);
        QTest::keyClick(&panel, Qt::Key_Plus, Qt::KeypadModifier);
        EXPECT_FLOAT_EQ(panel.band(n).freq, freq) << n;
        EXPECT_FLOAT_EQ(panel.band(n).q, q) << n;
    }
    // The same bands of the center EQ move like any other.
    show(kEqCenter, 10);
    const float freq = panel.band(7).freq;
    leftDrag(7, atGain(on(7).x() + 100, 0.0));
    EXPECT_GT(panel.band(7).freq, freq);
}

TEST_F(EqPanelTest, PassBandsKeepZeroGainWhateverTheDrag) {
    show(kEqRear, 10);
    panel.setType(3, kLowPass);
    leftDrag(3, atGain(on(3).x() + 30, 9.0));
    EXPECT_FLOAT_EQ(panel.band(3).gain, 0.0f);
    EXPECT_GT(panel.band(3).freq, 250.0f);
    QTest::keyClick(&panel, Qt::Key_Up);
    test::sendWheel(&panel, on(3), 120);
    EXPECT_FLOAT_EQ(panel.band(3).gain, 0.0f);
}

TEST_F(EqPanelTest, RightDragChangesQByTheTypesRate) {
    struct Case {
        int type;
        int dx;
        float expected;
    };
    // PEQ starts at Q 1.41; a type change gives LP/HP/LS/HS Q 0.7 and PEQ 1.414.
    const Case cases[] = {{kPeq, 12, 2.414f}, {kHighShelf, 12, 0.85f}, {kLowPass, -80, 0.1f},
                          {kPeq, -240, 0.1f}, {kLowShelf, 200, 2.0f},  {kPeq, 12 * 40, 30.0f}};
    show(kEqRear, 10);
    for (const Case& c : cases) {
        panel.setType(5, c.type);
        rightDrag(5, QPoint(c.dx, 0));
        EXPECT_NEAR(panel.band(5).q, c.expected, 1e-4) << "type " << c.type << " dx " << c.dx;
        EXPECT_EQ(panel.typeMenu(), nullptr);  // a drag opens no menu
        EXPECT_EQ(lastBand(), 5);
    }
}

TEST_F(EqPanelTest, ARightClickWithoutMovementOpensTheTypeMenu) {
    show(kEqRear, 10);
    panel.setLanguage(1);
    QTest::mouseClick(&panel, Qt::RightButton, {}, on(2));
    QMenu* menu = panel.typeMenu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[1]->text(), "LP");
    EXPECT_EQ(actions[1]->data().toInt(), 2026);
    changed.clear();
    actions[1]->trigger();
    menu->close();
    EXPECT_EQ(panel.band(2).type, kLowPass);
    EXPECT_FLOAT_EQ(panel.band(2).q, 0.7f);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(lastBand(), 2);

    // A purely horizontal Q drag from the marker's own line opens no menu either.
    const QPoint centre = panel.markerPosition(2).toPoint();
    QTest::mousePress(&panel, Qt::RightButton, {}, centre);
    test::sendMove(&panel, centre + QPoint(24, 0), Qt::RightButton);
    QTest::mouseRelease(&panel, Qt::RightButton, {}, centre + QPoint(24, 0));
    EXPECT_EQ(panel.typeMenu(), nullptr);

    panel.setLanguage(0);
    QTest::mouseClick(&panel, Qt::RightButton, {}, on(2));
    ASSERT_NE(panel.typeMenu(), nullptr);
    EXPECT_EQ(panel.typeMenu()->actions()[0]->text(), QString::fromUtf8("参量(PEQ)"));
    panel.typeMenu()->close();
}

TEST_F(EqPanelTest, KeysAndWheelMakeFineSteps) {
    show(kEqRear, 10);
    leftDrag(6, on(6));
    const float freq = panel.band(6).freq;
    const float q = panel.band(6).q;
    changed.clear();
    QTest::keyClick(&panel, Qt::Key_Right);
    QTest::keyClick(&panel, Qt::Key_Right);
    QTest::keyClick(&panel, Qt::Key_Left);
    EXPECT_FLOAT_EQ(panel.band(6).freq, freq + 1.0f);
    QTest::keyClick(&panel, Qt::Key_Up);
    QTest::keyClick(&panel, Qt::Key_Up);
    QTest::keyClick(&panel, Qt::Key_Down);
    EXPECT_NEAR(panel.band(6).gain, 0.1f, 1e-5);
    QTest::keyClick(&panel, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_NEAR(panel.band(6).q, q + 0.01f, 1e-5);
    QTest::keyClick(&panel, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(&panel, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_NEAR(panel.band(6).q, q - 0.01f, 1e-5);
    test::sendWheel(&panel, on(6), -240);
    EXPECT_NEAR(panel.band(6).gain, -0.1f, 1e-5);
    EXPECT_EQ(changed.count(), 10);
    QTest::keyClick(&panel, Qt::Key_A);  // consumed, but no change
    EXPECT_EQ(changed.count(), 10);
}

TEST_F(EqPanelTest, HiddenSubwooferSectionsAreNeverHitButCountInTheTotal) {
    show(kEqSub, 20);
    EXPECT_EQ(panel.model().visibleBandCount(), 5);
    panel.setType(4, kLowPass);  // point 4: a 24 dB/octave low-pass in four sections
    EXPECT_EQ(panel.band(subHiddenBand(4, 0)).type, kBw4bLp);
    // Move a hidden record away from its point: still not hit or hovered.
    EqBand& hidden = panel.band(subHiddenBand(1, 1));
    hidden.freq = 5000.0f;
    const QPoint there(static_cast<int>(panel.xOfFrequency(5000.0)),
                       static_cast<int>(panel.yOfGain(0.0)) - 2);
    EXPECT_EQ(panel.hitTest(there, 16, true), -1);
    test::sendMove(&panel, there, Qt::NoButton);
    EXPECT_EQ(panel.hoverBand(), -1);
    test::sendMove(&panel, on(1) + QPoint(12, 12), Qt::NoButton);  // hover reaches 16 px
    EXPECT_EQ(panel.hoverBand(), 1);
    QTest::mouseClick(&panel, Qt::LeftButton, {}, there);
    EXPECT_EQ(cleared.count(), 1);

    const Curve& total = panel.model().totalCurve();
    float sum = 0.0f;
    for (const int n : {4, subHiddenBand(4, 0), subHiddenBand(4, 1), subHiddenBand(4, 2)})
        sum += panel.band(n).curve[500];
    EXPECT_LT(total[500], -40.0f);
    EXPECT_NEAR(total[500], sum, 1e-3);

    leftDrag(4, on(4));
    EXPECT_EQ(panel.selectedBand(), 4);
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("eq_sub_lowpass_x2"));
}

TEST_F(EqPanelTest, OnlyPassBandsCloseTheirAreaBelowThePlot) {
    struct Case {
        int type;
        float gain;
        double probeHz;  // far from the marker, 10.5 dB below the 0 dB line
        bool filled;
    };
    const Case cases[] = {{kLowShelf, 6.0f, 8000.0, false},
                          {kHighShelf, 6.0f, 60.0, false},
                          {kLowPass, 0.0f, 60.0, true},
                          {kHighPass, 0.0f, 8000.0, true}};
    show(kEqRear, 10);
    for (const Case& c : cases) {
        panel.setType(5, c.type);
        panel.setFrequency(5, 700.0f);
        panel.setGain(5, c.gain);
        panel.clearSelection();
        const QPoint probe(static_cast<int>(panel.xOfFrequency(c.probeHz)),
                           static_cast<int>(panel.yOfGain(-10.5)));
        const QColor plain = test::renderControl(panel).pixelColor(probe);
        leftDrag(5, on(5));
        ASSERT_EQ(panel.selectedBand(), 5);
        const QColor shown = test::renderControl(panel).pixelColor(probe);
        EXPECT_EQ(shown != plain, c.filled) << "type " << c.type;
    }
}

TEST_F(EqPanelTest, ValueLabelsStandApartOnABackdropClearOfTheMarker) {
    show(kEqRear, 10);
    panel.setType(4, kLowShelf);
    panel.setGain(4, 3.0f);   // labels below the marker
    panel.setGain(6, -4.0f);  // above it
    panel.setFrequency(0, 20.0f);
    panel.setFrequency(9, 20000.0f);
    panel.setGain(9, 15.0f);
    for (const int n : {0, 4, 6, 9}) {
        const CEqPanel::ValueLabelLayout layout = panel.valueLabelLayout(n);
        const QPointF m = panel.markerPosition(n);
        const QRectF ring(m.x() - 10.0, m.y() - 10.0, 20.0, 20.0);
        EXPECT_FALSE(layout.backdrop.intersects(ring)) << n;
        EXPECT_TRUE(QRectF(panel.rect()).contains(layout.backdrop)) << n;
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_GE(layout.lines[i].height(), 13.0) << n;
            EXPECT_TRUE(layout.backdrop.contains(layout.lines[i])) << n;
            if (i > 0) {
                EXPECT_GE(layout.lines[i].top(), layout.lines[i - 1].bottom()) << n;
            }
        }
    }
    // The selected shelf's dashed red line runs through its labels: the
    // backdrop darkens it there.
    leftDrag(4, on(4));
    const QImage image = test::renderControl(panel);
    const CEqPanel::ValueLabelLayout layout = panel.valueLabelLayout(4);
    const int x = static_cast<int>(panel.markerPosition(4).x());
    bool redAbove = false;
    for (int y = 0; y < static_cast<int>(layout.backdrop.top()) - 12; ++y) {
        const QColor c = image.pixelColor(x, y);
        redAbove = redAbove || (c.red() > 200 && c.green() < 60);
    }
    EXPECT_TRUE(redAbove);  // the line is there outside the labels
    for (int y = static_cast<int>(layout.backdrop.top()) + 1;
         y < static_cast<int>(layout.backdrop.bottom()) - 1; ++y) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c = image.pixelColor(x + dx, y);
            EXPECT_FALSE(c.red() > 200 && c.green() < 60) << "y " << y;
        }
    }
}

TEST_F(EqPanelTest, GainLabelsKeepAMarginFromTheLeftEdge) {
    show(kEqRear, 10);
    for (int g = -15; g <= 15; g += 3) {
        const QRectF r = panel.gainLabelRect(g);
        EXPECT_GE(r.left(), 2.0) << g;
        EXPECT_LE(r.right(), panel.plotRect().left() - 3.0 + 1e-9) << g;
    }
    const QImage image = test::renderControl(panel);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < 2; ++x)
            ASSERT_EQ(image.pixelColor(x, y), QColor(20, 20, 20)) << x << "," << y;
    }
}

TEST_F(EqPanelTest, TheWholeMarkerRingHits) {
    show(kEqRear, 10);
    const QPointF c = panel.markerPosition(5);
    for (const double r : {9.0, 10.0}) {
        for (int deg = 0; deg < 360; deg += 15) {
            const double a = deg * 3.14159265358979 / 180.0;
            const QPoint at(static_cast<int>(std::lround(c.x() + r * std::cos(a))),
                            static_cast<int>(std::lround(c.y() + r * std::sin(a))));
            QTest::mouseClick(&panel, Qt::LeftButton, {}, at);
            EXPECT_EQ(panel.selectedBand(), 5) << "r " << r << " at " << deg << " deg";
        }
    }
    // Well beside the ring nothing is hit.
    QTest::mouseClick(&panel, Qt::LeftButton, {}, c.toPoint() + QPoint(0, 14));
    EXPECT_EQ(panel.selectedBand(), -1);
}

TEST_F(EqPanelTest, AHiddenRecordIsNeverSelectedAfterAnEqSwitch) {
    show(kEqMain, 24);
    leftDrag(12, on(12));
    ASSERT_EQ(panel.selectedBand(), 12);
    // The subwoofer's working copy has 20 records but shows 5 points.
    panel.setEqNumber(kEqSub);
    panel.setBandCount(20);
    EXPECT_EQ(panel.selectedBand(), -1);
    changed.clear();
    test::sendWheel(&panel, on(0), 120);
    QTest::keyClick(&panel, Qt::Key_Right);
    QTest::keyClick(&panel, Qt::Key_Up);
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_FLOAT_EQ(panel.band(12).gain, 0.0f);
}

TEST_F(EqPanelTest, RendersCurveMarkersLabelsAndOverlay) {
    show(kEqMain, 24);
    panel.setLanguage(1);
    panel.setGain(3, 9.0f);
    panel.setGain(8, -6.0f);
    panel.setType(12, kHighShelf);
    panel.setGain(12, 4.0f);
    leftDrag(8, on(8));
    const QImage image = test::renderControl(panel, 2.0);
    test::saveArtefact(image, QStringLiteral("eq_main_selected_x2"));
    EXPECT_EQ(image.size(), QSize(2120, 676));
    // The curve passes through band 4's marker at +9 dB in the curve colour.
    const QPointF m = panel.markerPosition(3);
    bool curveSeen = false;
    for (int dx = 10; dx <= 14; ++dx) {
        for (int dy = -8; dy <= 8; ++dy) {
            const QColor c = image.pixelColor(static_cast<int>(m.x() * 2) + dx,
                                              static_cast<int>(m.y() * 2) + dy);
            curveSeen = curveSeen || (c.blue() > 200 && c.green() > 150 && c.red() < 80);
        }
    }
    EXPECT_TRUE(curveSeen);
    EXPECT_EQ(image.pixelColor(4, 4), QColor(20, 20, 20));

    panel.setBypass(true);
    panel.setLanguage(0);
    test::saveArtefact(test::renderControl(panel), QStringLiteral("eq_main_bypass"));
    panel.setEqNumber(kEqEchoA);
    EXPECT_EQ(panel.curveColor(), QColor(0, 0xDC, 0));
}

}  // namespace
}  // namespace v36
