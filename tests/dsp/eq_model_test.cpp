#include "dsp/eq_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "dsp/crossover.h"
#include "dsp/direct_response.h"

namespace v36 {
namespace {

constexpr int kWidth = 700;

// ---------------------------------------------------------------------------
// The twelve equalisers

TEST(EqTable, TitlesBanksSectionsAndCounts) {
    const struct {
        int eq;
        const char* zh;
        const char* en;
        int bank, firstSection, lastSection, bands, points;
    } rows[] = {
        {0, "音乐均衡", "Music EQ", 4, 0, 14, 15, 15},
        {1, "话筒通道A均衡", "CH A Mic EQ", 1, 0, 14, 15, 15},
        {2, "超低均衡", "SUB EQ", 8, 0, 19, 20, 5},
        {3, "中置均衡", "Center EQ", 7, 0, 9, 10, 10},
        {4, "后置均衡", "REAR EQ", 6, 0, 9, 10, 10},
        {5, "前置均衡", "MAIN EQ", 5, 0, 23, 24, 24},
        {6, "混响通道A均衡", "CH A Reverb EQ", 3, 0, 6, 7, 7},
        {7, "回声通道A均衡", "CH A Echo EQ", 2, 0, 6, 7, 7},
        {8, "话筒通道B均衡", "CH B Mic EQ", 1, 15, 29, 15, 15},
        {9, "混响通道B均衡", "CH B Reverb EQ", 3, 7, 13, 7, 7},
        {10, "回声通道B均衡", "CH B Echo EQ", 2, 7, 13, 7, 7},
        {11, "顶置均衡", "TOP EQ", 9, 0, 9, 10, 10},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.eq);
        EXPECT_EQ(eqTitle(r.eq, 0), r.zh);
        EXPECT_EQ(eqTitle(r.eq, 1), r.en);
        EXPECT_EQ(eqInfo(r.eq).bank, r.bank);
        EXPECT_EQ(eqBandCount(r.eq), r.bands);
        EXPECT_EQ(eqPointCount(r.eq), r.points);
        std::set<int> sections;
        for (int b = 0; b < r.bands; ++b) {
            const int s = sectionOf(r.eq, b);
            sections.insert(s);
            EXPECT_EQ(bandOfSection(r.eq, s), b);
        }
        EXPECT_EQ(static_cast<int>(sections.size()), r.bands);
        EXPECT_EQ(*sections.begin(), r.firstSection);
        EXPECT_EQ(*sections.rbegin(), r.lastSection);
        EXPECT_EQ(sectionOf(r.eq, r.bands), -1);
        EXPECT_EQ(sectionOf(r.eq, -1), -1);
    }
    EXPECT_FALSE(isEqNumber(12));
    EXPECT_EQ(eqBandCount(-1), 0);
    EXPECT_THROW(eqInfo(12), std::out_of_range);
}

TEST(EqTable, EqsShareEachBankWithoutOverlapAndLeaveTheSplitFilters) {
    for (int bank = 1; bank <= kBankCount; ++bank) {
        std::set<int> used;
        int total = 0;
        for (int eq = 0; eq < kEqCount; ++eq) {
            if (eqInfo(eq).bank != bank) continue;
            for (int b = 0; b < eqBandCount(eq); ++b) {
                used.insert(sectionOf(eq, b));
                ++total;
            }
        }
        EXPECT_EQ(total, bankEqBands(bank)) << bank;
        EXPECT_EQ(static_cast<int>(used.size()), total) << bank;
        EXPECT_EQ(*used.rbegin(), bankEqBands(bank) - 1) << bank;
    }
    // Split filters belong to no EQ.
    EXPECT_EQ(bandOfSection(kEqMain, 24), -1);
    EXPECT_EQ(bandOfSection(kEqSub, 20), -1);
}

TEST(EqTable, SubwooferPointsAreFourConsecutiveSections) {
    for (int k = 0; k < kSubPoints; ++k) {
        EXPECT_EQ(sectionOf(kEqSub, k), 4 * k);
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(subHiddenBand(k, j), 5 + 3 * k + j);
            EXPECT_EQ(sectionOf(kEqSub, subHiddenBand(k, j)), 4 * k + 1 + j);
            EXPECT_EQ(subPointOf(subHiddenBand(k, j)), k);
        }
    }
}

// ---------------------------------------------------------------------------
// Parameter rules

struct RuleFixture {
    explicit RuleFixture(int eq) {
        m.selectEq(eq);
        m.setPlotWidth(kWidth);
    }
    EqGraphModel m;
};

TEST(BandRules, TypeChangesSetTheirDefaults) {
    RuleFixture f(kEqCenter);
    EqGraphModel& m = f.m;
    m.setType(2, kPeq);
    m.setGain(2, 6.0f);
    m.setQ(2, 5.0f);
    m.setType(2, kLowPass);
    EXPECT_EQ(m.band(2).gain, 0.0f);
    EXPECT_EQ(m.band(2).q, 0.7f);
    m.setType(2, kPeq);
    EXPECT_EQ(m.band(2).gain, 0.0f);
    EXPECT_EQ(m.band(2).q, 1.414f);

    // Types beyond the menu keep Q; their gain is held at 0 dB.
    m.setGain(2, 6.0f);
    m.setQ(2, 7.0f);
    m.setType(2, kBw2Hp);
    EXPECT_EQ(m.band(2).q, 7.0f);
    EXPECT_EQ(m.band(2).gain, 0.0f);
    m.setGain(2, 3.0f);
    EXPECT_EQ(m.band(2).gain, 0.0f);
}

TEST(BandRules, ClampsPerType) {
    const struct {
        int type;
        float gainIn, gainOut;
        float qIn, qOut;
        float freqIn, freqOut;
    } cases[] = {
        {kPeq, 20.0f, 15.0f, 35.0f, 30.0f, 10.0f, 20.0f},
        {kPeq, -20.0f, -15.0f, 0.05f, 0.1f, 30000.0f, 20000.0f},
        {kHighShelf, 7.5f, 7.5f, 3.0f, 2.0f, 1000.5f, 1000.5f},
        {kLowShelf, -7.5f, -7.5f, 1.5f, 1.5f, 50.0f, 50.0f},
        {kLowPass, 6.0f, 0.0f, 2.5f, 2.0f, 100.0f, 100.0f},
        {kHighPass, 6.0f, 0.0f, 0.01f, 0.1f, 100.0f, 100.0f},
        {kCheb2Lp, 6.0f, 0.0f, 25.0f, 25.0f, 100.0f, 100.0f},
        {kAllPass + 22, 6.0f, 0.0f, 40.0f, 30.0f, 100.0f, 100.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        EqBand b;
        setBandLimits(kEqMain, 3, b);
        b.type = c.type;
        setBandGain(b, c.gainIn);
        EXPECT_EQ(b.gain, c.gainOut);
        EXPECT_TRUE(setBandQ(kEqMain, 3, b, c.qIn));
        EXPECT_EQ(b.q, c.qOut);
        setBandFrequency(b, c.freqIn);
        EXPECT_EQ(b.freq, c.freqOut);
    }
}

// Only pass filters close the selected band's area below the plot: the
// shelves sit on the 0 dB line like a peaking band.
TEST(BandRules, PassSidesLeaveOutTheShelves) {
    const struct {
        int type;
        bool low, high;
    } cases[] = {
        {kAllPass, false, false}, {kPeq, false, false},      {kLowPass, true, false},
        {kHighPass, false, true}, {kLowShelf, false, false}, {kHighShelf, false, false},
        {kCheb2Lp, true, false},  {kCheb2Hp, false, true},   {kBw4bLp, true, false},
        {kBw4bHp, false, true},   {22, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isLowPassType(c.type), c.low) << c.type;
        EXPECT_EQ(isHighPassType(c.type), c.high) << c.type;
    }
}

TEST(BandRules, ZeroQIsIgnored) {
    EqBand b;
    b.q = 2.5f;
    EXPECT_FALSE(setBandQ(kEqMain, 0, b, 0.0f));
    EXPECT_FALSE(setBandQ(kEqMain, 0, b, 5e-8f));
    EXPECT_EQ(b.q, 2.5f);
}

TEST(BandRules, BandsSevenAndTenAreLockedOnlyOnMusicAndMicEqs) {
    for (int eq = 0; eq < kEqCount; ++eq) {
        SCOPED_TRACE(eq);
        const bool locked = eq == kEqMusic || eq == kEqMicA || eq == kEqMicB;
        EqGraphModel m;
        m.selectEq(eq);
        if (eqBandCount(eq) <= 10) {
            EXPECT_FALSE(isLockedBand(eq, 7));
            continue;
        }
        for (const int b : {7, 10}) {
            EXPECT_EQ(isLockedBand(eq, b), locked);
            EXPECT_EQ(hasTypeMenu(eq, b), !locked && b < eqPointCount(eq));
            m.setFrequency(b, 1234.0f);
            m.setQ(b, 4.0f);
            if (locked) {
                EXPECT_EQ(m.band(b).freq, b == 7 ? 630.0f : 2500.0f);
                EXPECT_EQ(m.band(b).q, 1.41f);  // unchanged placeholder
            } else {
                EXPECT_EQ(m.band(b).freq, 1234.0f);
                EXPECT_EQ(m.band(b).q, 4.0f);
            }
            // The gain stays editable.
            m.setGain(b, 4.5f);
            EXPECT_EQ(m.band(b).gain, 4.5f);
        }
    }
    // Hidden subwoofer records never offer a menu.
    EXPECT_FALSE(hasTypeMenu(kEqSub, 5));
    EXPECT_TRUE(hasTypeMenu(kEqSub, 4));
}

TEST(BandRules, BandCountGivesPlaceholdersAndLocksBandsAtTheirFrequencies) {
    const std::vector<float> first15{100,  160,  250,   400,   630,   1000,  1600, 2500,
                                     4000, 6300, 10000, 13000, 15000, 18000, 20000};
    std::vector<float> twenty = first15;
    twenty.insert(twenty.end(), 5, 20000.0f);
    std::vector<float> twentyFour = first15;
    twentyFour.insert(twentyFour.end(), {100, 160, 250, 400, 630, 1000, 1600, 2500, 4000});
    const struct {
        int eq, count;
        std::vector<float> freqs;
        std::vector<int> types;
        float q;
    } cases[] = {
        {kEqCenter, 4, {31, 62, 125, 250}, {kHighPass, kPeq, kPeq, kLowPass}, 0.707f},
        {kEqEchoA, 7, {31, 62, 125, 250, 500, 1000, 2000}, {}, 1.41f},
        {kEqRear, 10, {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 12000}, {}, 1.41f},
        {kEqCenter, 15, first15, {}, 1.41f},
        {kEqCenter, 20, twenty, {}, 1.41f},
        {kEqMain, 24, twentyFour, {}, 1.41f},
        // Locked bands 7 and 10 sit at 630 Hz and 2500 Hz from the start.
        {kEqMusic, 15, first15, {}, 1.41f},
        {kEqMicB, 15, first15, {}, 1.41f},
        {kEqMusic, 10, {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 12000}, {}, 1.41f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.eq << " " << c.count);
        EqGraphModel m;
        m.setEqNumber(c.eq);
        m.setGain(3, 5.0f);
        m.setBandCount(c.count);
        ASSERT_EQ(m.bandCount(), c.count);
        for (int b = 0; b < c.count; ++b) {
            SCOPED_TRACE(b);
            const EqBand& band = m.band(b);
            float freq = c.freqs[static_cast<std::size_t>(b)];
            if (isLockedBand(c.eq, b)) freq = b == 7 ? 630.0f : 2500.0f;
            EXPECT_EQ(band.freq, freq);
            EXPECT_GE(band.freq, band.minFreq);
            EXPECT_LE(band.freq, band.maxFreq);
            EXPECT_EQ(band.type, c.types.empty() ? kPeq : c.types[static_cast<std::size_t>(b)]);
            EXPECT_EQ(band.q, c.q);
            EXPECT_EQ(band.gain, 0.0f);
            EXPECT_EQ(band.number, b);
        }
    }
}

TEST(BandRules, DragGainRoundsToTenthsAwayFromZero) {
    const struct {
        float in, out;
    } cases[] = {{0.04f, 0.0f},   {0.05f, 0.1f}, {-0.05f, -0.1f}, {1.26f, 1.3f},
                 {-1.26f, -1.3f}, {1.24f, 1.2f}, {-1.24f, -1.2f}, {14.99f, 15.0f}};
    for (const auto& c : cases)
        EXPECT_EQ(roundGainStep(c.in), c.out) << c.in;
}

TEST(BandRules, LoadingKeepsStoredValuesWithinTheHostsRules) {
    const struct {
        int eq;
        BandRecord record;
        int type;
        float freq, gain, q;
    } cases[] = {
        // Music page: types above 5 become 0 (not in use).
        {kEqMusic, {3.0f, 998, 1.414f, kBw2Lp}, 0, 998.0f, 3.0f, 1.414f},
        // Output pages keep types up to 31 and zero their gain.
        {kEqCenter, {3.0f, 998, 1.414f, kBw2Lp}, kBw2Lp, 998.0f, 0.0f, 1.414f},
        {kEqCenter, {3.0f, 998, 1.414f, 40}, 0, 998.0f, 3.0f, 1.414f},
        // A cleared register block: nothing drawn, values held in range.
        {kEqRear, {-15.0f, 0, 0.0f, 0}, 0, 20.0f, -15.0f, 0.1f},
        {kEqMain, {0.0f, 30000, 5.0f, kHighShelf}, kHighShelf, 20000.0f, 0.0f, 2.0f},
        // The locked band keeps a stored frequency off its lock, and its
        // stored Q; type defaults are not applied.
        {kEqMusic, {2.0f, 700, 0.707f, kLowShelf}, kLowShelf, 700.0f, 2.0f, 0.707f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.eq);
        EqGraphModel m;
        m.selectEq(c.eq);
        m.loadRecord(7, c.record);
        EXPECT_EQ(m.band(7).type, c.type);
        EXPECT_EQ(m.band(7).freq, c.freq);
        EXPECT_EQ(m.band(7).gain, c.gain);
        EXPECT_EQ(m.band(7).q, c.q);
    }
}

// ---------------------------------------------------------------------------
// Subwoofer points

struct SubFixture : RuleFixture {
    SubFixture() : RuleFixture(kEqSub) {
        for (int k = 0; k < kSubPoints; ++k) {
            m.setType(k, kPeq);
            m.setFrequency(k, 60.0f + 10.0f * static_cast<float>(k));
        }
    }
};

TEST(SubwooferPoints, TypeMenuGivesFourSections) {
    const struct {
        int menu;
        std::array<int, 4> types;
        float q;
    } cases[] = {
        {kPeq, {1, 1, 1, 1}, 1.414f},      {kLowPass, {18, 20, 1, 1}, 0.7f},
        {kHighPass, {19, 21, 1, 1}, 0.7f}, {kLowShelf, {4, 1, 1, 1}, 0.7f},
        {kHighShelf, {5, 1, 1, 1}, 0.7f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.menu);
        SubFixture f;
        f.m.setGain(2, 6.0f);
        f.m.setQ(2, 1.9f);
        f.m.setType(2, c.menu);
        EXPECT_EQ(subPointTypes(f.m.bands(), 2), c.types);
        EXPECT_EQ(f.m.band(2).gain, 0.0f);
        EXPECT_EQ(f.m.band(2).q, c.q);
        for (int j = 0; j < 3; ++j) {
            const EqBand& h = f.m.band(subHiddenBand(2, j));
            EXPECT_EQ(h.freq, 80.0f);
            EXPECT_EQ(h.q, c.q);
            EXPECT_EQ(h.gain, 0.0f);
        }
        // Neighbouring points are untouched.
        EXPECT_EQ(subPointTypes(f.m.bands(), 1), (std::array<int, 4>{1, 1, 1, 1}));
    }
}

TEST(SubwooferPoints, FamilySideFollowsTheCurrentType) {
    SubFixture f;
    f.m.setType(0, kLowPass);  // 18: even
    f.m.applyCrossoverFamily(0, 1);
    EXPECT_EQ(subPointTypes(f.m.bands(), 0), (std::array<int, 4>{12, 12, 1, 1}));
    f.m.setGain(1, 5.0f);  // PEQ: odd
    f.m.applyCrossoverFamily(1, 1);
    EXPECT_EQ(subPointTypes(f.m.bands(), 1), (std::array<int, 4>{13, 13, 1, 1}));
    EXPECT_EQ(f.m.band(1).gain, 0.0f);
    // A family choice keeps the side once chosen and the point's Q.
    f.m.setQ(1, 3.0f);
    f.m.applyCrossoverFamily(1, 3);
    EXPECT_EQ(subPointTypes(f.m.bands(), 1), (std::array<int, 4>{19, 21, 19, 21}));
    EXPECT_EQ(f.m.band(subHiddenBand(1, 2)).q, 3.0f);
    // Outside the subwoofer EQ the family choice does nothing.
    RuleFixture center(kEqCenter);
    center.m.applyCrossoverFamily(0, 1);
    EXPECT_EQ(center.m.band(0).type, kPeq);
}

TEST(SubwooferPoints, MovingAPointCarriesItsHiddenRecords) {
    SubFixture f;
    f.m.setType(3, kLowPass);
    f.m.setFrequency(3, 150.0f);
    f.m.setQ(3, 1.2f);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(f.m.band(subHiddenBand(3, j)).freq, 150.0f);
        EXPECT_EQ(f.m.band(subHiddenBand(3, j)).q, 1.2f);
    }
    // The summed curve is that of a 24 dB/octave low-pass at 150 Hz.
    Curve area{};
    f.m.selectedCurve(3, area);
    const CurveAxis& axis = f.m.axis();
    for (int i = 0; i < kCurvePoints; i += 37) {
        SectionCoefficients a = DesignSection(kBw4aLp, 150, 1.2, 0);
        SectionCoefficients b = DesignSection(kBw4bLp, 150, 1.2, 0);
        const double expected =
            test::magnitudeDb(a, axis.frequency(i)) + test::magnitudeDb(b, axis.frequency(i));
        EXPECT_NEAR(area[static_cast<std::size_t>(i)], expected, 2e-3) << i;
    }
}

// ---------------------------------------------------------------------------
// Reset sets

TEST(ResetSets, EveryEqHasItsDefaults) {
    const struct {
        int eq;
        std::size_t count;
        int firstSection;
        std::vector<int> freqs;
    } rows[] = {
        {kEqMusic,
         15,
         0,
         {25, 40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 16000}},
        {kEqMicB,
         15,
         15,
         {25, 40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 16000}},
        {kEqEchoB, 7, 7, {63, 125, 250, 500, 1000, 2300, 5000}},
        {kEqReverbA, 7, 0, {63, 125, 250, 500, 1000, 2300, 5000}},
        {kEqTop, 10, 0, {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000}},
        {kEqMain, 24, 0, {25,   36,   50,   75,   100,  150,   200,   260,
                          360,  485,  630,  860,  1088, 1396,  1680,  2160,
                          2800, 3586, 5096, 6868, 8288, 11010, 14566, 20000}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.eq);
        const auto set = resetBands(r.eq);
        ASSERT_EQ(set.size(), r.count);
        for (std::size_t b = 0; b < set.size(); ++b) {
            EXPECT_EQ(set[b].section, r.firstSection + static_cast<int>(b));
            EXPECT_EQ(set[b].freq, r.freqs[b]);
            EXPECT_EQ(set[b].gain, 0.0f);
            const bool shelf = eqInfo(r.eq).lockedBands && (b == 7 || b == 10);
            EXPECT_EQ(set[b].type, shelf ? (b == 7 ? kLowShelf : kHighShelf) : kPeq);
            EXPECT_EQ(set[b].q, shelf ? 0.707f : 1.41f);
        }
    }
}

TEST(ResetSets, SubwooferEndsInAButterworthLowPass) {
    const auto set = resetBands(kEqSub);
    ASSERT_EQ(set.size(), 20u);
    const int freqs[] = {20, 31, 40, 62, 100};
    for (int s = 0; s < 20; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(set[static_cast<std::size_t>(s)].section, s);
        EXPECT_EQ(set[static_cast<std::size_t>(s)].freq, freqs[s / 4]);
        const int type = s == 16 ? kBw4aLp : s == 17 ? kBw4bLp : kPeq;
        EXPECT_EQ(set[static_cast<std::size_t>(s)].type, type);
        EXPECT_EQ(set[static_cast<std::size_t>(s)].q, s < 16 ? 1.41f : 1.414f);
    }
    EXPECT_TRUE(resetBands(12).empty());
}

// ---------------------------------------------------------------------------
// Curves

TEST(Curves, FrequenciesRunLogarithmicallyFrom18Hz) {
    const CurveAxis a(512);
    const CurveAxis b(kWidth);
    EXPECT_EQ(a.frequency(0), 18.0f);
    const double decades = std::log10(23000.0 / 18.0);
    for (int i = 1; i < kCurvePoints; ++i) {
        EXPECT_GT(a.frequency(i), a.frequency(i - 1));
        const double expected = 18.0 * std::pow(10.0, i / 512.0 * decades);
        EXPECT_NEAR(a.frequency(i), expected, expected * 1e-5) << i;
        EXPECT_NEAR(b.frequency(i), expected, expected * 1e-5) << i;
    }
    EXPECT_LT(a.frequency(511), 23000.0f);
    EXPECT_FALSE(CurveAxis(0).valid());
}

// The closed form against |H(e^jw)| computed from the same coefficients,
// one case per design family.
TEST(Curves, ClosedFormEqualsTheDirectResponse) {
    const CurveAxis axis(kWidth);
    const struct {
        int type;
        double freq, q, gain;
    } cases[] = {
        {kPeq, 1000, 1.41, 6},     {kPeq, 60, 8, -12},         {kLowPass, 300, 1.8, 0},
        {kHighPass, 5000, 0.4, 0}, {kLowShelf, 200, 0.707, 9}, {kHighShelf, 8000, 1.2, -7},
        {kCheb2Lp, 1000, 1, 0},    {kCheb2Hp, 120, 1, 0},      {kBessel2Lp, 80, 1, 0},
        {kFirstLp, 2000, 1, 0},    {kFirstHp, 40, 1, 0},       {kBw4bHp, 700, 1, 0},
        {kAllPass, 500, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        const SectionCoefficients s = DesignSection(c.type, c.freq, c.q, c.gain);
        Curve curve{};
        sectionCurve(s, axis, curve);
        for (int i = 0; i < kCurvePoints; ++i) {
            const double direct = test::magnitudeDb(s, axis.frequency(i));
            ASSERT_NEAR(curve[static_cast<std::size_t>(i)], direct, 1e-4 + 1e-5 * std::abs(direct))
                << i;
        }
    }
}

TEST(Curves, PeakingCurvePassesThroughItsMarker) {
    for (const int width : {512, kWidth, 333}) {
        const CurveAxis axis(width);
        EqBand b;
        b.type = kPeq;
        b.freq = 1000.0f;
        b.q = 1.41f;
        b.gain = 6.3f;
        bandCurve(b, axis, b.curve);
        const double px =
            std::trunc(std::log10(1000.0 / 18.0) / std::log10(23000.0 / 18.0) * width);
        const int pin = static_cast<int>(std::trunc(px / (width / 512.0)));
        EXPECT_EQ(axis.pinIndex(1000.0f), pin);
        EXPECT_EQ(b.curve[static_cast<std::size_t>(pin)], 6.3f);

        b.gain = 0.0f;
        bandCurve(b, axis, b.curve);
        EXPECT_EQ(b.curve[static_cast<std::size_t>(pin)], 0.0f);
        for (const float v : b.curve)
            ASSERT_NEAR(v, 0.0f, 1e-5f);
    }
    EXPECT_EQ(CurveAxis(kWidth).pinIndex(10.0f), -1);
}

TEST(Curves, TypeZeroAndNoWindowLeaveCurvesAlone) {
    EqBand b;
    b.curve.fill(1.5f);
    b.type = 0;
    bandCurve(b, CurveAxis(kWidth), b.curve);
    EXPECT_EQ(b.curve[100], 1.5f);
    b.type = kLowPass;
    bandCurve(b, CurveAxis(0), b.curve);
    EXPECT_EQ(b.curve[100], 1.5f);

    // A band of type 0 is not summed.
    RuleFixture f(kEqTop);
    f.m.setGain(0, 6.0f);
    const Curve with = f.m.totalCurve();
    f.m.band(0).type = 0;
    f.m.recompute(0);
    const Curve& without = f.m.totalCurve();
    EXPECT_NEAR(with[static_cast<std::size_t>(f.m.axis().pinIndex(31.0f))], 6.0f, 1e-3f);
    for (const float v : without)
        ASSERT_NEAR(v, 0.0f, 1e-4f);
}

TEST(Curves, TotalAfterOneEditEqualsAFullRecompute) {
    RuleFixture live(kEqMain);
    const float gains[] = {4.0f, -6.5f, 2.0f, 12.0f, -15.0f};
    for (int step = 0; step < 40; ++step) {
        const int n = (step * 7) % 24;
        switch (step % 4) {
            case 0:
                live.m.setGain(n, gains[step % 5]);
                break;
            case 1:
                live.m.setFrequency(n, 30.0f + 450.0f * static_cast<float>(step));
                break;
            case 2:
                live.m.setQ(n, 0.3f + 0.2f * static_cast<float>(step));
                break;
            default:
                live.m.setType(n, 1 + step % 5);
                break;
        }
        (void)live.m.totalCurve();  // a redraw between edits
    }
    const Curve incremental = live.m.totalCurve();

    EqGraphModel fresh;
    fresh.selectEq(kEqMain);
    for (int n = 0; n < 24; ++n) {
        const EqBand& b = live.m.band(n);
        fresh.band(n).type = b.type;
        fresh.band(n).freq = b.freq;
        fresh.band(n).gain = b.gain;
        fresh.band(n).q = b.q;
    }
    fresh.setPlotWidth(kWidth);
    const Curve& full = fresh.totalCurve();
    for (std::size_t i = 0; i < full.size(); ++i)
        ASSERT_EQ(incremental[i], full[i]) << i;
}

TEST(Curves, SubwooferTotalIncludesHiddenRecords) {
    RuleFixture f(kEqSub);
    for (const SectionSetting& s : resetBands(kEqSub)) {
        const int b = bandOfSection(kEqSub, s.section);
        f.m.band(b).type = s.type;
        f.m.band(b).freq = static_cast<float>(s.freq);
        f.m.band(b).q = s.q;
    }
    f.m.recomputeAll();
    const Curve& total = f.m.totalCurve();
    const CurveAxis& axis = f.m.axis();
    for (int i = 0; i < kCurvePoints; i += 29) {
        const double hz = axis.frequency(i);
        const double expected = test::magnitudeDb(DesignSection(kBw4aLp, 100, 1.414f, 0), hz) +
                                test::magnitudeDb(DesignSection(kBw4bLp, 100, 1.414f, 0), hz);
        EXPECT_NEAR(total[static_cast<std::size_t>(i)], expected, 1e-3 + 1e-5 * std::abs(expected));
    }
}

// ---------------------------------------------------------------------------
// Texts

TEST(Texts, ValuesAndStatusLine) {
    EXPECT_EQ(formatFrequency(999.6f), "1000Hz");
    EXPECT_EQ(formatGain(0.0f), "+0.0dB");
    EXPECT_EQ(formatGain(-3.04f), "-3.0dB");
    EXPECT_EQ(formatGain(6.0f), "+6.0dB");
    EXPECT_EQ(formatQ(1.414f), "1.41");
    EXPECT_EQ(formatBandNumber(0), "1");

    EqBand b;
    b.number = 4;
    b.freq = 1000.0f;
    b.q = 1.41f;
    b.gain = -7.5f;
    const StatusLine en = statusLine(b, 1);
    EXPECT_EQ(en.text, "Index=5     Frequency=1000Hz    Q=1.41     Gain=");
    EXPECT_EQ(en.gainText, "-7.5dB ");
    EXPECT_EQ(en.gainColour, kGainYellow);
    const StatusLine zh = statusLine(b, 0);
    EXPECT_EQ(zh.text, "EQ号=5    频率=1000Hz    Q值=1.41     增益=");
    EXPECT_EQ(zh.gainText, "-7.5dB ");

    const struct {
        float gain;
        Rgb colour;
    } colours[] = {{0.0f, kGainGreen},  {6.0f, kGainGreen},    {-6.0f, kGainGreen},
                   {6.1f, kGainYellow}, {-10.0f, kGainYellow}, {10.1f, kGainRed},
                   {-10.2f, kGainRed},  {15.0f, kGainRed}};
    for (const auto& c : colours)
        EXPECT_EQ(gainColour(c.gain), c.colour) << c.gain;
}

}  // namespace
}  // namespace v36
