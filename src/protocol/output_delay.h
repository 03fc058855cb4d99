#pragma once

#include <array>

#include "dsp/eq_model.h"
#include "protocol/param_store.h"
#include "protocol/words.h"

namespace v36 {

// Output delays and the split filters of the delay page's high-frequency
// mode: the limits, the 26 split pairs and how a channel's pair is found.

// The eight delay channels in the delay page's order: Main L, Main R,
// Center, Sub, Rear L, Rear R, Top L, Top R.
struct DelayChannel {
    const OutputGroup* group;
    int channel;     // within the group
    const char* zh;  // UTF-8
    const char* en;
};
inline constexpr std::array<DelayChannel, 8> kDelayChannels{{
    {&outMain, 0, "前置左", "Main L"},
    {&outMain, 1, "前置右", "Main R"},
    {&outCenter, 0, "中置", "Center"},
    {&outSub, 0, "超低", "Sub"},
    {&outRear, 0, "后置左", "Rear L"},
    {&outRear, 1, "后置右", "Rear R"},
    {&outTop, 0, "顶置左", "Top L"},
    {&outTop, 1, "顶置右", "Top R"},
}};

constexpr float kMinOutputDelayMs = 1.5f;
constexpr float kMaxOutputDelayMs = 100.0f;

// What a delay is stored and sent as: raised to at least 1.5 ms; a value
// that is not a number becomes 1.5 ms.
float outputDelayFloor(float ms);
// A delay typed, stepped or dragged: within 1.5 .. 100 ms (a value that is
// not a number becomes 1.5 ms).
float clampOutputDelay(float ms);

// Split pair i (0..25): high-pass 500 + 100 i Hz, low-pass 1000 + 100 i Hz,
// both Q 0.707 at 0 dB.
constexpr int kSplitPairs = 26;
constexpr float kSplitQ = 0.707f;
constexpr int splitHighPassHz(int pair) {
    return 500 + 100 * pair;
}
constexpr int splitLowPassHz(int pair) {
    return 1000 + 100 * pair;
}

// The pair whose high-pass frequency the stored high-pass section of
// channel k of `group` has; 0 when none matches.
int splitPairOf(const ParamStore& store, const OutputGroup& group, int channel);

// The two split sections of channel k (sections of the group's bank) for
// pair `pair` (clamped to 0..25): high-pass and low-pass in high-frequency
// mode, flat peaking sections at the same frequencies in channel mode, so
// that the pair survives in the register block.
std::array<SectionSetting, 2> splitSections(const OutputGroup& group, int channel, int pair,
                                            bool highFrequencyMode);

}  // namespace v36
