#include "dsp/eq_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "dsp/crossover.h"

namespace v36 {

namespace {

constexpr double kPi = 3.141592653589793;

constexpr std::array<EqInfo, kEqCount> kEqs{{
    {kEqMusic, "音乐均衡", "Music EQ", EqHost::Music, 4, 0, 15, 15, 5, true, true},
    {kEqMicA, "话筒通道A均衡", "CH A Mic EQ", EqHost::Music, 1, 0, 15, 15, 5, true, false},
    {kEqSub, "超低均衡", "SUB EQ", EqHost::Output, 8, 0, 20, kSubPoints, 31, false, true},
    {kEqCenter, "中置均衡", "Center EQ", EqHost::Output, 7, 0, 10, 10, 31, false, false},
    {kEqRear, "后置均衡", "REAR EQ", EqHost::Output, 6, 0, 10, 10, 31, false, true},
    {kEqMain, "前置均衡", "MAIN EQ", EqHost::Output, 5, 0, 24, 24, 31, false, true},
    {kEqReverbA, "混响通道A均衡", "CH A Reverb EQ", EqHost::Effects, 3, 0, 7, 7, 5, false, false},
    {kEqEchoA, "回声通道A均衡", "CH A Echo EQ", EqHost::Effects, 2, 0, 7, 7, 5, false, false},
    {kEqMicB, "话筒通道B均衡", "CH B Mic EQ", EqHost::Music, 1, 15, 15, 15, 5, true, false},
    {kEqReverbB, "混响通道B均衡", "CH B Reverb EQ", EqHost::Effects, 3, 7, 7, 7, 5, false, false},
    {kEqEchoB, "回声通道B均衡", "CH B Echo EQ", EqHost::Effects, 2, 7, 7, 7, 5, false, false},
    {kEqTop, "顶置均衡", "TOP EQ", EqHost::Output, 9, 0, 10, 10, 31, false, false},
}};

constexpr int kLockedLow = 7;
constexpr int kLockedHigh = 10;
constexpr float kLockedLowHz = 630.0f;
constexpr float kLockedHighHz = 2500.0f;

constexpr float kPeqDefaultQ = 1.414f;
constexpr float kPassDefaultQ = 0.7f;

bool subLayout(int eq, std::size_t bands) {
    return eq == kEqSub && bands >= static_cast<std::size_t>(eqBandCount(kEqSub));
}

// Frequencies of the reset sets.
constexpr std::array<int, 15> kReset15{25,   40,   63,   100,  160,  250,   400,  630,
                                       1000, 1600, 2500, 4000, 6300, 10000, 16000};
constexpr std::array<int, 7> kReset7{63, 125, 250, 500, 1000, 2300, 5000};
constexpr std::array<int, 10> kReset10{31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
constexpr std::array<int, 24> kReset24{25,   36,   50,   75,   100,  150,   200,   260,
                                       360,  485,  630,  860,  1088, 1396,  1680,  2160,
                                       2800, 3586, 5096, 6868, 8288, 11010, 14566, 20000};
constexpr std::array<int, 5> kResetSub{20, 31, 40, 62, 100};
constexpr float kResetQ = 1.41f;
constexpr float kResetShelfQ = 0.707f;
constexpr float kResetSubPassQ = 1.414f;

// What the records hold before any unit answers: the reset sets but for the
// 15-band EQs' 998 Hz, the effect EQs' octaves from 31 Hz and a Q of 1.414.
constexpr std::array<int, 15> kStartup15{25,  40,   63,   100,  160,  250,   400,  630,
                                         998, 1600, 2500, 4000, 6300, 10000, 16000};
constexpr std::array<int, 7> kStartup7{31, 62, 125, 250, 500, 1000, 2000};
constexpr float kStartupQ = 1.414f;

// Placeholder frequencies of a freshly sized graph.
constexpr std::array<float, 7> kPlace7{31, 62, 125, 250, 500, 1000, 2000};
constexpr std::array<float, 10> kPlace10{31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 12000};
constexpr std::array<float, 15> kPlace15{100,  160,  250,   400,   630,   1000,  1600, 2500,
                                         4000, 6300, 10000, 13000, 15000, 18000, 20000};
constexpr std::array<float, 9> kPlace24Tail{100, 160, 250, 400, 630, 1000, 1600, 2500, 4000};

template <typename T>
T clampNumber(T v, T lo, T hi, T ifNan) {
    if (std::isnan(v)) return ifNan;
    return std::clamp(v, lo, hi);
}

}  // namespace

// ---------------------------------------------------------------------------
// The twelve equalisers

bool isEqNumber(int eq) {
    return eq >= 0 && eq < kEqCount;
}

const EqInfo& eqInfo(int eq) {
    if (!isEqNumber(eq)) throw std::out_of_range("unknown EQ number");
    return kEqs[static_cast<std::size_t>(eq)];
}

std::string_view eqTitle(int eq, int language) {
    const EqInfo& info = eqInfo(eq);
    return language != 0 ? info.titleEn : info.titleZh;
}

int eqBandCount(int eq) {
    return isEqNumber(eq) ? eqInfo(eq).bandCount : 0;
}

int eqPointCount(int eq) {
    return isEqNumber(eq) ? eqInfo(eq).pointCount : 0;
}

int sectionOf(int eq, int band) {
    if (band < 0 || band >= eqBandCount(eq)) return -1;
    if (eq == kEqSub) {
        if (band < kSubPoints) return 4 * band;
        const int k = (band - kSubPoints) / 3;
        const int j = (band - kSubPoints) % 3;
        return 4 * k + 1 + j;
    }
    return eqInfo(eq).sectionOffset + band;
}

int bandOfSection(int eq, int section) {
    if (!isEqNumber(eq)) return -1;
    const EqInfo& info = eqInfo(eq);
    if (eq == kEqSub) {
        if (section < 0 || section >= info.bandCount) return -1;
        const int k = section / 4;
        const int r = section % 4;
        return r == 0 ? k : subHiddenBand(k, r - 1);
    }
    const int band = section - info.sectionOffset;
    return band >= 0 && band < info.bandCount ? band : -1;
}

bool isLockedBand(int eq, int band) {
    return isEqNumber(eq) && eqInfo(eq).lockedBands && (band == kLockedLow || band == kLockedHigh);
}

bool hasTypeMenu(int eq, int band) {
    return band >= 0 && band < eqPointCount(eq) && !isLockedBand(eq, band);
}

// ---------------------------------------------------------------------------
// Parameter rules

bool hasGain(int type) {
    return type == kPeq || type == kLowShelf || type == kHighShelf;
}

bool isLowPassType(int type) {
    return type != kLowShelf && type >= kLowPass && type <= kBw4bLp && type % 2 == 0;
}

bool isHighPassType(int type) {
    return type != kHighShelf && type >= kHighPass && type <= kBw4bHp && type % 2 == 1;
}

namespace {
// Pass sections run at 0 dB: types 2, 3 and 6 upward.
bool gainHeldAtZero(int type) {
    return type == kLowPass || type == kHighPass || type >= kCheb2Lp;
}
}  // namespace

float clampQ(int type, float q) {
    const float hi = type >= kLowPass && type <= kHighShelf ? kMaxQShelfPass : kMaxQ;
    return clampNumber(q, kMinQ, hi, kMinQ);
}

float roundGainStep(float gain) {
    const double g = gain;
    const double shifted = g >= 0.0 ? g + 0.05 : g - 0.05;
    return static_cast<float>(std::trunc(10.0 * shifted) / 10.0);
}

void applyBandRules(EqBand& band) {
    band.gain =
        gainHeldAtZero(band.type) ? 0.0f : clampNumber(band.gain, band.minGain, band.maxGain, 0.0f);
    band.freq = clampNumber(band.freq, band.minFreq, band.maxFreq, band.minFreq);
    band.q = clampQ(band.type, band.q);
}

void setBandType(EqBand& band, int type) {
    band.type = type;
    if (type == kPeq) {
        band.q = kPeqDefaultQ;
    } else if (type >= kLowPass && type <= kHighShelf) {
        band.gain = 0.0f;
        band.q = kPassDefaultQ;
    }
    applyBandRules(band);
}

void setBandGain(EqBand& band, float gain) {
    band.gain = gain;
    applyBandRules(band);
}

void setBandFrequency(EqBand& band, float freq) {
    band.freq = freq;
    applyBandRules(band);
}

bool setBandQ(int eq, int bandIndex, EqBand& band, float q) {
    if (std::fabs(q) < 1e-7f || isLockedBand(eq, bandIndex)) return false;
    band.q = clampQ(band.type, q);
    return true;
}

void setBandLimits(int eq, int bandIndex, EqBand& band) {
    band.minGain = -15.0f;
    band.maxGain = 15.0f;
    if (isLockedBand(eq, bandIndex)) {
        band.minFreq = band.maxFreq = bandIndex == kLockedLow ? kLockedLowHz : kLockedHighHz;
    } else {
        band.minFreq = 20.0f;
        band.maxFreq = 20000.0f;
    }
}

void loadBand(int eq, EqBand& band, const BandRecord& record) {
    const int maxType = isEqNumber(eq) ? eqInfo(eq).maxLoadedType : 31;
    band.type = record.type >= 0 && record.type <= maxType ? record.type : 0;
    band.freq = std::clamp(static_cast<float>(record.freq), 20.0f, 20000.0f);
    band.gain = gainHeldAtZero(band.type)
                    ? 0.0f
                    : clampNumber(record.gain, band.minGain, band.maxGain, 0.0f);
    band.q = clampQ(band.type, record.q);
}

// ---------------------------------------------------------------------------
// The subwoofer EQ's points

int subPointOf(int band) {
    if (band < 0 || band >= eqBandCount(kEqSub)) return -1;
    return band < kSubPoints ? band : (band - kSubPoints) / 3;
}

std::array<int, 4> subMenuTypes(int menuType) {
    switch (menuType) {
        case kLowPass:
            return {kBw4aLp, kBw4bLp, kPeq, kPeq};
        case kHighPass:
            return {kBw4aHp, kBw4bHp, kPeq, kPeq};
        default:
            return {menuType, kPeq, kPeq, kPeq};
    }
}

SubPointShape classifySubPoint(const std::array<int, 4>& types) {
    for (int f = 0; f < kCrossoverListEntries; ++f) {
        const CrossoverFamily& family = crossoverFamily(f);
        if (types == family.sectionTypes(kLowPass)) return {kLowPass, f};
        if (types == family.sectionTypes(kHighPass)) return {kHighPass, f};
    }
    if (types == std::array<int, 4>{kPeq, kPeq, kPeq, kPeq}) return {kPeq, 11};
    if (types == std::array<int, 4>{kLowShelf, kPeq, kPeq, kPeq}) return {kLowShelf, 12};
    if (types == std::array<int, 4>{kHighShelf, kPeq, kPeq, kPeq}) return {kHighShelf, 13};
    return {0, 0};
}

namespace {

bool validPoint(std::span<const EqBand> bands, int point) {
    return point >= 0 && point < kSubPoints && subLayout(kEqSub, bands.size());
}

void giveSubTypes(std::span<EqBand> bands, int point, const std::array<int, 4>& types) {
    EqBand& own = bands[static_cast<std::size_t>(point)];
    own.type = types[0];
    applyBandRules(own);
    for (int j = 0; j < 3; ++j)
        bands[static_cast<std::size_t>(subHiddenBand(point, j))].type =
            types[static_cast<std::size_t>(j + 1)];
    syncSubPoint(bands, point);
}

}  // namespace

void applySubMenuChoice(std::span<EqBand> bands, int point, int menuType) {
    if (!validPoint(bands, point)) return;
    EqBand& own = bands[static_cast<std::size_t>(point)];
    own.gain = 0.0f;
    setBandType(own, menuType);
    giveSubTypes(bands, point, subMenuTypes(menuType));
}

void applyCrossoverFamily(std::span<EqBand> bands, int point, int family) {
    if (!validPoint(bands, point)) return;
    EqBand& own = bands[static_cast<std::size_t>(point)];
    const auto types = crossoverSectionTypes(family, own.type);
    own.gain = 0.0f;
    giveSubTypes(bands, point, types);
}

void syncSubPoint(std::span<EqBand> bands, int point) {
    if (!validPoint(bands, point)) return;
    const EqBand& own = bands[static_cast<std::size_t>(point)];
    for (int j = 0; j < 3; ++j) {
        EqBand& hidden = bands[static_cast<std::size_t>(subHiddenBand(point, j))];
        hidden.freq = own.freq;
        hidden.q = own.q;
        hidden.gain = 0.0f;
    }
}

std::array<int, 4> subPointTypes(std::span<const EqBand> bands, int point) {
    if (!validPoint(bands, point)) return {0, 0, 0, 0};
    std::array<int, 4> types{bands[static_cast<std::size_t>(point)].type, 0, 0, 0};
    for (int j = 0; j < 3; ++j)
        types[static_cast<std::size_t>(j + 1)] =
            bands[static_cast<std::size_t>(subHiddenBand(point, j))].type;
    return types;
}

// ---------------------------------------------------------------------------
// Reset defaults

std::vector<SectionSetting> resetBands(int eq) {
    std::vector<SectionSetting> out;
    if (!isEqNumber(eq)) return out;
    const EqInfo& info = eqInfo(eq);
    out.reserve(static_cast<std::size_t>(info.bandCount));
    const auto flat = [&](const auto& freqs) {
        for (std::size_t b = 0; b < freqs.size(); ++b) {
            out.push_back(
                {info.sectionOffset + static_cast<int>(b), kPeq, freqs[b], 0.0f, kResetQ});
        }
    };
    switch (eq) {
        case kEqMusic:
        case kEqMicA:
        case kEqMicB:
            flat(kReset15);
            out[kLockedLow].type = kLowShelf;
            out[kLockedLow].q = kResetShelfQ;
            out[kLockedHigh].type = kHighShelf;
            out[kLockedHigh].q = kResetShelfQ;
            break;
        case kEqReverbA:
        case kEqEchoA:
        case kEqReverbB:
        case kEqEchoB:
            flat(kReset7);
            break;
        case kEqMain:
            flat(kReset24);
            break;
        case kEqSub:
            for (int s = 0; s < 20; ++s) {
                const int point = s / 4;
                int type = kPeq;
                if (s == 16) type = kBw4aLp;
                if (s == 17) type = kBw4bLp;
                out.push_back({s, type, kResetSub[static_cast<std::size_t>(point)], 0.0f,
                               point == 4 ? kResetSubPassQ : kResetQ});
            }
            break;
        default:  // center, rear, top
            flat(kReset10);
            break;
    }
    return out;
}

std::vector<SectionSetting> startupBands(int eq) {
    std::vector<SectionSetting> out;
    if (!isEqNumber(eq)) return out;
    const EqInfo& info = eqInfo(eq);
    const auto flat = [&](const auto& freqs) {
        for (std::size_t b = 0; b < freqs.size(); ++b) {
            out.push_back(
                {info.sectionOffset + static_cast<int>(b), kPeq, freqs[b], 0.0f, kStartupQ});
        }
    };
    switch (eq) {
        case kEqMusic:
        case kEqMicA:
        case kEqMicB:
            flat(kStartup15);
            out[kLockedLow].type = kLowShelf;
            out[kLockedLow].q = kResetShelfQ;
            out[kLockedHigh].type = kHighShelf;
            out[kLockedHigh].q = kResetShelfQ;
            break;
        case kEqReverbA:
        case kEqEchoA:
        case kEqReverbB:
        case kEqEchoB:
            flat(kStartup7);
            break;
        case kEqMain:
            flat(kReset24);
            break;
        case kEqSub:
            // Four records a point; the point of 100 Hz a 24 dB low-pass.
            for (int s = 0; s < 20; ++s) {
                const int point = s / 4;
                SectionSetting section{s, kPeq, kResetSub[static_cast<std::size_t>(point)], 0.0f,
                                       kStartupQ};
                if (s == 7 || s == 8 || s == 9 || s == 18 || s == 19) section.q = kResetShelfQ;
                if (s == 16) section.type = kBw4aLp;
                if (s == 17) {
                    section.type = kBw4bLp;
                    section.q = kResetShelfQ;
                }
                out.push_back(section);
            }
            break;
        default:  // center, rear, top
            flat(kReset10);
            break;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Response curves

CurveAxis::CurveAxis(int width) {
    if (width <= 0) return;
    width_ = width;
    const float w = static_cast<float>(width);
    const float step = w / static_cast<float>(kCurvePoints);
    const float decades = std::log10(kCurveMaxHz / kCurveMinHz);
    for (int i = 0; i < kCurvePoints; ++i) {
        const float x = static_cast<float>(i) * step;
        const float f = kCurveMinHz * std::pow(10.0f, x / w * decades);
        const double s = std::sin(kPi * static_cast<double>(f) / kSampleRate);
        freq_[static_cast<std::size_t>(i)] = f;
        phi_[static_cast<std::size_t>(i)] = s * s;
    }
}

int CurveAxis::pinIndex(float freq) const {
    if (!valid() || !(freq > 0.0f)) return -1;
    const double w = width_;
    const double lo = kCurveMinHz;
    const double hi = kCurveMaxHz;
    const double px =
        std::trunc(std::log10(static_cast<double>(freq) / lo) / std::log10(hi / lo) * w);
    const double index = std::trunc(px / (w / kCurvePoints));
    if (!(index >= 0.0 && index < kCurvePoints)) return -1;
    return static_cast<int>(index);
}

namespace {

// |H|^2 of a section as polynomials in phi = sin^2(w/2).
struct SinSquaredForm {
    explicit SinSquaredForm(const SectionCoefficients& c)
        : n0((c.b0 + c.b1 + c.b2) * (c.b0 + c.b1 + c.b2)),
          n1(4.0 * (4.0 * c.b0 * c.b2 + c.b0 * c.b1 + c.b1 * c.b2)),
          n2(16.0 * c.b0 * c.b2),
          d0((1.0 + c.a1 + c.a2) * (1.0 + c.a1 + c.a2)),
          d1(4.0 * (4.0 * c.a2 + c.a1 + c.a1 * c.a2)),
          d2(16.0 * c.a2) {}
    double levelDb(double phi) const {
        // A response of exactly zero (or below from rounding) is drawn at the
        // floor instead of minus infinity.
        constexpr double kFloor = 1e-30;
        const double num = std::max(n0 - n1 * phi + n2 * phi * phi, kFloor);
        const double den = std::max(d0 - d1 * phi + d2 * phi * phi, kFloor);
        return 10.0 * std::log10(num / den);
    }
    double n0, n1, n2, d0, d1, d2;
};

}  // namespace

void sectionCurve(const SectionCoefficients& c, const CurveAxis& axis, Curve& out) {
    const SinSquaredForm form(c);
    for (int i = 0; i < kCurvePoints; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<float>(form.levelDb(axis.phi(i)));
}

double sectionLevelDb(const SectionCoefficients& c, double freqHz) {
    const double s = std::sin(kPi * freqHz / kSampleRate);
    return SinSquaredForm(c).levelDb(s * s);
}

void bandCurve(const EqBand& band, const CurveAxis& axis, Curve& out) {
    if (!axis.valid() || band.type == 0) return;
    sectionCurve(DesignSection(band.type, band.freq, band.q, band.gain, kSampleRate), axis, out);
    if (band.type == kPeq) {
        const int pin = axis.pinIndex(band.freq);
        if (pin >= 0) out[static_cast<std::size_t>(pin)] = band.gain;
    }
}

void totalCurve(std::span<const EqBand> bands, Curve& out) {
    out.fill(0.0f);
    for (const EqBand& b : bands) {
        if (b.type == 0) continue;
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] += b.curve[i];
    }
}

void selectedCurve(int eq, std::span<const EqBand> bands, int band, Curve& out) {
    out.fill(0.0f);
    if (band < 0 || static_cast<std::size_t>(band) >= bands.size()) return;
    if (subLayout(eq, bands.size()) && band < kSubPoints) {
        const std::array<int, 4> members{band, subHiddenBand(band, 0), subHiddenBand(band, 1),
                                         subHiddenBand(band, 2)};
        for (int m : members) {
            const EqBand& b = bands[static_cast<std::size_t>(m)];
            if (b.type == 0) continue;
            for (std::size_t i = 0; i < out.size(); ++i)
                out[i] += b.curve[i];
        }
        return;
    }
    out = bands[static_cast<std::size_t>(band)].curve;
}

// ---------------------------------------------------------------------------
// The graph's working copy

EqGraphModel::EqGraphModel() {
    for (std::size_t i = 0; i < bands_.size(); ++i)
        bands_[i].number = static_cast<std::int32_t>(i);
}

void EqGraphModel::setEqNumber(int eq) {
    if (isEqNumber(eq)) eq_ = eq;
}

void EqGraphModel::selectEq(int eq) {
    setEqNumber(eq);
    setBandCount(eqBandCount(eq_));
}

void EqGraphModel::setBandCount(int n) {
    count_ = std::clamp(n, 0, kMaxEqBands);
    const auto place = [this](std::size_t b, float freq, int type, float q) {
        bands_[b].freq = freq;
        bands_[b].type = type;
        bands_[b].q = q;
    };
    const std::size_t count = static_cast<std::size_t>(count_);
    switch (count_) {
        case 4:
            place(0, 31, kHighPass, 0.707f);
            place(1, 62, kPeq, 0.707f);
            place(2, 125, kPeq, 0.707f);
            place(3, 250, kLowPass, 0.707f);
            break;
        case 7:
            for (std::size_t b = 0; b < count; ++b)
                place(b, kPlace7[b], kPeq, kResetQ);
            break;
        case 10:
            for (std::size_t b = 0; b < count; ++b)
                place(b, kPlace10[b], kPeq, kResetQ);
            break;
        case 15:
        case 20:
        case 24:
            for (std::size_t b = 0; b < count; ++b) {
                float f = 20000.0f;
                if (b < kPlace15.size()) {
                    f = kPlace15[b];
                } else if (count_ == 24) {
                    f = kPlace24Tail[b - kPlace15.size()];
                }
                place(b, f, kPeq, kResetQ);
            }
            break;
        default:
            break;
    }
    for (std::size_t b = 0; b < count; ++b) {
        EqBand& band = bands_[b];
        setBandLimits(eq_, static_cast<int>(b), band);
        // A locked band sits at its fixed frequency, whatever its placeholder.
        band.freq = clampNumber(band.freq, band.minFreq, band.maxFreq, band.minFreq);
        band.number = static_cast<std::int32_t>(b);
        band.gain = 0.0f;
    }
    recomputeAll();
}

int EqGraphModel::visibleBandCount() const {
    return subLayout(eq_, bands().size()) ? kSubPoints : count_;
}

void EqGraphModel::setPlotWidth(int width) {
    axis_ = CurveAxis(width);
    recomputeAll();
}

void EqGraphModel::setType(int n, int type) {
    if (!inUse(n)) return;
    if (subLayout(eq_, bands().size()) && n < kSubPoints) {
        applySubMenuChoice(bands(), n, type);
    } else {
        setBandType(band(n), type);
    }
    recompute(n);
}

void EqGraphModel::setGain(int n, float gain) {
    if (!inUse(n)) return;
    setBandGain(band(n), gain);
    recompute(n);
}

void EqGraphModel::setFrequency(int n, float freq) {
    if (!inUse(n)) return;
    setBandFrequency(band(n), freq);
    recompute(n);
}

void EqGraphModel::setQ(int n, float q) {
    if (!inUse(n)) return;
    if (setBandQ(eq_, n, band(n), q)) recompute(n);
}

void EqGraphModel::applyCrossoverFamily(int point, int family) {
    if (!subLayout(eq_, bands().size()) || point < 0 || point >= kSubPoints) return;
    v36::applyCrossoverFamily(bands(), point, family);
    recompute(point);
}

void EqGraphModel::loadRecord(int n, const BandRecord& record) {
    if (!inUse(n)) return;
    loadBand(eq_, band(n), record);
    totalDirty_ = true;
}

void EqGraphModel::recomputeOne(int n) {
    EqBand& b = band(n);
    bandCurve(b, axis_, b.curve);
}

void EqGraphModel::recompute(int n) {
    if (!inUse(n)) return;
    totalDirty_ = true;
    if (subLayout(eq_, bands().size()) && n < kSubPoints) {
        syncSubPoint(bands(), n);
        recomputeOne(n);
        for (int j = 0; j < 3; ++j)
            recomputeOne(subHiddenBand(n, j));
        return;
    }
    recomputeOne(n);
}

void EqGraphModel::recomputeAll() {
    const bool sub = subLayout(eq_, bands().size());
    for (int n = 0; n < count_; ++n) {
        if (sub && n >= kSubPoints && subPointOf(n) >= 0) continue;  // done with its point
        recompute(n);
    }
    totalDirty_ = true;
}

const Curve& EqGraphModel::totalCurve() {
    if (totalDirty_) {
        v36::totalCurve(bands(), total_);
        totalDirty_ = false;
    }
    return total_;
}

void EqGraphModel::selectedCurve(int n, Curve& out) const {
    v36::selectedCurve(eq_, bands(), n, out);
}

void loadResetBands(EqGraphModel& graph, int eq) {
    if (!isEqNumber(eq)) return;
    graph.selectEq(eq);
    for (const SectionSetting& s : resetBands(eq))
        graph.loadRecord(bandOfSection(eq, s.section), BandRecord{s.gain, s.freq, s.q, s.type});
    graph.recomputeAll();
}

// ---------------------------------------------------------------------------
// Texts

namespace {
constexpr std::size_t kTextRoom = 160;
}

std::string formatFrequency(float freq) {
    char buf[kTextRoom];
    std::snprintf(buf, sizeof buf, "%.0fHz", static_cast<double>(freq));
    return buf;
}

std::string formatGain(float gain) {
    char buf[kTextRoom];
    std::snprintf(buf, sizeof buf, "%+-.1fdB", static_cast<double>(gain));
    return buf;
}

std::string formatQ(float q) {
    char buf[kTextRoom];
    std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(q));
    return buf;
}

std::string formatBandNumber(int band) {
    return std::to_string(band + 1);
}

Rgb gainColour(float gain) {
    const float a = std::fabs(gain);
    if (a <= 6.0f) return kGainGreen;
    if (a < 10.1f) return kGainYellow;
    return kGainRed;
}

StatusLine statusLine(const EqBand& band, int language) {
    char buf[kTextRoom];
    if (language != 0) {
        std::snprintf(buf, sizeof buf,
                      "Index=%d     Frequency=%.0fHz    Q=%.2f     Gain=", band.number + 1,
                      static_cast<double>(band.freq), static_cast<double>(band.q));
    } else {
        std::snprintf(buf, sizeof buf,
                      "EQ号=%d    频率=%.0fHz    Q值=%.2f     增益=", band.number + 1,
                      static_cast<double>(band.freq), static_cast<double>(band.q));
    }
    char gain[kTextRoom];
    std::snprintf(gain, sizeof gain, "%+-.1fdB ", static_cast<double>(band.gain));
    return {buf, gain, gainColour(band.gain)};
}

}  // namespace v36
