#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "control_test_support.h"
#include "controls/small_eq_panel.h"
#include "dsp/direct_response.h"

namespace v36 {
namespace {

// 228 x 124: a 224 x 120 inner area, 4 px per point and 4 px per dB.
struct SmallEqFixture : ::testing::Test {
    SmallEqFixture() {
        panel.resize(228, 124);
        panel.show();
    }
    float peak() const {
        const auto l = panel.levels();
        return *std::max_element(l.begin(), l.end());
    }
    CSmallEqPanel panel;
};

TEST_F(SmallEqFixture, PointsSpanTenHertzToTwentyTwoKilohertz) {
    EXPECT_EQ(panel.points()[0].x(), 2);
    EXPECT_EQ(panel.points()[55].x(), 2 + 220);
    EXPECT_DOUBLE_EQ(panel.frequencyOf(0), 10.0);
    EXPECT_DOUBLE_EQ(panel.frequencyOf(28), std::trunc(10.0 * std::pow(10.0, 1.7)));
    for (const QPoint& p : panel.points())
        EXPECT_EQ(p.y(), 62);  // a flat EQ sits on 0 dB
}

TEST_F(SmallEqFixture, TheSumFollowsTheBandsAndSkipsUnusedTypes) {
    panel.setGain(3, 6.0f);
    EXPECT_NEAR(peak(), 6.0f, 0.3f);
    panel.setGain(4, 6.0f);  // 250 and 500 Hz overlap: more than either alone
    EXPECT_GT(peak(), 7.0f);
    panel.setType(4, 0);
    EXPECT_NEAR(peak(), 6.0f, 0.3f);
    panel.setType(4, 9);
    EXPECT_NEAR(peak(), 6.0f, 0.3f);
    panel.setType(3, kLowPass);  // pass types run at 0 dB
    EXPECT_FLOAT_EQ(panel.band(3).gain, 0.0f);
    EXPECT_LT(panel.levels()[55], -20.0f);
    const int y = panel.points()[10].y();
    EXPECT_EQ(y, static_cast<int>(panel.yOfGain(double{panel.levels()[10]})));
}

TEST_F(SmallEqFixture, EveryPointIsTheResponseAtItsOwnFrequency) {
    // Down to 10 Hz and up past 23 kHz: each band at exactly f_i, rounded to 0.1 dB.
    panel.setType(0, kHighPass);
    panel.setQ(0, 0.7f);
    panel.setFrequency(0, 40.0f);
    panel.setType(6, kHighShelf);
    panel.setGain(6, 4.0f);
    panel.setFrequency(6, 12000.0f);
    panel.setGain(2, -5.0f);
    for (int i = 0; i < CSmallEqPanel::kPoints; ++i) {
        SCOPED_TRACE(i);
        const double f = panel.frequencyOf(i);
        double expected = 0.0;
        for (int b = 0; b < CSmallEqPanel::kBands; ++b) {
            const EqBand& band = panel.band(b);
            const double level = test::magnitudeDb(
                DesignSection(band.type, band.freq, band.q, band.gain, kSampleRate), f);
            expected += std::trunc(10.0 * level + 0.5) / 10.0;
        }
        EXPECT_NEAR(panel.levels()[static_cast<std::size_t>(i)], expected, 1e-3);
    }
    // The high-pass is well below its 18 Hz level at the first point.
    EXPECT_LT(panel.levels()[0], -20.0f);
}

TEST_F(SmallEqFixture, FrequencyAndGainLimits) {
    panel.setFrequency(2, 5.0f);
    EXPECT_FLOAT_EQ(panel.band(2).freq, 20.0f);
    panel.setFrequency(2, 0.0f);  // ignored
    EXPECT_FLOAT_EQ(panel.band(2).freq, 20.0f);
    panel.setFrequency(2, 40000.0f);
    EXPECT_FLOAT_EQ(panel.band(2).freq, 20000.0f);
    panel.setGain(2, 40.0f);
    EXPECT_FLOAT_EQ(panel.band(2).gain, 15.0f);
    panel.setQ(2, 0.0f);  // ignored
    EXPECT_FLOAT_EQ(panel.band(2).q, 1.414f);
}

TEST_F(SmallEqFixture, HoverFramesTheControlAndAClickIsReported) {
    panel.setGain(1, 8.0f);
    panel.setGain(5, -9.0f);
    const QImage plain = test::renderControl(panel, 2.0);
    EXPECT_EQ(plain.pixelColor(0, 60), QColor(Qt::black));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&panel, &enter);
    const QImage framed = test::renderControl(panel, 2.0);
    EXPECT_EQ(framed.pixelColor(0, 60), QColor(0, 255, 255));
    test::saveArtefact(framed, QStringLiteral("small_eq_hover_x2"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&panel, &leave);
    EXPECT_FALSE(panel.isHovered());

    QSignalSpy clicked(&panel, &CSmallEqPanel::clicked);
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(clicked.count(), 1);
    panel.setVeil(true);
    panel.setPassOverlay(true);
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("small_eq_pass_x2"));
}

}  // namespace
}  // namespace v36
