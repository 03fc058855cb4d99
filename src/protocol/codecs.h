#pragma once

#include <array>
#include <cstdint>

namespace v36 {

// Value encoders for command-9 words (all returned as the 32-bit pattern
// that goes big-endian onto the wire) and the matching read-back decoders.

// Hundredths to the unit's single (100 -> 1.0).
float levelToUnit(std::int32_t hundredths);
// Milliseconds to samples at 48 kHz: trunc(ms * 48 + 0.5).
std::uint32_t msToSamples(double ms);

// The compressor's seven words from threshold, ratio, attack and release
// (ms), every intermediate rounded to single precision.
std::array<std::uint32_t, 7> compressorWords(float threshold, float ratio, float attackMs,
                                             float releaseMs);
struct CompressorValues {
    float threshold, ratio, attackMs, releaseMs;
};
// The inverse, from the seven words as the unit reports them.
CompressorValues decodeCompressorWords(const std::array<std::uint32_t, 7>& words);

// The six words of a speaker trim of `db` decibels.
std::array<std::uint32_t, 6> speakerLevelWords(float db);

// Frequency shift s (2..5 hertz; 1 = off): the radians per sample and the
// matching period in samples.
float freqShiftRadians(int s);
std::uint32_t freqShiftPeriodSamples(int s);

// The two delay filter-mode words: 1.0, then 0.0 in channel mode (1) or
// 1.0 in high-frequency mode (0).
std::array<std::uint32_t, 2> delayModeWords(std::int32_t mode);

}  // namespace v36
