#include "dsp/filter_design.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace v36 {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = kTwoPi / 2.0;

struct BankInfo {
    int base;
    int sections;
    int eqBands;
};
constexpr std::array<BankInfo, kBankCount> kBanks{{
    {0, 30, 30},
    {210, 14, 14},
    {308, 14, 14},
    {406, 15, 15},
    {511, 28, 24},
    {707, 14, 10},
    {805, 12, 10},
    {889, 22, 20},
    {1043, 14, 10},
}};

bool isSecondOrderLowPass(int type) {
    return type == kLowPass || type == kBessel2Lp || type == kBw2Lp || type == kBw3Lp ||
           type == kQ05Lp || type == kBw4aLp || type == kBw4bLp;
}
bool isSecondOrderHighPass(int type) {
    return type == kHighPass || type == kBessel2Hp || type == kBw2Hp || type == kBw3Hp ||
           type == kQ05Hp || type == kBw4aHp || type == kBw4bHp;
}

}  // namespace

bool isSecondOrderPass(int type) {
    return isSecondOrderLowPass(type) || isSecondOrderHighPass(type);
}

bool isFirstOrderPass(int type) {
    return type == kFirstLp || type == kFirstHp;
}

// The fixed Qs as computed (not the rounded decimals).
double sectionQ(int type, double bandQ) {
    switch (type) {
        case kBessel2Lp:
        case kBessel2Hp:
            return 1.0 / std::sqrt(3.0);
        case kBw2Lp:
        case kBw2Hp:
            return 1.0 / std::sqrt(2.0);
        case kBw3Lp:
        case kBw3Hp:
            return 1.0 / (2.0 * std::sin(kPi / 6.0));
        case kQ05Lp:
        case kQ05Hp:
            return 1.0 / (2.0 * std::sin(kPi / 2.0));
        case kBw4aLp:
        case kBw4aHp:
            return 1.0 / (2.0 * std::sin(kPi / 8.0));
        case kBw4bLp:
        case kBw4bHp:
            return 1.0 / (2.0 * std::sin(3.0 * kPi / 8.0));
        default:
            return bandQ;
    }
}

namespace {

SectionCoefficients chebyshev(bool highPass, double f, double fs, double k) {
    const double t = highPass ? 1.0 / std::tan(kPi * f / fs) : std::tan(kPi * f / fs);
    const double eps = std::pow(std::pow(10.0, 0.1 / 10.0) - 1.0, 0.5);
    const double v = 0.5 * std::pow(std::log(1.0 / (eps * eps) + 1.0 + 1.0 / eps), 0.5);
    const double a = std::sinh(v) * t;
    const double b = std::sin(3.0 * kPi / 4.0) * t;
    const double c = 2.0 * a * std::cos(3.0 * kPi / 4.0);
    const double g = std::pow(1.0 / (1.0 + eps * eps), 0.5);
    const double sq = a * a + b * b;
    const double d = 1.0 - c + sq;
    SectionCoefficients s;
    s.a2 = (1.0 + c + sq) / d;
    s.b0 = k * g * sq / d;
    s.b2 = s.b0;
    if (highPass) {
        s.a1 = -2.0 * (sq - 1.0) / d;
        s.b1 = -2.0 * s.b0;
    } else {
        s.a1 = 2.0 * (sq - 1.0) / d;
        s.b1 = 2.0 * s.b0;
    }
    return s;
}

}  // namespace

SectionCoefficients DesignSection(int type, double freqHz, double q, double gainDb,
                                  double sampleRate) {
    const double w0 = kTwoPi * freqHz / sampleRate;
    const double cs = std::cos(w0);
    const double sn = std::sin(w0);
    const double k = std::pow(10.0, gainDb / 20.0);
    SectionCoefficients s;

    if (type == kPeq) {
        const double alpha = sn / (2.0 * q);
        const double a = std::pow(10.0, gainDb / 40.0);
        const double a0 = 1.0 + alpha / a;
        s.a1 = -2.0 * cs / a0;
        s.a2 = (1.0 - alpha / a) / a0;
        s.b0 = (1.0 + alpha * a) / a0;
        s.b1 = -2.0 * cs / a0;
        s.b2 = (1.0 - alpha * a) / a0;
    } else if (isSecondOrderLowPass(type) || isSecondOrderHighPass(type)) {
        const double alpha = sn / (2.0 * sectionQ(type, q));
        const double a0 = 1.0 + alpha;
        s.a1 = -2.0 * cs / a0;
        s.a2 = (1.0 - alpha) / a0;
        if (isSecondOrderLowPass(type)) {
            s.b1 = k * (1.0 - cs) / a0;
            s.b0 = s.b1 / 2.0;
            s.b2 = s.b0;
        } else {
            s.b1 = -k * (1.0 + cs) / a0;
            s.b0 = k * (1.0 + cs) / (2.0 * a0);
            s.b2 = s.b0;
        }
    } else if (type == kLowShelf || type == kHighShelf) {
        const double a = std::pow(10.0, gainDb / 40.0);
        const double sh = std::sqrt(a) * sn / q;
        if (type == kLowShelf) {
            const double a0 = (a + 1.0) + (a - 1.0) * cs + sh;
            s.a1 = -2.0 * ((a - 1.0) + (a + 1.0) * cs) / a0;
            s.a2 = ((a + 1.0) + (a - 1.0) * cs - sh) / a0;
            s.b0 = a * ((a + 1.0) - (a - 1.0) * cs + sh) / a0;
            s.b1 = 2.0 * a * ((a - 1.0) - (a + 1.0) * cs) / a0;
            s.b2 = a * ((a + 1.0) - (a - 1.0) * cs - sh) / a0;
        } else {
            const double a0 = (a + 1.0) - (a - 1.0) * cs + sh;
            s.a1 = 2.0 * ((a - 1.0) - (a + 1.0) * cs) / a0;
            s.a2 = ((a + 1.0) - (a - 1.0) * cs - sh) / a0;
            s.b0 = a * ((a + 1.0) + (a - 1.0) * cs + sh) / a0;
            s.b1 = -2.0 * a * ((a - 1.0) + (a + 1.0) * cs) / a0;
            s.b2 = a * ((a + 1.0) + (a - 1.0) * cs - sh) / a0;
        }
    } else if (type == kFirstLp || type == kFirstHp) {
        const double d = 1.0 + cs + sn;
        s.a1 = (sn - cs - 1.0) / d;
        s.a2 = 0.0;
        s.b2 = 0.0;
        if (type == kFirstLp) {
            s.b0 = k * sn / d;
            s.b1 = s.b0;
        } else {
            s.b0 = k * (1.0 + cs) / d;
            s.b1 = -s.b0;
        }
    } else if (type == kCheb2Lp || type == kCheb2Hp) {
        s = chebyshev(type == kCheb2Hp, freqHz, sampleRate, k);
    } else {
        // All-pass: codes 0 and 22..255.
        const double alpha = sn / (2.0 * q);
        const double a0 = 1.0 + alpha;
        s.a1 = -2.0 * cs / a0;
        s.a2 = (1.0 - alpha) / a0;
        s.b0 = (1.0 - alpha) / a0;
        s.b1 = -2.0 * cs / a0;
        s.b2 = 1.0;
    }
    return s;
}

std::array<std::uint32_t, 5> coefficientWords(const SectionCoefficients& c) {
    const auto bits = [](double v) { return std::bit_cast<std::uint32_t>(static_cast<float>(v)); };
    // 0.0 - x rather than -x: a zero stays a positive zero.
    return {bits(0.0 - c.a1), bits(0.0 - c.a2), bits(c.b0), bits(c.b1), bits(c.b2)};
}

namespace {

// A truncated code held within the 16 bits of its field (NaN gives 0).
std::uint16_t code16(double truncated) {
    if (!(truncated > 0.0)) return 0;
    return static_cast<std::uint16_t>(std::min(truncated, 65535.0));
}

}  // namespace

std::array<std::uint8_t, BandRecord::kSize> BandRecord::encode() const {
    // Gain code in double from the float gain; Q code multiplied in single.
    const std::uint16_t gainCode =
        code16(std::trunc(((static_cast<double>(gain) + 0.05) + 15.0) * 10.0));
    const float qTimes = q * 1000.0f;
    const std::uint16_t qCode = code16(std::trunc(static_cast<double>(qTimes)));
    const std::uint16_t f = code16(freq);
    return {static_cast<std::uint8_t>(gainCode >> 8), static_cast<std::uint8_t>(gainCode),
            static_cast<std::uint8_t>(f >> 8),        static_cast<std::uint8_t>(f),
            static_cast<std::uint8_t>(qCode >> 8),    static_cast<std::uint8_t>(qCode),
            static_cast<std::uint8_t>(type)};
}

BandRecord BandRecord::decode(const std::uint8_t* bytes) {
    BandRecord r;
    const int gainCode = (bytes[0] << 8) | bytes[1];
    r.gain = static_cast<float>(gainCode / 10.0 - 15.0);
    r.freq = (bytes[2] << 8) | bytes[3];
    const int qCode = (bytes[4] << 8) | bytes[5];
    r.q = static_cast<float>(qCode / 1000.0);
    r.type = bytes[6];
    return r;
}

int bankBase(int bank) {
    if (bank < 2 || bank > kBankCount) return 0;
    return kBanks[static_cast<std::size_t>(bank - 1)].base;
}

int bankSections(int bank) {
    if (bank < 1 || bank > kBankCount) return 0;
    return kBanks[static_cast<std::size_t>(bank - 1)].sections;
}

int bankEqBands(int bank) {
    if (bank < 1 || bank > kBankCount) return 0;
    return kBanks[static_cast<std::size_t>(bank - 1)].eqBands;
}

}  // namespace v36
