#pragma once

// Band lists as text: the parametric-filter format that room-measurement
// programs write and system-wide equalisers read, one filter a line,
//
//   Preamp: -4.5 dB
//   Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 1.41
//
// with `#` comments, `Channel:` sections and, in measurement exports, a
// header before the filters. Importing runs in two steps: parseEqText reads
// the file into lines, each with the filter it describes (converted to what
// the unit's bands take) or why it describes none; fitEqText puts those
// filters onto one EQ and says, line by line, which band each became and
// what was changed on the way. An import preview shows both and draws the
// result's curve; nothing reaches the unit before the caller sends the
// changed bands. writeEqText is the other direction, copyEq moves the bands
// of one EQ onto another of the same size.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dsp/eq_model.h"

namespace v36 {

// ---------------------------------------------------------------------------
// Messages

// What a message says; the arguments are in its texts.
enum class EqTextNoteKind {
    // A line that describes no filter the unit can take.
    NotFilterLine,
    NoOnOff,
    NoType,
    SwitchedOff,
    EmptySlot,
    UnsupportedType,  // notch, band-pass, all-pass, first-order, coefficients
    UnknownType,
    PassSlope,
    MissingFrequency,
    MissingQ,
    BadNumber,
    NotPositive,
    NotConvertible,
    // Conversions and readings worth a look.
    BandwidthToQ,
    SlopeToQ,
    DefaultSlope,
    SlopeTooSteep,
    CornerToCentre,
    DefaultPassQ,
    NoGain,
    Ignored,
    FrequencyGuess,
    Preamp,
    ChannelSection,
    // Fitting onto an EQ.
    OutOfRange,
    GainClamped,
    QClamped,
    NoBandLeft,
    OtherChannel,
    LockedGainOnly,
    Crossover,
    CrossoverNearest,
    CrossoverJoined,
    // The whole file.
    FiltersDropped,
    BandsFlat,
    LockedKept,
    ChannelTaken,
    MixedDecimalMarks,
    // Errors: nothing to import.
    NotText,
    TooLarge,
    NoUsableFilter,
    PickChannel,
    // Copy and export.
    CopyBandCounts,
    CopySameEq,
    NotWritable,
};

// A message is kept as its kind and its arguments; its text in either
// language is written when asked for. (A file of many lines carries many
// messages, most of which are never shown.)
struct EqTextNote {
    EqTextNoteKind kind{};
    // The arguments, packed by the reader (see note() in eq_text.cpp).
    std::string args;

    // 0 Chinese, anything else English; UTF-8.
    std::string textFor(int languageIndex) const;
};

// ---------------------------------------------------------------------------
// Reading

// Files larger than this are no filter list.
constexpr std::size_t kEqTextMaxBytes = 1u << 20;

enum class EqTextLineKind { Blank, Comment, Header, Preamp, Channel, Filter, Other };

// A filter as the unit's bands take it: shelves by their centre frequency
// with a Q in the peaking sense, pass filters as second-order sections.
struct EqTextFilter {
    int type = kPeq;    // kPeq, kLowShelf, kHighShelf, kLowPass or kHighPass
    double freq = 0.0;  // Hz
    double gain = 0.0;  // dB; 0 for pass filters
    double q = 0.0;
};

struct EqTextLine {
    int number = 0;    // 1-based
    std::string text;  // as read, UTF-8, without its line end
    EqTextLineKind kind = EqTextLineKind::Blank;
    bool off = false;                    // a filter line switched off or an empty slot
    std::optional<EqTextFilter> filter;  // a filter line that can take a band
    std::optional<double> preampDb;      // a Preamp line
    int channel = -1;  // index of the Channel section it lies in; -1 before the first
    // The n of "Filter n:"; -1 for other lines. A number left out of a run
    // keeps its band free (see fitEqText).
    int filterNumber = -1;
    // Conversions and flags of a filter, or why the line takes no band.
    std::vector<EqTextNote> notes;
};

struct EqTextChannel {
    std::string name;  // the text after "Channel:"
    int line = 0;      // index into EqTextParse::lines
};

enum class EqTextEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be };

struct EqTextParse {
    EqTextEncoding encoding = EqTextEncoding::Utf8;
    // The file's decimal mark as its Gain, Q and Preamp values show it;
    // 0 when they never do.
    char decimalMark = 0;
    std::vector<EqTextLine> lines;
    std::vector<EqTextChannel> channels;
    std::vector<EqTextNote> notes;   // about the whole file
    std::vector<EqTextNote> errors;  // not a filter list at all (binary, too large)
};

// Reads a file's bytes: a UTF-8 byte-order mark is skipped, UTF-16 with its
// mark decoded, anything else read as UTF-8; LF, CRLF and CR end lines.
// Numbers are read without the user's locale.
EqTextParse parseEqText(std::span<const std::uint8_t> bytes);
EqTextParse parseEqText(std::string_view text);

// ---------------------------------------------------------------------------
// Fitting onto an EQ

enum class EqTextFate {
    Ignored,       // blank, comment or header line
    Reported,      // a Preamp or Channel line: listed, takes no band
    Band,          // became band `band`
    Off,           // switched off or empty: takes no band
    Skipped,       // a filter the unit cannot take; the notes say why
    Dropped,       // no band left
    OtherChannel,  // in a Channel section not chosen
};

struct EqTextLineFate {
    EqTextFate fate = EqTextFate::Ignored;
    // The working-copy band (a point on the subwoofer EQ), 0-based; -1 for none.
    int band = -1;
    std::vector<EqTextNote> notes;  // the line's reading notes, then the fitting's
};

struct EqTextFitOptions {
    // The Channel section to take (index into EqTextParse::channels) along
    // with the filters before the first section. Without one, a file of one
    // section takes it and a file of several is an error.
    std::optional<int> channel;
};

struct EqTextImport {
    // The EQ after the import: the current graph's EQ, plot width and locked
    // bands, every band set through the model's editing paths (curves
    // computed when the graph has a plot).
    EqGraphModel graph;
    std::vector<EqTextLineFate> lines;  // one for each parsed line, in order
    int channel = -1;                   // the Channel section taken
    std::optional<double> preampDb;     // the Preamp of the taken lines, summed
    std::vector<EqTextNote> notes;      // the whole file: preamp, dropped, flat bands, ...
    std::vector<EqTextNote> errors;     // not empty: nothing to import

    bool ok() const { return errors.empty(); }
};

// Fills the EQ's bands with the file's filters in file order (on the
// subwoofer EQ its points, pass filters becoming crossovers); bands left
// over become flat peaking bands at the EQ's reset frequencies. A locked
// band keeps its type, frequency and Q: a filter of its type at its
// frequency gives it its gain, every other filter passes it by. Filter
// numbers left out of a file without channel sections (Filter 4, then
// Filter 6) keep as many bands as they are, so a file written by
// writeEqText comes back band for band.
// A frequency outside 20..20000 Hz is held at the nearer end, and noted.
EqTextImport fitEqText(const EqTextParse& parsed, const EqGraphModel& current,
                       const EqTextFitOptions& options = {});

// The bands whose type, frequency, gain or Q differ, in order (on the
// subwoofer EQ the points, each standing for its four sections): what an
// import or copy sends.
std::vector<int> changedBands(const EqGraphModel& before, const EqGraphModel& after);

// ---------------------------------------------------------------------------
// Writing

struct EqTextExport {
    std::string text;               // UTF-8, LF
    std::vector<EqTextNote> notes;  // bands the format cannot express
};

// "Preamp: 0.0 dB", then one line for each band in use: peaking and
// shelving bands with Gain and Q, pass bands with Q only, subwoofer
// crossovers as their second-order sections, numbered from 1. A band (a
// subwoofer point) not in use or that the format cannot express uses up one
// number without a line, so that a read-back keeps every other band in its
// place; one the format cannot express is listed in the notes and named in
// a comment where its line would stand.
EqTextExport writeEqText(int eq, std::span<const EqBand> bands);

// The Qs of the second-order sections a crossover family (0..10) amounts
// to, as the format writes them; empty when it has none (odd orders, the
// Chebyshev section).
std::vector<double> crossoverSectionQs(int family);

// ---------------------------------------------------------------------------
// Copying between EQs

struct EqCopy {
    EqGraphModel graph;  // the target after the copy
    std::vector<EqTextNote> notes;
    std::vector<EqTextNote> errors;  // not empty: refused

    bool ok() const { return errors.empty(); }
};

// Copies band by band between two different EQs with the same number of
// bands, under the target's loading rules; a locked band of the target takes
// only the gain.
EqCopy copyEq(const EqGraphModel& from, const EqGraphModel& to);

// A count with its noun in English: "1 band", "3 bands".
std::string counted(std::size_t n, const char* one, const char* many);
std::string counted(int n, const char* one, const char* many);

}  // namespace v36
