#include "protocol/eq_access.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "dsp/crossover.h"
#include "dsp/eq_model.h"
#include "protocol/edit.h"
#include "protocol/sender_fixture.h"
#include "protocol/words.h"

namespace v36 {
namespace {

using test::headerOf;
using test::ParamHeader;
using test::SenderFixture;
using test::wordOf;

BandRecord storedRecord(const ParamStore& store, int bank, int section) {
    return store.record(bank, section);
}

std::array<std::uint8_t, 7> recordBytesOf(const Report& r) {
    return {r[5], r[6], r[7], r[8], r[9], r[10], r[11]};
}

// The coefficient words a report carries.
std::array<std::uint32_t, 5> wordsOf(const Report& r) {
    return {wordOf(r, 0), wordOf(r, 1), wordOf(r, 2), wordOf(r, 3), wordOf(r, 4)};
}

TEST(EqAccess, ReadsRecordsInWorkingCopyOrder) {
    SenderFixture f;
    const ParamStore& store = f.ctx.store;
    // Start-up contents: the 15-band EQs carry 998 Hz at band 8.
    EXPECT_EQ(readEqRecord(store, kEqMusic, 8).freq, 998);
    const auto micB = readEqRecords(store, kEqMicB);
    ASSERT_EQ(micB.size(), 15u);
    EXPECT_EQ(micB[0].freq, 25);
    EXPECT_EQ(micB[7].type, kLowShelf);
    EXPECT_EQ(readEqRecords(store, kEqEchoB)[6].freq, 2000);

    // Subwoofer: points first, then the hidden records.
    for (int s = 0; s < 20; ++s) {
        const auto bytes = BandRecord{0.0f, 100 + s, 1.0f, kPeq}.encode();
        f.ctx.store.registers.write(static_cast<std::size_t>(recordOffset(8, s)), bytes.data(),
                                    bytes.size());
    }
    const auto sub = readEqRecords(store, kEqSub);
    ASSERT_EQ(sub.size(), 20u);
    const int expected[] = {0, 4, 8, 12, 16, 1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15, 17, 18, 19};
    for (std::size_t b = 0; b < sub.size(); ++b)
        EXPECT_EQ(sub[b].freq, 100 + expected[b]) << b;
    EXPECT_TRUE(readEqRecords(store, 12).empty());
}

TEST(EqAccess, SendsABandToItsSection) {
    SenderFixture f;
    EqGraphModel m;
    m.selectEq(kEqEchoB);
    m.setType(4, kPeq);
    m.setQ(4, 1.41f);
    m.setGain(4, 3.0f);
    m.setFrequency(4, 1000.7f);
    f.apply(bandEdit(kEqEchoB, m.bands(), 4));

    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 2u);
    // Bank 2 section 11: register offset 287, frequency truncated to 1000 Hz.
    EXPECT_EQ(sent[0], test::reportOf({0x02, 0x85, 0x01, 0x1F, 0x07, 0x00, 0xB4, 0x03, 0xE8, 0x05,
                                       0x82, 0x01}));
    EXPECT_EQ(headerOf(sent[1]), (ParamHeader{2, 11, 5}));
    EXPECT_EQ(wordsOf(sent[1]), coefficientWords(DesignSection(kPeq, 1000, 1.41f, 3.0f)));
    EXPECT_EQ(storedRecord(f.ctx.store, 2, 11).freq, 1000);
}

// What the unit runs for a subwoofer point: the four stored sections.
Curve unitPointCurve(const ParamStore& store, int point, const CurveAxis& axis) {
    Curve sum{};
    for (int s = 4 * point; s < 4 * point + 4; ++s) {
        const BandRecord r = storedRecord(store, 8, s);
        Curve c{};
        sectionCurve(DesignSection(r.type, r.freq, r.q, r.gain), axis, c);
        for (std::size_t i = 0; i < sum.size(); ++i)
            sum[i] += c[i];
    }
    return sum;
}

TEST(EqAccess, SubwooferPointSendsItsFourSectionsAsDrawn) {
    SenderFixture f;
    EqGraphModel m;
    m.selectEq(kEqSub);
    m.setPlotWidth(640);
    m.setType(1, kPeq);
    m.setFrequency(1, 55.0f);
    m.setGain(1, 6.0f);
    // Sending a hidden record sends its whole point.
    f.apply(bandEdit(kEqSub, m.bands(), subHiddenBand(1, 2)));

    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 8u);
    for (int j = 0; j < 4; ++j) {
        SCOPED_TRACE(j);
        const Report& reg = sent[static_cast<std::size_t>(2 * j)];
        const int offset = recordOffset(8, 4 + j);
        EXPECT_EQ((std::array<int, 3>{reg[1], (reg[2] << 8) | reg[3], reg[4]}),
                  (std::array<int, 3>{0x85, offset, 7}));
        // Only the point's own section carries the gain: the hidden
        // sections are flat, as the graph draws them.
        const std::array<std::uint8_t, 7> record{
            0x00, j == 0 ? std::uint8_t{210} : std::uint8_t{150}, 0x00, 55, 0x05, 0x86, 0x01};
        EXPECT_EQ(recordBytesOf(reg), record);
        EXPECT_EQ(headerOf(sent[static_cast<std::size_t>(2 * j + 1)]), (ParamHeader{8, 4 + j, 5}));
    }

    Curve drawn{};
    m.selectedCurve(1, drawn);
    const Curve unit = unitPointCurve(f.ctx.store, 1, m.axis());
    const int pin = m.axis().pinIndex(55.0f);
    for (int i = 0; i < kCurvePoints; ++i) {
        if (i == pin) continue;  // the marker point is pinned to the gain
        ASSERT_NEAR(drawn[static_cast<std::size_t>(i)], unit[static_cast<std::size_t>(i)], 1e-3)
            << i;
    }
}

// Sends crossover family `family` on subwoofer point `point` made low-pass
// at `hz`; returns the reports and the four stored section types.
struct FamilySend {
    std::vector<Report> sent;
    std::array<int, 4> types{};
};
FamilySend sendFamily(int point, int family, float hz) {
    SenderFixture f;
    EqGraphModel m;
    m.selectEq(kEqSub);
    m.setType(point, kLowPass);
    m.setFrequency(point, hz);
    m.applyCrossoverFamily(point, family);
    f.apply(bandEdit(kEqSub, m.bands(), point));
    FamilySend out{f.sent(), {}};
    for (int j = 0; j < 4; ++j) {
        const BandRecord r = storedRecord(f.ctx.store, 8, 4 * point + j);
        out.types[static_cast<std::size_t>(j)] = r.type;
        EXPECT_EQ(r.freq, static_cast<int>(hz));
        EXPECT_EQ(r.gain, 0.0f);
    }
    EqGraphModel reloaded;
    loadEqFromStore(f.ctx.store, reloaded, kEqSub);
    EXPECT_EQ(classifySubPoint(subPointTypes(reloaded.bands(), point)),
              (SubPointShape{kLowPass, family}));
    return out;
}

TEST(EqAccess, SubwooferFamilyReachesTheUnit) {
    const FamilySend s = sendFamily(3, 3, 80.0f);  // LinkwitzRiely 48dB, low-pass side
    ASSERT_EQ(s.sent.size(), 8u);
    EXPECT_EQ(s.types, (std::array<int, 4>{18, 20, 18, 20}));
    for (int j = 0; j < 4; ++j) {
        const Report& r = s.sent[static_cast<std::size_t>(2 * j + 1)];
        EXPECT_EQ(headerOf(r), (ParamHeader{8, 12 + j, 5}));
        EXPECT_EQ(wordsOf(r), coefficientWords(DesignSection(s.types[static_cast<std::size_t>(j)],
                                                             80, 0.7f, 0.0)));
    }
}

// First-order sections have no second terms: -A2 and B2 must travel as four
// zero bytes. The sender negates A2 = 0.0 into a negative zero (80 00 00 00);
// enable once Senders::sendBiquad sends coefficientWords().
TEST(EqAccess, FirstOrderSectionsTravelWithZeroSecondTerms) {
    const FamilySend s = sendFamily(0, 0, 120.0f);  // LinkwitzRiely 12dB: 10, 10, 1, 1
    ASSERT_EQ(s.sent.size(), 8u);
    EXPECT_EQ(s.types, (std::array<int, 4>{10, 10, 1, 1}));
    for (const std::size_t k : {1u, 3u}) {
        EXPECT_EQ(wordOf(s.sent[k], 1), 0u);
        EXPECT_EQ(wordOf(s.sent[k], 4), 0u);
    }
}

TEST(EqAccess, ResetSendsTheDefaultSetWithMusicMuteWhereNeeded) {
    const struct {
        int eq;
        bool wrapped;
    } cases[] = {{kEqMusic, true},  {kEqSub, true},     {kEqRear, true},    {kEqMain, true},
                 {kEqMicA, false},  {kEqMicB, false},   {kEqCenter, false}, {kEqTop, false},
                 {kEqEchoB, false}, {kEqReverbA, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.eq);
        SenderFixture f;
        f.apply(eqResetEdit(c.eq));
        const auto sent = f.sent();
        const std::size_t bands = resetBands(c.eq).size();
        ASSERT_EQ(sent.size(), 2 * bands + (c.wrapped ? 11 : 0));
        const std::size_t first = c.wrapped ? 1 : 0;
        if (c.wrapped) {
            EXPECT_EQ(sent.front(), test::reportOf({0x02, 0x09, 0x00, 0x04, 0x10, 0x02}));
            EXPECT_EQ(headerOf(sent.back()), (ParamHeader{4, 16, 2}));
            EXPECT_EQ(wordOf(sent.back(), 0), floatBits(1.0f));
            EXPECT_EQ(f.pauses.size(), 9u);
        }
        EXPECT_EQ(f.ctx.store.params.getInt(w::musicMute), 0);
        // Register write, then coefficients, band by band.
        const auto set = resetBands(c.eq);
        for (std::size_t k = 0; k < bands; ++k) {
            const Report& reg = sent[first + 2 * k];
            const int offset = recordOffset(eqInfo(c.eq).bank, set[k].section);
            ASSERT_EQ(reg[1], 0x85);
            ASSERT_EQ((reg[2] << 8) | reg[3], offset);
            ASSERT_EQ(headerOf(sent[first + 2 * k + 1]),
                      (ParamHeader{eqInfo(c.eq).bank, set[k].section, 5}));
        }
    }
}

TEST(EqAccess, ResetOfMutedMusicLeavesTheMuteAlone) {
    SenderFixture f;
    f.ctx.store.params.setInt(w::musicMute, 1);
    f.apply(eqResetEdit(kEqMusic));
    EXPECT_EQ(f.sent().size(), 30u);
    EXPECT_EQ(f.ctx.store.params.getInt(w::musicMute), 1);
    EXPECT_EQ(storedRecord(f.ctx.store, 4, 8).freq, 1000);  // start-up 998
}

TEST(EqAccess, ResetUpdatesTheStoreWhileTheLinkIsClosed) {
    SenderFixture f;
    f.ctx.link.detach();
    f.apply(eqResetEdit(kEqSub));
    EXPECT_TRUE(f.sent().empty());

    EqGraphModel m;
    loadEqFromStore(f.ctx.store, m, kEqSub);
    EXPECT_EQ(classifySubPoint(subPointTypes(m.bands(), 4)), (SubPointShape{kLowPass, 9}));
    EXPECT_EQ(crossoverFamily(9).label, "Butterworth 24dB");
    EXPECT_EQ(m.band(4).freq, 100.0f);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(classifySubPoint(subPointTypes(m.bands(), k)), (SubPointShape{kPeq, 11})) << k;
}

TEST(EqAccess, LoadingAppliesTheHostTypeRange) {
    SenderFixture f;
    for (const int bank : {4, 7}) {
        const auto bytes = BandRecord{4.0f, 500, 1.0f, kBw2Hp}.encode();
        f.ctx.store.registers.write(static_cast<std::size_t>(recordOffset(bank, 2)), bytes.data(),
                                    bytes.size());
    }
    EqGraphModel m;
    loadEqFromStore(f.ctx.store, m, kEqMusic);
    EXPECT_EQ(m.bandCount(), 15);
    EXPECT_EQ(m.band(2).type, 0);
    EXPECT_EQ(m.band(7).type, kLowShelf);
    EXPECT_EQ(m.band(7).q, 0.707f);
    loadEqFromStore(f.ctx.store, m, kEqCenter);
    EXPECT_EQ(m.bandCount(), 10);
    EXPECT_EQ(m.band(2).type, kBw2Hp);
    EXPECT_EQ(m.band(2).gain, 0.0f);
}

TEST(EqAccess, LoadingGivesTheLimitsOfTheLoadedEq) {
    // A graph sized while it still showed another EQ holds that EQ's limits;
    // loading an EQ with the same band count gives the loaded EQ's own.
    const struct {
        int before, after;
        bool locked;
    } cases[] = {{kEqMusic, kEqCenter, false},
                 {kEqMicB, kEqRear, false},
                 {kEqMicA, kEqTop, false},
                 {kEqCenter, kEqMusic, true},
                 {kEqMicA, kEqMicB, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " -> " << c.after);
        SenderFixture f;
        EqGraphModel m;
        m.setEqNumber(c.before);
        m.setBandCount(eqBandCount(c.after));
        loadEqFromStore(f.ctx.store, m, c.after);
        m.setFrequency(7, 1234.0f);
        EXPECT_EQ(m.band(7).freq, c.locked ? 630.0f : 1234.0f);
        if (eqBandCount(c.after) > 10) {
            m.setFrequency(10, 1234.0f);
            EXPECT_EQ(m.band(10).freq, c.locked ? 2500.0f : 1234.0f);
        }
    }
}

TEST(EqAccess, BypassWordsToggleAndReachTheirAddresses) {
    const struct {
        int eq, block, index;
    } cases[] = {{kEqMusic, 4, 17},  {kEqMicA, 1, 37},    {kEqMicB, 1, 50},  {kEqReverbA, 3, 14},
                 {kEqEchoA, 2, 14},  {kEqReverbB, 3, 20}, {kEqEchoB, 2, 21}, {kEqSub, 8, 26},
                 {kEqCenter, 7, 16}, {kEqRear, 6, 18},    {kEqMain, 5, 32},  {kEqTop, 9, 18}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.eq);
        SenderFixture f;
        EXPECT_FALSE(isEqBypassed(f.ctx.store, c.eq));
        f.apply(eqBypassEdit(f.ctx.store, c.eq, true));
        EXPECT_TRUE(isEqBypassed(f.ctx.store, c.eq));
        f.apply(eqBypassEdit(f.ctx.store, c.eq, false));
        EXPECT_FALSE(isEqBypassed(f.ctx.store, c.eq));
        const auto sent = f.sent();
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0], test::reportOf({0x02, 0x09, 0x00, c.block, c.index, 0x01, 0, 0, 0, 1}));
        EXPECT_EQ(sent[1], test::reportOf({0x02, 0x09, 0x00, c.block, c.index, 0x01, 0, 0, 0, 0}));
    }
    EXPECT_EQ(eqBypassWord(12), -1);
}

}  // namespace
}  // namespace v36
