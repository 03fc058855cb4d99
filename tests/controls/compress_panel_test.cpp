#include <gtest/gtest.h>

#include "control_test_support.h"
#include "controls/compress_panel.h"

namespace v36 {
namespace {

// 380 x 237: W' = 320 and H' = 192, so 10/3 px per dB across and 2 px per dB up.
struct CompressorFixture : ::testing::Test {
    CompressorFixture() {
        panel.resize(380, 237);
        panel.setKnee(-90.0f);
        panel.setSlopeBelowKnee(1.0f);
        panel.setOn(true);
    }
    // Output level in dB of a y pixel.
    static double dbOfY(double y) { return 6.0 - (y - 20.0) / 2.0; }
    CCompressPanelPlus panel;
};

TEST_F(CompressorFixture, OneToOneContinuesTheLinearLineToPlusSix) {
    panel.setThreshold(-20.0f);
    panel.setSlopeAboveThreshold(1.0f);
    const auto g = panel.geometry();
    EXPECT_DOUBLE_EQ(g.dot.x(), 40.0 + 70.0 * 320.0 / 96.0);
    EXPECT_DOUBLE_EQ(g.dot.y(), 20.0 + 26.0 * 2.0);
    EXPECT_DOUBLE_EQ(g.compressed.p2().x(), 360.0);
    EXPECT_DOUBLE_EQ(g.compressed.p2().y(), panel.yOf(6.0));
    EXPECT_DOUBLE_EQ(g.linear.p1().x(), 40.0);  // knee at -90 dB
    EXPECT_DOUBLE_EQ(g.linear.p1().y(), panel.yOf(-90.0));
    EXPECT_DOUBLE_EQ(g.belowKnee.length(), 0.0);
    // The band spans the whole output range.
    EXPECT_DOUBLE_EQ(g.outputBand.top(), 20.0);
    EXPECT_DOUBLE_EQ(g.outputBand.bottom(), 212.0);
    EXPECT_DOUBLE_EQ(g.outputBand.width(), 320.0);
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("compressor_1to1_x2"));
}

TEST_F(CompressorFixture, ThirtyToOneAtZeroRisesOnlyATenthOfSixDb) {
    panel.setThreshold(0.0f);
    panel.setSlopeAboveThreshold(1.0f / 30.0f);
    const auto g = panel.geometry();
    EXPECT_DOUBLE_EQ(dbOfY(g.dot.y()), 0.0);
    EXPECT_NEAR(dbOfY(g.compressed.p2().y()), 0.2, 1e-6);
    EXPECT_NEAR(g.outputBand.top(), panel.yOf(0.2), 1e-6);
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("compressor_30to1_x2"));
}

TEST_F(CompressorFixture, AKneeAboveMinus90AddsTheLowerSegment) {
    panel.setKnee(-50.0f);
    panel.setSlopeBelowKnee(2.0f);
    panel.setThreshold(-10.0f);
    panel.setSlopeAboveThreshold(0.25f);
    const auto g = panel.geometry();
    EXPECT_DOUBLE_EQ(g.belowKnee.p2().x(), panel.xOf(-50.0));
    // 40 dB below the knee at slope 2 ends 80 dB lower.
    EXPECT_DOUBLE_EQ(dbOfY(g.belowKnee.p1().y()), -130.0);
    EXPECT_DOUBLE_EQ(g.belowKnee.p1().x(), 40.0);
    EXPECT_DOUBLE_EQ(dbOfY(g.compressed.p2().y()), -6.0);
    panel.setOn(false);
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("compressor_off_x2"));
}

// From a small curve to the page's maximised one: the labels keep clear of
// each other and of the grid; the ends of both axes and 0 dB are always
// labelled ("+6dB" and "0dB" are only 6/96 of the height apart).
TEST(CompressorPanel, LabelsStayReadableAtEverySize) {
    CCompressPanelPlus panel;
    for (int w = 220; w <= 520; w += 60) {
        for (int h = 170; h <= 480; h += 7) {
            SCOPED_TRACE(::testing::Message() << w << "x" << h);
            panel.resize(w, h);
            const auto labels = panel.gridLabels();
            QStringList rows, columns;
            for (std::size_t i = 0; i < labels.size(); ++i) {
                const QRect& a = labels[i].box;
                EXPECT_TRUE(panel.rect().contains(a)) << test::str(labels[i].text);
                const bool row = a.right() < 40;
                const bool column = a.top() > panel.yOf(-90.0);
                EXPECT_TRUE(row || column) << test::str(labels[i].text);  // off the grid
                (row ? rows : columns) << labels[i].text;
                for (std::size_t j = i + 1; j < labels.size(); ++j)
                    EXPECT_FALSE(a.intersects(labels[j].box))
                        << test::str(labels[i].text) << " / " << test::str(labels[j].text);
            }
            for (const char* text : {"+6dB", "0dB", "-90dB"})
                EXPECT_TRUE(rows.contains(QLatin1String(text))) << text;
            for (const char* text : {"-90dB", "6dB"})
                EXPECT_TRUE(columns.contains(QLatin1String(text))) << text;
        }
    }
    panel.resize(250, 221);  // the rows +6 and 0 dB 11 px apart
    panel.setOn(true);
    test::saveArtefact(test::renderControl(panel, 2.0), QStringLiteral("compressor_250x221_x2"));
}

}  // namespace
}  // namespace v36
