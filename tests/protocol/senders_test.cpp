#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "protocol/bytes.h"
#include "protocol/codecs.h"
#include "protocol/sender_fixture.h"

namespace v36 {
namespace {

using test::headerOf;
using test::ParamHeader;
using test::reportOf;
using test::SenderFixture;
using test::wordOf;

TEST(SendCommand, BuildsReportsFromValueLists) {
    struct Case {
        std::vector<int> values;
        Report expected;
    };
    std::vector<int> seventy(70);
    for (int i = 0; i < 70; ++i)
        seventy[static_cast<std::size_t>(i)] = i + 1;
    Report firstSixty{};
    firstSixty[0] = 2;
    for (int i = 0; i < 60; ++i)
        firstSixty[static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(i + 1);

    const Case cases[] = {
        {{128, -1}, reportOf({0x02, 0x80})},
        {{134, 4, 117, 20, -1}, reportOf({0x02, 0x86, 0x04, 0x75, 0x14})},
        {{9, 256, -2, -1}, reportOf({0x02, 0x09, 0x00, 0xFE})},
        {{255, -1}, reportOf({0x02, 0xFF})},
        {{3, 1, -1, 7}, reportOf({0x02, 0x03, 0x01})},
        {seventy, firstSixty},
    };
    for (const auto& c : cases) {
        SenderFixture f;
        EXPECT_EQ(f.ctx.senders.sendCommand(c.values), 61);
        ASSERT_EQ(f.sent().size(), 1u);
        EXPECT_EQ(f.sent()[0], c.expected);
    }
}

TEST(Senders, ParameterReports) {
    SenderFixture f;
    auto& s = f.ctx.senders;
    s.sendParam(5, 28, 0.5f, 1);
    s.sendInt(1, 37, 1);
    s.sendParam(4, 16, 1.0f, 2);
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], reportOf({0x02, 0x09, 0x00, 0x05, 0x1C, 0x01, 0x3F, 0x00, 0x00, 0x00}));
    EXPECT_EQ(sent[1], reportOf({0x02, 0x09, 0x00, 0x01, 0x25, 0x01, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_EQ(sent[2], reportOf({0x02, 0x09, 0x00, 0x04, 0x10, 0x02, 0x3F, 0x80, 0x00, 0x00, 0x3F,
                                 0x80, 0x00, 0x00}));
}

TEST(Senders, CompressorWordsMatchTheWorkedBytes) {
    struct Case {
        float attack, release, ratio;
        std::uint32_t w2, w5, w6;
    };
    const Case cases[] = {
        {1.0f, 100.0f, 4.0f, 0x3F400000, 0x3CA8E6C0, 0x395A7000},
        {10.0f, 1000.0f, 1.0f, 0x00000000, 0x3B086400, 0x37AF0000},
    };
    for (const auto& c : cases) {
        const auto words = compressorWords(-20.0f, c.ratio, c.attack, c.release);
        EXPECT_EQ(words[0], floatBits(-20.0f));
        EXPECT_EQ(words[1], 0u);
        EXPECT_EQ(words[2], c.w2);
        EXPECT_EQ(words[3], 0x41A00000u);
        EXPECT_EQ(words[4], 0x3D4CCCCDu);
        EXPECT_EQ(words[5], c.w5);
        EXPECT_EQ(words[6], c.w6);
        // The unit's answer decodes back to what was set, half a sample on.
        const CompressorValues v = decodeCompressorWords(words);
        const float halfSample = 0.5f / 48.0f;
        EXPECT_FLOAT_EQ(v.ratio, c.ratio);
        EXPECT_NEAR(v.attackMs, c.attack + halfSample, c.attack * 1e-4f);
        EXPECT_NEAR(v.releaseMs, c.release + halfSample, c.release * 1e-2f);
    }
}

TEST(Senders, CompressorOfAGroupGoesAsOneSevenWordReport) {
    SenderFixture f;
    auto& p = f.ctx.store.params;
    p.setFloat(outSub.compThreshold(), -10.0f);
    p.setFloat(outSub.compRatio(), 4.0f);
    p.setFloat(outSub.compAttack(), 10.0f);
    p.setFloat(outSub.compRelease(), 100.0f);
    f.ctx.senders.sendWord(outSub.compRatio());
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(headerOf(sent[0]), (ParamHeader{8, 27, 7}));
    EXPECT_EQ(wordOf(sent[0], 2), 0x3F400000u);
    EXPECT_EQ(wordOf(sent[0], 5), floatBits(1.0f - std::exp(-1.0f / 480.0f)));
    EXPECT_EQ(wordOf(sent[0], 6), floatBits(1.0f - std::exp(-1.0f / 4800.0f)));
}

TEST(Senders, MusicMuteFadesInWhenUnmuted) {
    SenderFixture f;
    f.ctx.senders.sendMusicMute(true);
    ASSERT_EQ(f.sent().size(), 1u);
    EXPECT_EQ(headerOf(f.sent()[0]), (ParamHeader{4, 16, 2}));
    EXPECT_EQ(wordOf(f.sent()[0], 0), 0u);
    EXPECT_EQ(wordOf(f.sent()[0], 1), 0u);
    EXPECT_TRUE(f.pauses.empty());

    f.transport.clear();
    f.ctx.senders.sendMusicMute(false);
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 10u);
    for (std::size_t k = 0; k < 10; ++k) {
        const float expected = k < 9 ? static_cast<float>(k) / 10.0f : 1.0f;
        EXPECT_EQ(headerOf(sent[k]), (ParamHeader{4, 16, 2}));
        EXPECT_EQ(wordOf(sent[k], 0), floatBits(expected)) << k;
        EXPECT_EQ(wordOf(sent[k], 1), floatBits(expected)) << k;
    }
    EXPECT_EQ(f.pauses, std::vector<std::chrono::milliseconds>(9, std::chrono::milliseconds(30)));
}

// Each word kind encoded as the pages send it.
TEST(Senders, StoreWordsByKind) {
    using Words = std::vector<std::uint32_t>;
    struct Case {
        const char* name;
        std::uint32_t stored;  // raw store word
        std::vector<ParamHeader> headers;
        Words words;  // the words of each report
    };
    const std::uint32_t one = floatBits(1.0f);
    const Case cases[] = {
        {"micVolume", 85, {{1, 30, 1}, {1, 43, 1}}, {floatBits(0.85f)}},
        {"echoVolume", 100, {{2, 28, 2}}, {one, one}},
        {"micMute", 1, {{1, 42, 1}, {1, 55, 1}}, {0u}},
        {"outMain.mute", 0, {{5, 41, 2}}, {one, one}},
        {"outCenter.mute", 1, {{7, 22, 1}}, {0u}},
        {"micAEqBypass", 1, {{1, 37, 1}}, {1u}},
        {"musicPitch", static_cast<std::uint32_t>(-5), {{4, 20, 1}}, {0u}},
        {"musicPitch", 5, {{4, 20, 1}}, {10u}},
        {"micGateThreshold[0]", 12345, {{1, 60, 1}}, {floatBits(static_cast<float>(12345 / 1e4))}},
        {"micGateAttack", 250, {{1, 64, 1}}, {floatBits(static_cast<float>(250 / 1e5))}},
        {"musicGateRelease", 3, {{4, 23, 1}}, {floatBits(static_cast<float>(3 / 1e7))}},
        {"musicAgcLevel", floatBits(-12.0f), {{4, 19, 1}}, {floatBits(-12.0f)}},
        {"echoATime[2]", floatBits(217.0f), {{2, 18, 1}}, {10416u}},
        {"reverbAParam18", floatBits(50.0f), {{3, 18, 1}, {3, 19, 1}}, {floatBits(0.5f)}},
        {"outRear.delayFilterMode[1]", 1, {{6, 26, 2}}, {one, 0u}},
        {"outRear.delayFilterMode[0]", 0, {{6, 25, 2}}, {one, one}},
    };
    for (const auto& c : cases) {
        SenderFixture f;
        const int word = *findWord(c.name);
        f.ctx.store.params.setRaw(word, c.stored);
        f.ctx.senders.sendWord(word);
        const auto sent = f.sent();
        ASSERT_EQ(sent.size(), c.headers.size()) << c.name;
        for (std::size_t k = 0; k < sent.size(); ++k) {
            EXPECT_EQ(headerOf(sent[k]), c.headers[k]) << c.name;
            Words words;
            for (int i = 0; i < c.headers[k].count; ++i)
                words.push_back(wordOf(sent[k], i));
            EXPECT_EQ(words, c.words) << c.name;
        }
    }
}

TEST(RegisterPages, ReadAllAsksForEveryPage) {
    SenderFixture f;
    f.ctx.senders.readAllRegisters();
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 23u);
    for (std::size_t p = 0; p < 20; ++p) {
        const int offset = 56 * static_cast<int>(p);
        EXPECT_EQ(sent[p], reportOf({0x02, 0x86, offset >> 8, offset & 0xFF, 56}));
    }
    EXPECT_EQ(sent[20], reportOf({0x02, 0x86, 0x04, 0x60, 0x15}));
    EXPECT_EQ(sent[21], reportOf({0x02, 0x86, 0x04, 0x75, 0x14}));
    EXPECT_EQ(sent[22], reportOf({0x02, 0x86, 0x04, 0x89, 0x20}));
}

TEST(RegisterPages, WriteAllSendsTheWholeSpace) {
    SenderFixture f;
    f.ctx.store.registers.set(1140, 0xAB);
    SoundFieldGeometry g = f.ctx.store.soundField.get();
    g.listenerX = -0.5f;
    f.ctx.store.soundField.set(g);
    f.ctx.senders.writeAllRegisters();
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 23u);
    EXPECT_EQ(sent[20][4], 21);
    EXPECT_EQ(sent[20][5 + 20], 0xAB);
    // The geometry is encoded into its block before it goes.
    EXPECT_EQ(sent[21][4], 20);
    EXPECT_EQ(sent[21][5 + 2], 0x85);
    EXPECT_EQ(f.ctx.store.soundFieldBlock.at(2), 0x85);
    EXPECT_EQ(sent[22][4], 32);
}

TEST(RegisterPages, SendAllBandsCoversEveryEqBandButNoSplitFilter) {
    SenderFixture f;
    f.ctx.senders.sendAllBands();
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 30u + 14 + 14 + 15 + 24 + 10 + 10 + 20 + 10);
    EXPECT_EQ(headerOf(sent.front()), (ParamHeader{1, 0, 5}));
    EXPECT_EQ(headerOf(sent.back()), (ParamHeader{9, 9, 5}));
    // Default bands are 0 dB peaking sections: B1 equals A1, so -A1 = -B1.
    EXPECT_EQ(wordOf(sent[0], 0), floatBits(-bitsFloat(wordOf(sent[0], 3))));
}

}  // namespace
}  // namespace v36
