#pragma once

#include <array>
#include <cstdint>

namespace v36 {

// The unit's fixed sample rate.
constexpr double kSampleRate = 48000.0;

// Filter type codes as kept in a band record. Even codes from 2 up are the
// low-pass side, odd codes from 3 up the high-pass side; 0 and 22..255 are
// all-pass sections.
enum FilterType : int {
    kAllPass = 0,
    kPeq = 1,
    kLowPass = 2,
    kHighPass = 3,
    kLowShelf = 4,
    kHighShelf = 5,
    kCheb2Lp = 6,
    kCheb2Hp = 7,
    kBessel2Lp = 8,
    kBessel2Hp = 9,
    kFirstLp = 10,
    kFirstHp = 11,
    kBw2Lp = 12,
    kBw2Hp = 13,
    kBw3Lp = 14,
    kBw3Hp = 15,
    kQ05Lp = 16,
    kQ05Hp = 17,
    kBw4aLp = 18,
    kBw4aHp = 19,
    kBw4bLp = 20,
    kBw4bHp = 21,
};

// Five coefficients normalised by a0:
// y[n] = B0 x[n] + B1 x[n-1] + B2 x[n-2] - A1 y[n-1] - A2 y[n-2].
struct SectionCoefficients {
    double a1 = 0, a2 = 0, b0 = 1, b1 = 0, b2 = 0;
};

// The pass sections of second order (the LP/HP types and the fixed-Q
// Bessel, Butterworth and sections; not the Chebyshev) and of first
// order.
bool isSecondOrderPass(int type);
bool isFirstOrderPass(int type);
// The Q a section runs with: the fixed Q of the Bessel, Butterworth and
// sections, `bandQ` for every other type.
double sectionQ(int type, double bandQ);

// Designs one second-order (or first-order) section. Pure: no clamping.
SectionCoefficients DesignSection(int type, double freqHz, double q, double gainDb,
                                  double sampleRate = kSampleRate);

// The five words of the coefficient report, in order -A1, -A2, B0, B1, B2,
// each the double rounded to an IEEE single. The feedback terms travel in
// additive form; a zero term (first-order A2) travels as four zero bytes,
// never as a negative zero.
std::array<std::uint32_t, 5> coefficientWords(const SectionCoefficients& c);

// The 7-byte record that keeps a section's parameters in the register space.
struct BandRecord {
    static constexpr int kSize = 7;
    float gain = 0.0f;  // dB, -15..+15
    int freq = 0;       // Hz
    float q = 0.0f;
    int type = 0;

    // Codes outside 0..65535 (parameters far out of range) are held at the
    // nearest end instead of wrapping.
    std::array<std::uint8_t, kSize> encode() const;
    static BandRecord decode(const std::uint8_t* bytes);
};

// The nine filter banks (DSP blocks 1..9) of the register space.
constexpr int kBankCount = 9;
// Byte offset of bank `bank`'s first record; banks outside 2..9 use 0.
int bankBase(int bank);
// Number of sections (records) of a bank, 0 for numbers outside 1..9.
int bankSections(int bank);
// Number of EQ bands of a bank; the records after them are split filters.
int bankEqBands(int bank);
// Register offset of the record of (bank, section).
inline int recordOffset(int bank, int section) {
    return bankBase(bank) + 7 * section;
}

}  // namespace v36
