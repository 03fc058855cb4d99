#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dsp/filter_design.h"

namespace v36 {

// ---------------------------------------------------------------------------
// The twelve equalisers

enum EqNumber : int {
    kEqMusic = 0,
    kEqMicA = 1,
    kEqSub = 2,
    kEqCenter = 3,
    kEqRear = 4,
    kEqMain = 5,
    kEqReverbA = 6,
    kEqEchoA = 7,
    kEqMicB = 8,
    kEqReverbB = 9,
    kEqEchoB = 10,
    kEqTop = 11,
};
constexpr int kEqCount = 12;

// The page that hosts an EQ's graph.
enum class EqHost { Music, Effects, Output };

struct EqInfo {
    int number;
    std::string_view titleZh;  // UTF-8
    std::string_view titleEn;
    EqHost host;
    int bank;              // filter bank 1..9
    int sectionOffset;     // section of band b is sectionOffset + b (not on the subwoofer EQ)
    int bandCount;         // records of the working copy: 20 on the subwoofer EQ
    int pointCount;        // bands shown, marked and hit: 5 points on the subwoofer EQ
    int maxLoadedType;     // a stored type above this is loaded as 0
    bool lockedBands;      // bands 7 and 10 fixed at 630 Hz and 2500 Hz
    bool resetMutesMusic;  // a reset is wrapped in a music mute
};

bool isEqNumber(int eq);
// The row of `eq`; throws std::out_of_range for a number outside 0..11.
const EqInfo& eqInfo(int eq);
// The title in language 0 (Chinese) or 1 (English).
std::string_view eqTitle(int eq, int language);
// Records in use (20 on the subwoofer EQ, 0 for an unknown number).
int eqBandCount(int eq);
// Bands shown on the graph (5 on the subwoofer EQ).
int eqPointCount(int eq);

// Section index within the EQ's bank of working-copy band `band`, -1 when
// the band does not exist. On the subwoofer EQ bands 0..4 are the points
// (sections 4k) and bands 5..19 the hidden records (5+3k+j -> 4k+1+j).
int sectionOf(int eq, int band);
// The inverse: the band of `section`, -1 when the section is not one of
// the EQ's (split filters included).
int bandOfSection(int eq, int section);

// Bands 7 and 10 of the music and microphone EQs: fixed frequency, no type
// menu, Q changes ignored.
bool isLockedBand(int eq, int band);
// Whether the band offers the type menu (every shown band but the locked).
bool hasTypeMenu(int eq, int band);

// ---------------------------------------------------------------------------
// One band as the graph holds it

constexpr int kCurvePoints = 512;
using Curve = std::array<float, kCurvePoints>;

struct EqBand {
    std::int32_t number = 0;
    std::int32_t type = kPeq;  // 0 = not in use: no curve, no marker, not hit
    float freq = 100.0f;       // Hz; sent truncated to an integer
    float gain = 0.0f;         // dB
    float q = 1.0f;
    Curve curve{};  // dB at the curve frequencies
    float minFreq = 20.0f;
    float maxFreq = 20000.0f;
    float minGain = -15.0f;
    float maxGain = 15.0f;
};

// The working copy of a graph: 40 records, the first band-count in use.
constexpr int kMaxEqBands = 40;

// ---------------------------------------------------------------------------
// Parameter rules

constexpr float kMinQ = 0.1f;
constexpr float kMaxQShelfPass = 2.0f;  // types 2..5
constexpr float kMaxQ = 30.0f;          // every other type

// Types whose gain follows the band (PEQ, LS, HS); every other type except
// 0 is held at 0 dB.
bool hasGain(int type);
// Pass filters of the low-pass side (2, 6, 8, ..., 20) and of the high-pass
// side (3, 7, 9, ..., 21); the shelves 4 and 5 are neither.
bool isLowPassType(int type);
bool isHighPassType(int type);

float clampQ(int type, float q);
// A drag result rounded to 0.1 dB, half away from zero.
float roundGainStep(float gain);

// Clamps gain, frequency and Q to the band's limits and its type, and
// holds the gain of pass types at 0.
void applyBandRules(EqBand& band);
// Sets the type with its defaults: PEQ takes Q 1.414; LP, HP, LS and HS
// take 0 dB and Q 0.7; then the rules.
void setBandType(EqBand& band, int type);
void setBandGain(EqBand& band, float gain);
void setBandFrequency(EqBand& band, float freq);
// Ignored for a Q of 0 (|q| < 1e-7) and on locked bands. Returns whether
// the Q was taken.
bool setBandQ(int eq, int bandIndex, EqBand& band, float q);
// The frequency and gain limits of band `bandIndex` on `eq`.
void setBandLimits(int eq, int bandIndex, EqBand& band);
// A record from the register block handed to the graph: a type above the
// host's maximum becomes 0, the frequency is held within 20..20000 Hz, the
// rules follow (no type defaults).
void loadBand(int eq, EqBand& band, const BandRecord& record);

// ---------------------------------------------------------------------------
// The subwoofer EQ's points

constexpr int kSubPoints = 5;
// Working-copy index of hidden record j (0..2) of point k (0..4).
constexpr int subHiddenBand(int point, int j) {
    return kSubPoints + 3 * point + j;
}
// The point a working-copy band belongs to (-1 for no band of the EQ).
int subPointOf(int band);

// The four section types of the type-menu choice `menuType` (1..5): PEQ
// 1,1,1,1; LP 18,20,1,1; HP 19,21,1,1; LS 4,1,1,1; HS 5,1,1,1. Any other
// value gives the type followed by three flat sections.
std::array<int, 4> subMenuTypes(int menuType);

// What the output page shows for a point's four section types: the type
// name (0..5) and the family index (0..13; 11 PEQ, 12 LS, 13 HS). A
// combination of no family is shown as type 0 with family 0.
struct SubPointShape {
    int shownType;
    int family;
    bool operator==(const SubPointShape&) const = default;
};
SubPointShape classifySubPoint(const std::array<int, 4>& types);

// Gives point k the type-menu choice (gains 0, type defaults of the menu
// type, the four section types, the hidden records synchronised).
void applySubMenuChoice(std::span<EqBand> bands, int point, int menuType);
// Gives point k the family's four section types, sided by the point's
// current type; gains 0, the hidden records synchronised.
void applyCrossoverFamily(std::span<EqBand> bands, int point, int family);
// Copies the point's frequency and Q and a zero gain into its hidden records.
void syncSubPoint(std::span<EqBand> bands, int point);
// The four section types of point k.
std::array<int, 4> subPointTypes(std::span<const EqBand> bands, int point);

// ---------------------------------------------------------------------------
// Reset defaults

// One section as a reset sends it.
struct SectionSetting {
    int section;  // index within the EQ's bank
    int type;
    int freq;
    float gain;
    float q;
    bool operator==(const SectionSetting&) const = default;
};
// The default set of `eq` in send order (section order); empty for an
// unknown number.
std::vector<SectionSetting> resetBands(int eq);
// The records of `eq` before any unit has answered, in section order.
std::vector<SectionSetting> startupBands(int eq);

// ---------------------------------------------------------------------------
// Response curves

constexpr float kCurveMinHz = 18.0f;
constexpr float kCurveMaxHz = 23000.0f;

// The 512 curve frequencies of a plot `width` pixels wide, with the sine
// term of each point cached for the curve evaluation.
class CurveAxis {
  public:
    CurveAxis() = default;
    explicit CurveAxis(int width);

    int width() const { return width_; }
    // A plot of no width draws nothing: curves are not computed.
    bool valid() const { return width_ > 0; }
    float frequency(int i) const { return freq_[static_cast<std::size_t>(i)]; }
    const std::array<float, kCurvePoints>& frequencies() const { return freq_; }
    // sin^2(pi f_i / fs)
    double phi(int i) const { return phi_[static_cast<std::size_t>(i)]; }
    // The point that carries a peaking band's marker, -1 when off the plot.
    int pinIndex(float freq) const;

  private:
    int width_ = 0;
    std::array<float, kCurvePoints> freq_{};
    std::array<double, kCurvePoints> phi_{};
};

// The curve of one designed section in dB.
void sectionCurve(const SectionCoefficients& c, const CurveAxis& axis, Curve& out);
// The level of one designed section in dB at one frequency (same closed form).
double sectionLevelDb(const SectionCoefficients& c, double freqHz);
// A band's curve: its section designed at 48 kHz, evaluated at the axis
// points; a PEQ band's pin point set to exactly its gain. Type 0 and an
// invalid axis leave `out` untouched.
void bandCurve(const EqBand& band, const CurveAxis& axis, Curve& out);
// Point by point sum of the curves of bands with a type other than 0.
void totalCurve(std::span<const EqBand> bands, Curve& out);
// The selected-band area: the band's own curve, on the subwoofer EQ the sum
// of the point's four records.
void selectedCurve(int eq, std::span<const EqBand> bands, int band, Curve& out);

// ---------------------------------------------------------------------------
// The graph's working copy

class EqGraphModel {
  public:
    EqGraphModel();

    // The EQ number (title, locking); then setBandCount. selectEq does both
    // with the EQ's own band count.
    void setEqNumber(int eq);
    int eqNumber() const { return eq_; }
    void selectEq(int eq);

    // Marks n (0..40) bands in use with placeholder values, sets the limits,
    // numbers them, zeroes every gain and recomputes all curves.
    void setBandCount(int n);
    int bandCount() const { return count_; }
    // Bands that are drawn as markers and hit (5 on the subwoofer EQ).
    int visibleBandCount() const;

    // Width of the plot in pixels; 0 or less = no window (curves stay).
    void setPlotWidth(int width);
    const CurveAxis& axis() const { return axis_; }

    EqBand& band(int n) { return bands_.at(static_cast<std::size_t>(n)); }
    const EqBand& band(int n) const { return bands_.at(static_cast<std::size_t>(n)); }
    std::span<EqBand> bands() { return {bands_.data(), static_cast<std::size_t>(count_)}; }
    std::span<const EqBand> bands() const {
        return {bands_.data(), static_cast<std::size_t>(count_)};
    }

    // Editing paths; each applies the rules and recomputes the band (on the
    // subwoofer EQ the point with its hidden records).
    void setType(int n, int type);  // on the subwoofer EQ the menu choice
    void setGain(int n, float gain);
    void setFrequency(int n, float freq);
    void setQ(int n, float q);
    void applyCrossoverFamily(int point, int family);
    // A record from the unit, without type defaults; not recomputed.
    void loadRecord(int n, const BandRecord& record);

    // Recomputes band n's curve (on the subwoofer EQ a point first
    // synchronises its hidden records and recomputes them too).
    void recompute(int n);
    void recomputeAll();

    // The sum of the in-use curves; re-summed only after a change.
    const Curve& totalCurve();
    void selectedCurve(int n, Curve& out) const;

  private:
    bool inUse(int n) const { return n >= 0 && n < count_; }
    void recomputeOne(int n);

    int eq_ = kEqMusic;
    int count_ = 10;
    CurveAxis axis_;
    std::array<EqBand, kMaxEqBands> bands_{};
    Curve total_{};
    bool totalDirty_ = true;
};

// The EQ's default set loaded into the graph (EQ number, band count, each
// section's record, all curves), as a reset and a read-back leave it.
void loadResetBands(EqGraphModel& graph, int eq);

// ---------------------------------------------------------------------------
// Texts

std::string formatFrequency(float freq);  // "%.0fHz"
std::string formatGain(float gain);       // "%+-.1fdB"
std::string formatQ(float q);             // "%.2f"
std::string formatBandNumber(int band);   // "%d", 1-based

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};
constexpr Rgb kStatusColour{0, 255, 0};
constexpr Rgb kGainGreen{0, 255, 0};
constexpr Rgb kGainYellow{255, 255, 0};
constexpr Rgb kGainRed{255, 0, 0};
// Green up to 6 dB, yellow below 10.1 dB, red beyond.
Rgb gainColour(float gain);

// The selected band's status line: the text in the status colour, then the
// gain text ("%+-.1fdB ") in its own colour.
struct StatusLine {
    std::string text;
    std::string gainText;
    Rgb gainColour;
};
StatusLine statusLine(const EqBand& band, int language);

}  // namespace v36
