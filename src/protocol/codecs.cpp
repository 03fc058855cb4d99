#include "protocol/codecs.h"

#include <cmath>

#include "protocol/bytes.h"

namespace v36 {

namespace {
constexpr double kTwoPi = 6.283185307179586;

// 1 - exp(-1 / (ms * 48)), each step rounded to single precision.
float timeCoefficient(float ms) {
    const float samples = ms * 48.0f;
    const float exponent = -1.0f / samples;
    const float e = std::exp(exponent);
    return 1.0f - e;
}

float msFromCoefficient(float coefficient) {
    return static_cast<float>((0.5 - 1.0 / std::log(1.0 - static_cast<double>(coefficient))) /
                              48.0);
}
}  // namespace

float levelToUnit(std::int32_t hundredths) {
    return static_cast<float>(hundredths) / 100.0f;
}

std::uint32_t msToSamples(double ms) {
    const double samples = ms * 48.0 + 0.5;
    if (!(samples > 0.0)) return 0;
    if (samples >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(samples);
}

std::array<std::uint32_t, 7> compressorWords(float threshold, float ratio, float attackMs,
                                             float releaseMs) {
    const float inverse = 1.0f / ratio;
    const float slope = 1.0f - inverse;
    return {floatBits(threshold),
            floatBits(0.0f),
            floatBits(slope),
            floatBits(20.0f),
            floatBits(0.05f),
            floatBits(timeCoefficient(attackMs)),
            floatBits(timeCoefficient(releaseMs))};
}

CompressorValues decodeCompressorWords(const std::array<std::uint32_t, 7>& words) {
    CompressorValues v{};
    v.threshold = bitsFloat(words[0]);
    v.ratio = static_cast<float>(1.0 / (1.0 - static_cast<double>(bitsFloat(words[2]))));
    v.attackMs = msFromCoefficient(bitsFloat(words[5]));
    v.releaseMs = msFromCoefficient(bitsFloat(words[6]));
    return v;
}

std::array<std::uint32_t, 6> speakerLevelWords(float db) {
    const auto x = static_cast<double>(db);
    const auto d = static_cast<float>(std::pow(10.0, x / 20.0));
    const auto c = static_cast<float>(std::pow(10.0, (0.0022594517 * x * x + 0.799902 * x) / 20.0));
    return {floatBits(c), floatBits(d), 0x3F7EFF25u, 0xBFFF7EF1u, floatBits(c), floatBits(d)};
}

float freqShiftRadians(int s) {
    return static_cast<float>(s * kTwoPi / 48000.0);
}

std::uint32_t freqShiftPeriodSamples(int s) {
    static constexpr double kPeriodMs[6] = {0.0, 0.0, 100.0, 58.333, 37.5, 25.0};
    if (s < 0 || s > 5) return 0;
    return static_cast<std::uint32_t>(kPeriodMs[s] * 48000.0 / 1000.0 + 0.5);
}

std::array<std::uint32_t, 2> delayModeWords(std::int32_t mode) {
    return {floatBits(1.0f), floatBits(mode == 1 ? 0.0f : 1.0f)};
}

}  // namespace v36
