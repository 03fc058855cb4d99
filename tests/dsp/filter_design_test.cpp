#include "dsp/filter_design.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/direct_response.h"
#include "protocol/senders.h"

namespace v36 {
namespace {

using test::dcGain;
using test::magnitudeDb;
using test::nyquistGain;
using test::responseAt;

// The coefficient report of a section, as the unit receives it.
Report coefficientReport(const SectionCoefficients& c) {
    return Senders::buildParam(5, 0, coefficientWords(c));
}

std::array<std::uint8_t, 4> wireBytes(const Report& r, int word) {
    const auto at = static_cast<std::size_t>(6 + 4 * word);
    return {r[at], r[at + 1], r[at + 2], r[at + 3]};
}

TEST(DesignSection, ChebyshevLowPassMatchesTheWorkedCheck) {
    const SectionCoefficients c = DesignSection(kCheb2Lp, 1000, 1.0, 0.0);
    EXPECT_NEAR(c.a1, -1.778767, 5e-7);
    EXPECT_NEAR(c.a2, 0.807201, 5e-7);
    EXPECT_NEAR(c.b0, 0.00702718, 5e-9);
    EXPECT_NEAR(c.b1, 0.01405436, 5e-9);
    EXPECT_EQ(c.b2, c.b0);

    const Report r = coefficientReport(c);
    EXPECT_EQ(wireBytes(r, 0), (std::array<std::uint8_t, 4>{0x3F, 0xE3, 0xAE, 0xA1}));
    EXPECT_EQ(wireBytes(r, 2), (std::array<std::uint8_t, 4>{0x3B, 0xE6, 0x44, 0x41}));
    EXPECT_EQ(wireBytes(r, 4), wireBytes(r, 2));

    // The ripple follows from the design constant actually used.
    const struct {
        double hz, db;
    } points[] = {{1e-3, -0.10}, {500, 0.15}, {1000, -0.10}, {2000, -6.7}, {4000, -19.0}};
    for (const auto& p : points)
        EXPECT_NEAR(magnitudeDb(c, p.hz), p.db, 0.05) << p.hz << " Hz";
}

TEST(DesignSection, PeakingAtZeroDbIsFlat) {
    const struct { double hz, q; } cases[] = {{20, 0.1}, {1000, 1.41}, {16000, 30}};
    for (const auto& k : cases) {
        const SectionCoefficients c = DesignSection(kPeq, k.hz, k.q, 0.0);
        EXPECT_NEAR(c.b0, 1.0, 1e-15) << k.hz;
        EXPECT_DOUBLE_EQ(c.b1, c.a1) << k.hz;
        EXPECT_DOUBLE_EQ(c.b2, c.a2) << k.hz;
    }
}

TEST(DesignSection, PassSectionsHaveGainKInTheirPassBand) {
    const double g = std::pow(1.0 / (1.0 + (std::pow(10.0, 0.01) - 1.0)), 0.5);
    EXPECT_NEAR(g, 0.98855, 5e-6);
    std::vector<int> types{kLowPass, kHighPass, kCheb2Lp, kCheb2Hp};
    for (int t = kBessel2Lp; t <= kBw4bHp; ++t)
        types.push_back(t);
    for (const double gainDb : {0.0, -4.5}) {
        const double k = std::pow(10.0, gainDb / 20.0);
        for (const int type : types) {
            for (const double hz : {40.0, 1000.0, 12000.0}) {
                const SectionCoefficients c = DesignSection(type, hz, 0.9, gainDb);
                const bool lowPass = type % 2 == 0;
                const double pass = lowPass ? dcGain(c) : nyquistGain(c);
                const double expected = type == kCheb2Lp || type == kCheb2Hp ? k * g : k;
                EXPECT_NEAR(pass, expected, 1e-9) << "type " << type << " at " << hz;
            }
        }
    }
}

TEST(DesignSection, FirstOrderSectionsSendZeroSecondTerms) {
    for (const int type : {kFirstLp, kFirstHp}) {
        const SectionCoefficients c = DesignSection(type, 800, 1.0, 0.0);
        EXPECT_EQ(c.a2, 0.0);
        EXPECT_EQ(c.b2, 0.0);
        const Report r = coefficientReport(c);
        EXPECT_EQ(wireBytes(r, 1), (std::array<std::uint8_t, 4>{0, 0, 0, 0})) << type;
        EXPECT_EQ(wireBytes(r, 4), (std::array<std::uint8_t, 4>{0, 0, 0, 0})) << type;
    }
}

TEST(DesignSection, UnusedCodesAreAllPassNotFlat) {
    for (const int type : {0, 22, 255}) {
        const SectionCoefficients c = DesignSection(type, 1000, 1.41, 6.0);
        // Unity magnitude, but the phase turns: -1 at the centre frequency.
        EXPECT_NEAR(responseAt(c, 1000).real(), -1.0, 1e-9) << type;
        for (const double hz : {30.0, 1000.0, 9000.0})
            EXPECT_NEAR(std::abs(responseAt(c, hz)), 1.0, 1e-12) << type << " at " << hz;
    }
}

TEST(DesignSection, FeedbackTravelsNegated) {
    const SectionCoefficients c = DesignSection(kPeq, 1000, 1.41f, 6.0);
    EXPECT_NEAR(c.a1, -1.919976, 5e-7);
    const auto words = coefficientWords(c);
    EXPECT_EQ(words[0], std::bit_cast<std::uint32_t>(static_cast<float>(-c.a1)));
    EXPECT_EQ(words[1], std::bit_cast<std::uint32_t>(static_cast<float>(-c.a2)));
    EXPECT_EQ(words[2], std::bit_cast<std::uint32_t>(static_cast<float>(c.b0)));
    EXPECT_NEAR(std::bit_cast<float>(words[0]), 1.919976f, 1e-6f);
}

TEST(BandRecord, CodesRoundAsTheUnitExpects) {
    const struct {
        float gain;
        int code;
    } gains[] = {{0.0f, 150},  {0.05f, 151}, {-0.04f, 150}, {-15.0f, 0}, {-14.96f, 0},
                 {15.0f, 300}, {3.0f, 180},  {-0.3f, 147},  {-20.0f, 0}};
    for (const auto& g : gains) {
        const auto bytes = BandRecord{g.gain, 1000, 1.0f, kPeq}.encode();
        EXPECT_EQ((bytes[0] << 8) | bytes[1], g.code) << g.gain;
    }
    const struct {
        float q;
        int code;
    } qs[] = {{1.41f, 1410}, {0.707f, 707}, {1.414f, 1414}, {30.0f, 30000}, {100.0f, 65535}};
    for (const auto& q : qs) {
        const auto bytes = BandRecord{0.0f, 1000, q.q, kPeq}.encode();
        EXPECT_EQ((bytes[4] << 8) | bytes[5], q.code) << q.q;
    }
}

TEST(BandRecord, EncodesBigEndianAndDecodesBack) {
    const BandRecord r{3.0f, 25, 1.414f, kPeq};
    const auto bytes = r.encode();
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 7>{0x00, 0xB4, 0x00, 0x19, 0x05, 0x86, 0x01}));
    const BandRecord back = BandRecord::decode(bytes.data());
    EXPECT_EQ(back.gain, 3.0f);
    EXPECT_EQ(back.freq, 25);
    EXPECT_EQ(back.q, 1.414f);
    EXPECT_EQ(back.type, kPeq);

    const std::uint8_t top[7] = {0x01, 0x2C, 0x4E, 0x20, 0x75, 0x30, 0x15};
    const BandRecord high = BandRecord::decode(top);
    EXPECT_EQ(high.gain, 15.0f);
    EXPECT_EQ(high.freq, 20000);
    EXPECT_EQ(high.q, 30.0f);
    EXPECT_EQ(high.type, kBw4bHp);
}

TEST(FilterBanks, TileTheRegisterBlock) {
    int next = 0;
    for (int bank = 1; bank <= kBankCount; ++bank) {
        EXPECT_EQ(bankBase(bank), next) << bank;
        EXPECT_EQ(recordOffset(bank, 1), next + 7);
        next += 7 * bankSections(bank);
    }
    EXPECT_EQ(next, 1141);
    for (const int outside : {0, 10, -1})
        EXPECT_EQ(bankBase(outside), 0);
}

}  // namespace
}  // namespace v36
