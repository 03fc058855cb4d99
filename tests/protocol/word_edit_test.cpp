// A word set by name (the command-line tool, the phones): how values are
// read and refused, and what the store and the unit receive.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "protocol/bytes.h"
#include "protocol/output_delay.h"
#include "protocol/word_edit.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36 {
namespace {

int word(const char* name) {
    const auto w = findWord(name);
    EXPECT_TRUE(w.has_value()) << name;
    return w.value_or(0);
}

TEST(WordEdit, ValuesAreReadOrRefusedWithTheReason) {
    struct Case {
        const char* name;
        const char* text;
        double number;    // the same value as a JSON number
        const char* why;  // empty: accepted
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"micVolume", "60", 60, ""},
        {"musicPitch", "-5", -5, ""},
        {"musicPitch", "9", 9, "musicPitch lies within -5..5"},
        {"micMute", "0.5", 0.5, "micMute takes a whole number"},
        {"micMute", "nan", nan, "micMute takes a whole number"},
        {"outSub.compRatio", "4.5", 4.5, ""},
        {"outSub.compRatio", "0.5", 0.5, "outSub.compRatio lies within 1..100"},
        {"outSub.compRatio", "inf", std::numeric_limits<double>::infinity(),
         "outSub.compRatio takes a number"},
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

TEST(WordEdit, WordsThatCarryOthersStoreAndSendThemToo) {
    ParamStore store;
    store.resetToDefaults();

    // A frequency shift sends its mode word with it (the shift's own sender).
    const WordEdit shift = planWordEdit(store, w::micAFreq, WordValue{1, 0.0f});
    ASSERT_EQ(shift.words.size(), 2u);
    EXPECT_EQ(shift.words[0].word, w::micAFreqMode);
    EXPECT_EQ(shift.words[0].raw, 1u);
    EXPECT_FALSE(shift.words[0].send);
    EXPECT_EQ(planWordEdit(store, w::micAFreq, WordValue{3, 0.0f}).words[0].raw, 0u);

    // A reverb time keeps whole units; a delay is raised to its floor.
    const WordEdit reverb = planWordEdit(store, w::reverbAParam18, WordValue{0, 12.7f});
    EXPECT_EQ(bitsFloat(reverb.words.at(0).raw), 12.0f);
    const WordEdit delay = planWordEdit(store, outMain.delayMs(0), WordValue{0, 0.2f});
    EXPECT_EQ(bitsFloat(delay.words.at(0).raw), kMinOutputDelayMs);

    // A delay mode brings its split pair: filters in high-frequency mode (0),
    // flat sections otherwise; storing writes both into the store.
    const int mode = outMain.delayFilterMode(0);
    const WordEdit high = planWordEdit(store, mode, WordValue{0, 0.0f});
    const WordEdit flat = planWordEdit(store, mode, WordValue{1, 0.0f});
    ASSERT_EQ(high.sections.size(), 2u);
    ASSERT_EQ(flat.sections.size(), 2u);
    EXPECT_EQ(high.bank, outMain.block);
    EXPECT_NE(high.sections[0].type, flat.sections[0].type);
    EXPECT_EQ(high.sections[0].freq, flat.sections[0].freq);
    storeWordEdit(store, high);
    EXPECT_EQ(store.params.getInt(mode), 0);
    EXPECT_EQ(planWordEdit(store, mode, WordValue{0, 0.0f}).sections, high.sections);
}

}  // namespace
}  // namespace v36
