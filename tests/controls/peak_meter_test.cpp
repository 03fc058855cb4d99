#include <gtest/gtest.h>

#include <QTest>
#include <array>

#include "control_test_support.h"
#include "controls/peak_meter.h"

namespace v36 {
namespace {

// A meter set up as the music page sets up its six.
struct MeterFixture : ::testing::Test {
    MeterFixture() {
        meter.resize(150, 16);
        meter.setBandCount(1);
        meter.setLedCount(15);
        meter.setBandCount(1);
        meter.startReleaseTimer(35);
        meter.setMeterStyle(CPeakMeterCtrl::kHorizontal);
        meter.setBackgroundColor(QColor(240, 250, 255));
        meter.setPeakLine(false);
    }
    void feed(int value) {
        const std::array<int, 1> v{value};
        meter.setData(v);
    }
    CPeakMeterCtrl meter;
};

TEST_F(MeterFixture, FifteenLedsSplitIntoElevenGreenTwoYellowTwoRed) {
    const QColor green(0, 255, 0), yellow(255, 255, 0), red(255, 0, 0);
    for (int led = 0; led < 15; ++led) {
        const QColor expected = led <= 10 ? green : (led <= 12 ? yellow : red);
        EXPECT_EQ(meter.ledColor(led, 230), expected) << "LED " << led;
    }
    // Half scale (115): 7 LEDs lit, the rest dark in their zone's colour.
    EXPECT_EQ(meter.ledColor(6, 115), green);
    EXPECT_EQ(meter.ledColor(7, 115), QColor(2, 60, 2));
    EXPECT_EQ(meter.ledColor(12, 115), QColor(60, 60, 2));
    EXPECT_EQ(meter.ledColor(14, 115), QColor(60, 2, 2));

    feed(115);
    const QImage image = test::renderControl(meter, 2.0);
    test::saveArtefact(image, QStringLiteral("meter_half_x2"));
    // LED 3 (x 30..39) lit, LED 10 (x 100..109) dark; LED 0 loses its left pixel.
    EXPECT_EQ(image.pixelColor(70, 16), green);
    EXPECT_EQ(image.pixelColor(210, 16), QColor(2, 60, 2));
    EXPECT_EQ(image.pixelColor(1, 16), QColor(240, 250, 255));
}

TEST_F(MeterFixture, ValuesAreClampedToFullScale) {
    feed(255);
    EXPECT_EQ(meter.band(0).value, 230);
    EXPECT_EQ(meter.band(0).peak, 230);
    feed(-4);
    EXPECT_EQ(meter.band(0).value, 0);
}

TEST_F(MeterFixture, BarsStartFullAndEmptyInFifteenUnitStepsThenTheTimerStops) {
    EXPECT_EQ(meter.band(0).value, 230);
    EXPECT_TRUE(meter.releaseRunning());
    feed(100);  // the peak stays at 230 until it falls
    meter.releaseTick();
    EXPECT_EQ(meter.band(0).value, 85);
    meter.releaseTick();
    EXPECT_EQ(meter.band(0).value, 70);
    int ticks = 2;
    while (meter.releaseRunning() && ticks < 1000) {
        meter.releaseTick();
        ++ticks;
    }
    EXPECT_FALSE(meter.releaseRunning());
    EXPECT_EQ(meter.band(0).value, 0);
    EXPECT_EQ(meter.band(0).peak, 0);
    EXPECT_EQ(meter.band(0).hold, 0);
    // The peak of 230 falls 7 per tick after its hold: 33 ticks to reach 0.
    EXPECT_EQ(ticks, 9 + 33);

    feed(40);  // new data restarts the release
    EXPECT_TRUE(meter.releaseRunning());
    EXPECT_EQ(meter.band(0).hold, 10);
}

TEST(PeakMeter, ReleaseRunsOnItsTimer) {
    CPeakMeterCtrl meter;
    meter.setLedCount(15);
    meter.setBandCount(2);
    meter.startReleaseTimer(5);
    const std::array<int, 2> v{30, 60};
    meter.setData(v);
    QTRY_VERIFY_WITH_TIMEOUT(!meter.releaseRunning(), 5000);
    EXPECT_EQ(meter.band(0).value, 0);
    EXPECT_EQ(meter.band(1).peak, 0);
}

TEST(PeakMeter, WithoutAStartedReleaseDataOnlyRepaints) {
    CPeakMeterCtrl meter;
    meter.setLedCount(1);
    meter.setBandCount(1);
    const std::array<int, 1> v{100};
    meter.setData(v);
    EXPECT_FALSE(meter.releaseRunning());
    meter.releaseTick();  // one LED: bars fall by a tenth of the range, peaks by 5
    EXPECT_EQ(meter.band(0).value, 77);
    EXPECT_EQ(meter.band(0).peak, 230);
    EXPECT_EQ(meter.band(0).hold, 9);
}

}  // namespace
}  // namespace v36
