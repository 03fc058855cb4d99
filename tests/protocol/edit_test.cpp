// The one edit model: the words, sections, room and trims an edit stores,
// the reports its sends make, the rules every front end shares, undo and
// redo, and sends coalesced behind a slow unit.
#include "protocol/edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <thread>

#include "protocol/bytes.h"
#include "protocol/output_delay.h"
#include "protocol/sender_fixture.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36 {
namespace {

using test::headerOf;
using test::ParamHeader;
using test::reportOf;
using test::SenderFixture;
using test::wordOf;

int word(const char* name) {
    const auto w = findWord(name);
    EXPECT_TRUE(w.has_value()) << name;
    return w.value_or(0);
}

TEST(Edit, ValuesAreReadOrRefusedWithTheReason) {
    struct Case {
        const char* name;
        const char* text;
        double number;    // the same value as a JSON number
        const char* why;  // empty: accepted
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"micVolume", "60", 60, ""},
        {"micVolume", "100", 100, "micVolume lies within 0..99"},
        {"musicPitch", "-5", -5, ""},
        {"musicPitch", "9", 9, "musicPitch lies within -5..5"},
        {"micMute", "0.5", 0.5, "micMute takes a whole number"},
        {"micMute", "nan", nan, "micMute takes a whole number"},
        {"outSub.compRatio", "4.5", 4.5, ""},
        {"outSub.compRatio", "0.5", 0.5, "outSub.compRatio lies within 1..30"},
        {"outSub.compRatio", "inf", std::numeric_limits<double>::infinity(),
         "outSub.compRatio takes a number"},
        // The page's ranges hold for everyone.
        {"outMain.level[0]", "300", 300, "outMain.level[0] lies within 0..100 %"},
        {"outSub.level[3]", "300", 300, ""},
        {"outMain.delayMs[0]", "1000", 1000, "outMain.delayMs[0] lies within 1.5..100 ms"},
        {"outMain.delayMs[0]", "1.5", 1.5, ""},
        {"micAFreqMode", "1", 1, "micAFreqMode follows another parameter and is not set by itself"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.text);
        const int w = word(c.name);
        std::string whyText;
        std::string whyNumber;
        const auto fromText = parseWordValue(w, c.text, whyText);
        const auto fromNumber = checkWordValue(w, c.number, whyNumber);
        EXPECT_EQ(fromText.has_value(), *c.why == '\0');
        EXPECT_EQ(fromNumber.has_value(), *c.why == '\0');
        EXPECT_EQ(whyText, c.why);
        EXPECT_EQ(whyNumber, c.why);
        if (fromText && fromNumber) {
            EXPECT_EQ(fromText->i, fromNumber->i);
            EXPECT_EQ(fromText->f, fromNumber->f);
        }
    }
}

TEST(Edit, EveryWordHasAControlWithNamesAndARangeItsDefaultsFit) {
    ParamStore store;
    store.resetToDefaults();
    for (const ControlInfo& c : controlTable()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.name, wordInfo(c.word).name);
        EXPECT_FALSE(c.zh.empty());
        EXPECT_FALSE(c.en.empty());
        EXPECT_LE(c.lo, c.hi);
        EXPECT_GT(c.step, 0.0);
        EXPECT_EQ(c.toggle, c.mergeKey.empty() && c.rule != ControlRule::DelayMode &&
                                c.rule != ControlRule::Derived);
    }
}

TEST(Edit, WordsThatCarryOthersStoreAndSendThemToo) {
    SenderFixture f;
    ParamStore& store = f.ctx.store;

    // A frequency shift stores its mode word, sent by the shift's sender.
    f.apply(wordEdit(store, w::micAFreq, 3));
    EXPECT_EQ(store.params.getInt(w::micAFreq), 3);
    EXPECT_EQ(store.params.getInt(w::micAFreqMode), 0);
    auto sent = f.sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], reportOf({0x02, 0x09, 0x00, 0x01, 40, 0x01, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(headerOf(sent[1]), (ParamHeader{1, 38, 1}));
    EXPECT_EQ(wordOf(sent[1], 0), floatBits(static_cast<float>(3 * 6.283185307179586 / 48000.0)));
    EXPECT_EQ(headerOf(sent[2]), (ParamHeader{1, 39, 1}));
    EXPECT_EQ(wordOf(sent[2], 0), 2800u);
    // Shift off: only the mode word goes.
    f.transport.clear();
    f.apply(wordEdit(store, w::micBFreq, 1));
    EXPECT_EQ(store.params.getInt(w::micBFreqMode), 1);
    sent = f.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], reportOf({0x02, 0x09, 0x00, 0x01, 53, 0x01, 0x00, 0x00, 0x00, 0x01}));

    // A reverb time keeps whole units.
    f.apply(wordEdit(store, w::reverbAParam18, 12.7));
    EXPECT_EQ(store.params.getFloat(w::reverbAParam18), 12.0f);
}

TEST(Edit, OutputDelayIsRaisedToOneAndAHalfMilliseconds) {
    SenderFixture f;
    const ParamStore& store = f.ctx.store;
    f.apply(wordEdit(store, outMain.delayMs(0), 1.0));
    f.apply(wordEdit(store, outCenter.delayMs(0), 12.34));
    f.apply(wordEdit(store, outRear.delayMs(1), 100.0));
    // A delay that is not a number (a damaged file, a bad script value) goes
    // out as the shortest delay, not as 0 samples.
    f.apply(wordEdit(store, outSub.delayMs(0), std::nan("")));
    EXPECT_EQ(store.params.getFloat(outMain.delayMs(0)), 1.5f);
    EXPECT_EQ(store.params.getFloat(outSub.delayMs(0)), 1.5f);
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[3], reportOf({0x02, 0x09, 0x00, 0x08, 0x1D, 0x01, 0x00, 0x00, 0x00, 0x48}));
    EXPECT_EQ(sent[0], reportOf({0x02, 0x09, 0x00, 0x05, 0x23, 0x01, 0x00, 0x00, 0x00, 0x48}));
    EXPECT_EQ(headerOf(sent[1]), (ParamHeader{7, 19, 1}));
    EXPECT_EQ(wordOf(sent[1], 0), 592u);
    EXPECT_EQ(headerOf(sent[2]), (ParamHeader{6, 22, 1}));
    EXPECT_EQ(wordOf(sent[2], 0), 4800u);
}

TEST(Edit, PredelayTapsMoveTogetherAboveTheirFloor) {
    SenderFixture f;
    const ParamStore& store = f.ctx.store;
    f.apply(wordEdit(store, w::echoATime, 1.0));       // a predelay below 3 ms
    f.apply(wordEdit(store, w::echoBTime + 1, 25.0));  // either tap sets both
    EXPECT_EQ(store.params.getFloat(w::echoATime), 1.5f);
    EXPECT_EQ(store.params.getFloat(w::echoATime + 1), 1.5f);
    EXPECT_EQ(store.params.getFloat(w::echoBTime), 25.0f);
    EXPECT_EQ(store.params.getFloat(w::echoBTime + 1), 25.0f);
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(headerOf(sent[0]), (ParamHeader{2, 16, 1}));
    EXPECT_EQ(wordOf(sent[0], 0), 72u);
    EXPECT_EQ(headerOf(sent[1]), (ParamHeader{2, 17, 1}));
    EXPECT_EQ(headerOf(sent[3]), (ParamHeader{2, 24, 1}));
    EXPECT_EQ(wordOf(sent[3], 0), 1200u);
}

TEST(Edit, CompressorValueSendsTheGroupWithWholeTimes) {
    SenderFixture f;
    ParamBlock& p = f.ctx.store.params;
    p.setFloat(outMain.compAttack(), 10.0105f);  // as a unit may report it
    p.setFloat(outMain.compRelease(), 99.9f);
    f.apply(wordEdit(f.ctx.store, outMain.compRatio(), 4.0));
    EXPECT_EQ(p.getFloat(outMain.compRatio()), 4.0f);
    EXPECT_EQ(p.getFloat(outMain.compAttack()), 10.0f);
    EXPECT_EQ(p.getFloat(outMain.compRelease()), 99.0f);
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(headerOf(sent[0]), (ParamHeader{5, 33, 7}));
    // 10 ms of attack: 3B 08 64 00 as the page sends it.
    EXPECT_EQ(wordOf(sent[0], 5), 0x3B086400u);
}

TEST(Edit, SpeakerTrimWritesTheBlockAndItsLevel) {
    SenderFixture f;
    f.apply(Edit().speakerLevel(5, 0.0f));
    f.apply(Edit().speakerLevel(1, -6.0f));
    EXPECT_EQ(f.ctx.store.speakerLevel(1), -6.0f);
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 4u);
    // The whole speaker block goes to offset 1161, then the six words.
    EXPECT_EQ(sent[0][1], 133);
    EXPECT_EQ(sent[0][2], 0x04);
    EXPECT_EQ(sent[0][3], 0x89);
    EXPECT_EQ(sent[0][4], 32);
    EXPECT_EQ(headerOf(sent[1]), (ParamHeader{8, 33, 6}));
    const std::uint32_t flat[6] = {0x3F800000, 0x3F800000, 0x3F7EFF25,
                                   0xBFFF7EF1, 0x3F800000, 0x3F800000};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(wordOf(sent[1], k), flat[k]) << k;
    // -6 dB: the trim word of Main R sits big-endian at block bytes 4..7.
    EXPECT_EQ(sent[2][5 + 4], 0xC0);
    EXPECT_EQ(sent[2][5 + 5], 0xC0);
    EXPECT_EQ(headerOf(sent[3]), (ParamHeader{5, 43, 6}));
    const double x = -6.0;
    EXPECT_EQ(wordOf(sent[3], 1), floatBits(static_cast<float>(std::pow(10.0, x / 20.0))));
    EXPECT_EQ(wordOf(sent[3], 0), floatBits(static_cast<float>(std::pow(
                                      10.0, (0.0022594517 * x * x + 0.799902 * x) / 20.0))));
}

TEST(Edit, SectionStoresItsRecordAndSendsRecordAndCoefficients) {
    SenderFixture f;
    f.apply(Edit().section({5, 0, 1, 3.0f, 25, 1.414f}));
    EXPECT_EQ(f.ctx.store.record(5, 0).encode(),
              (std::array<std::uint8_t, 7>{0x00, 0xB4, 0x00, 0x19, 0x05, 0x86, 0x01}));
    auto sent = f.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0],
              reportOf({0x02, 0x85, 0x01, 0xFF, 0x07, 0x00, 0xB4, 0x00, 0x19, 0x05, 0x86, 0x01}));
    EXPECT_EQ(headerOf(sent[1]), (ParamHeader{5, 0, 5}));

    // The coefficients travel with negated feedback.
    f.transport.clear();
    f.apply(Edit().section({4, 3, kPeq, 6.0f, 1000, 1.41f}));
    sent = f.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][1], 133);
    EXPECT_EQ(headerOf(sent[1]), (ParamHeader{4, 3, 5}));
    EXPECT_NEAR(bitsFloat(wordOf(sent[1], 0)), 1.919976f, 1e-6f);

    // Gains at the bottom of the range truncate to code 0.
    for (float gain : {-15.0f, -14.96f}) {
        f.ctx.store.setRecord(1, 0, {gain, 100, 1.0f, 1});
        EXPECT_EQ(f.ctx.store.registers.at(0), 0);
        EXPECT_EQ(f.ctx.store.registers.at(1), 0);
    }
}

TEST(Edit, DelayModeKeepsTheSplitPair) {
    SenderFixture f;
    ParamStore& store = f.ctx.store;
    // Rear R to channel mode: mode words, then its sections as flat peaking
    // sections at the pair found from the high-pass section (default 500 Hz).
    f.apply(wordEdit(store, outRear.delayFilterMode(1), 1));
    auto sent = f.sent();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0], reportOf({0x02, 0x09, 0x00, 0x06, 0x1A, 0x02, 0x3F, 0x80, 0x00, 0x00, 0x00,
                                 0x00, 0x00, 0x00}));
    EXPECT_EQ(sent[1],
              reportOf({0x02, 0x85, 0x03, 0x17, 0x07, 0x00, 0x96, 0x01, 0xF4, 0x02, 0xC3, 0x01}));
    EXPECT_EQ(headerOf(sent[2]), (ParamHeader{6, 12, 5}));
    EXPECT_EQ(sent[3][2] * 256 + sent[3][3], 707 + 7 * 13);
    EXPECT_EQ(headerOf(sent[4]), (ParamHeader{6, 13, 5}));
    // Back to high-frequency mode: the same pair as filters.
    const auto back = wordEdit(store, outRear.delayFilterMode(1), 0).sectionValues();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].type, kHighPass);
    EXPECT_EQ(back[0].freq, 500);

    // Sub split to pair 5: high-pass 1000 Hz, low-pass 1500 Hz.
    f.transport.clear();
    f.apply(Edit().sections(outSub.block, splitSections(outSub, 0, 5, true)));
    EXPECT_EQ(splitPairOf(store, outSub, 0), 5);
    sent = f.sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0][5 + 2], 0x03);  // 1000 Hz
    EXPECT_EQ(sent[0][5 + 3], 0xE8);
    EXPECT_EQ(sent[0][5 + 6], kHighPass);
    EXPECT_EQ(sent[2][5 + 2], 0x05);  // 1500 Hz
    EXPECT_EQ(sent[2][5 + 3], 0xDC);
    EXPECT_EQ(sent[2][5 + 6], kLowPass);

    // A high-pass frequency that matches no pair shows pair 0.
    store.setRecord(8, 20, {0.0f, 630, 0.707f, kHighPass});
    EXPECT_EQ(splitPairOf(store, outSub, 0), 0);
}

TEST(Edit, UndoAndRedoPutTheValuesBackThroughTheSameSends) {
    SenderFixture f;
    ParamStore& store = f.ctx.store;
    store.params.setInt(w::musicVolume, 30);
    const Edit applied = f.ctx.editor.apply(wordEdit(store, w::musicVolume, 55));
    f.ctx.writer.waitIdle();
    f.ctx.editor.undo(applied);
    f.ctx.writer.waitIdle();
    EXPECT_EQ(store.params.getInt(w::musicVolume), 30);
    f.ctx.editor.redo(applied);
    f.ctx.writer.waitIdle();
    EXPECT_EQ(store.params.getInt(w::musicVolume), 55);
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(wordOf(sent[0], 0), floatBits(0.55f));
    EXPECT_EQ(wordOf(sent[1], 0), floatBits(0.30f));
    EXPECT_EQ(wordOf(sent[2], 0), floatBits(0.55f));

    // Nothing goes out while the link is closed; the store keeps the edit.
    f.ctx.link.detach();
    f.transport.clear();
    f.apply(wordEdit(store, w::musicVolume, 20));
    EXPECT_EQ(store.params.getInt(w::musicVolume), 20);
    EXPECT_TRUE(f.sent().empty());
}

TEST(Edit, MergedStepKeepsTheFirstOldValueAndTheNewestValue) {
    SenderFixture f;
    ParamStore& store = f.ctx.store;
    Edit first = f.ctx.editor.apply(wordEdit(store, w::micVolume, 10));
    const Edit second = f.ctx.editor.apply(wordEdit(store, w::micVolume, 20));
    ASSERT_TRUE(first.canMerge(second));
    EXPECT_FALSE(first.canMerge(f.ctx.editor.apply(wordEdit(store, w::effectVolume, 5))));
    first.merge(second);
    f.ctx.editor.undo(first);
    EXPECT_EQ(store.params.getInt(w::micVolume), 0);
    f.ctx.editor.redo(first);
    EXPECT_EQ(store.params.getInt(w::micVolume), 20);
    // A switch is never merged: each change is a step.
    EXPECT_TRUE(wordEdit(store, w::micMute, 1).key().empty());
}

// A slow unit: each report waits for its answer, which the test gives.
struct SlowFixture : SenderFixture {
    SlowFixture() {
        transport.setAnswering(false);
        ctx.link.setResponseWait(std::chrono::milliseconds(2000));
    }
};

TEST(Edit, SendsWaitingBehindASlowUnitAreCoalescedByTarget) {
    SlowFixture f;
    ParamStore& store = f.ctx.store;
    // The first edit's report goes at once and holds the writer until its
    // answer comes; everything after it waits in the queue.
    f.ctx.editor.apply(wordEdit(store, w::effectVolume, 1));
    EqGraphModel m;
    m.selectEq(kEqMusic);
    for (int step = 1; step <= 20; ++step) {
        f.ctx.editor.apply(wordEdit(store, w::musicVolume, step));
        m.setGain(3, static_cast<float>(step) / 2.0f);
        f.ctx.editor.apply(bandEdit(kEqMusic, m.bands(), 3));
    }
    // One queued job for the volume and the band, with the newest values.
    EXPECT_LE(f.ctx.writer.pending(), 3u);
    while (f.ctx.writer.pending() > 0) {
        f.ctx.link.responseEvent.set();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The effect volume's two reports, the music volume's, the band's record
    // and coefficients.
    const auto sent = f.sent();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(headerOf(sent[2]), (ParamHeader{4, 15, 2}));
    EXPECT_EQ(wordOf(sent[2], 0), floatBits(0.20f));
    EXPECT_EQ(store.record(4, 3).gain, 10.0f);
    const auto record = store.record(4, 3).encode();
    EXPECT_TRUE(std::equal(record.begin(), record.end(), sent[3].begin() + 5));
}

TEST(Edit, RoomLevelsFollowTheListener) {
    SoundFieldGeometry g = decodeSoundFieldBytes(kDefaultSoundField.data());
    Edit edit;
    addSoundField(edit, g);
    SenderFixture f;
    f.apply(std::move(edit));
    // Main L at (-1, +1) from the listener in the middle: 3 - 3 * sqrt(2).
    EXPECT_FLOAT_EQ(f.ctx.store.speakerLevel(0), static_cast<float>(3.0 - 3.0 * std::sqrt(2.0)));
    // Center at (0, +1): 0 dB; the Sub (room speaker 4) is trim 5.
    EXPECT_FLOAT_EQ(f.ctx.store.speakerLevel(4), 0.0f);
    EXPECT_EQ(speakerTrimOfRoomSpeaker(4), 5);
}

}  // namespace
}  // namespace v36
