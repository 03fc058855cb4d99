#include "protocol/output_delay.h"

#include <algorithm>
#include <cmath>

namespace v36 {

float outputDelayFloor(float ms) {
    if (std::isnan(ms)) return kMinOutputDelayMs;
    return std::max(ms, kMinOutputDelayMs);
}

float clampOutputDelay(float ms) {
    return std::min(outputDelayFloor(ms), kMaxOutputDelayMs);
}

int splitPairOf(const ParamStore& store, const OutputGroup& g, int channel) {
    const int freq = store.record(g.block, g.splitHighPass(channel)).freq;
    for (int i = 0; i < kSplitPairs; ++i) {
        if (splitHighPassHz(i) == freq) return i;
    }
    return 0;
}

std::array<SectionSetting, 2> splitSections(const OutputGroup& g, int channel, int pair,
                                            bool highFrequencyMode) {
    const int i = std::clamp(pair, 0, kSplitPairs - 1);
    return {{{g.splitHighPass(channel), highFrequencyMode ? kHighPass : kPeq, splitHighPassHz(i),
              0.0f, kSplitQ},
             {g.splitLowPass(channel), highFrequencyMode ? kLowPass : kPeq, splitLowPassHz(i), 0.0f,
              kSplitQ}}};
}

}  // namespace v36
