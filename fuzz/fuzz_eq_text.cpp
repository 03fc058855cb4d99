// Feeds the band-list text reader: the first byte picks the EQ (and a
// channel section), the second how the rest is read. Odd: the rest is the
// file as it is. Even: the bytes build lines of the format (a filter line of
// any type with any of its values, a Preamp, a Channel, header lines, stray
// words), so that short runs reach every conversion and every fit. Whatever
// fits must write and read back to the same answer.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "byte_reader.h"
#include "dsp/eq_model.h"
#include "dsp/filter_design.h"
#include "protocol/eq_text.h"

namespace {

constexpr std::array<std::string_view, 24> kTypes{
    "PK",  "PEQ", "Modal", "LS", "HS",  "LSC", "HSC",  "LSQ", "HSQ", "LP",  "HP",  "LPQ",
    "HPQ", "NO",  "BP",    "AP", "IIR", "LP1", "None", "pk",  "lsc", "XYZ", "LPQ", "PK"};
constexpr std::array<std::string_view, 32> kNumbers{"0",
                                                    "1",
                                                    "-3,5",
                                                    "8.000",
                                                    "1,000",
                                                    "63.5",
                                                    "0.7071",
                                                    "1.3066",
                                                    "0.5412",
                                                    "0.5",
                                                    "1.0",
                                                    "20",
                                                    "20000",
                                                    "1e3",
                                                    "-20",
                                                    "30",
                                                    "630",
                                                    "2500",
                                                    "12.500",
                                                    "4",
                                                    "1\xC2\xA0"
                                                    "000",
                                                    "0,7",
                                                    "100",
                                                    "45",
                                                    "0.577",
                                                    "12",
                                                    "6",
                                                    "-0",
                                                    "19.6",
                                                    "abc",
                                                    "2,5",
                                                    "15.05"};
constexpr std::array<std::string_view, 12> kOthers{"Preamp: ",
                                                   "Channel: L",
                                                   "Channel: R",
                                                   "# comment",
                                                   "Filter Settings file",
                                                   "Equaliser: Generic",
                                                   "Dated: 1.2.2024",
                                                   "GraphicEQ: 20 0",
                                                   "Filter 1: ",
                                                   "Filter: ",
                                                   "Filter 2: OFF PK Fc 100 Hz Gain 1 dB Q 1",
                                                   "\xEF\xBB\xBF"};
constexpr std::array<std::string_view, 4> kEnds{"\n", "\r\n", "\r", "\n"};

// Builds text from bytes, each draw taking the next byte (zero past the end).
class Builder : public v36::fuzz::ByteReader {
  public:
    using ByteReader::ByteReader;

    std::string line() {
        const std::uint8_t kind = next();
        if (kind % 8 == 7) return std::string(pick(kOthers)) + std::string(pick(kNumbers));
        std::string s = "Filter " + std::to_string(kind / 8) + ": ";
        s += kind % 16 == 5 ? "OFF " : "ON ";
        s += pick(kTypes);
        const std::uint8_t mask = next();
        if ((mask & 1) != 0)
            s += " " + std::string(pick(kNumbers)) + ((mask & 0x80) ? "dB" : " dB");
        if ((mask & 2) != 0) s += " Fc " + std::string(pick(kNumbers)) + " Hz";
        if ((mask & 4) != 0) s += " Gain " + std::string(pick(kNumbers)) + " dB";
        if ((mask & 8) != 0) s += " Q " + std::string(pick(kNumbers));
        if ((mask & 16) != 0) s += " BW Oct " + std::string(pick(kNumbers));
        if ((mask & 32) != 0) s += " " + std::string(pick(kOthers));
        return s;
    }
};

// Fits the bytes onto an EQ chosen by the first byte and checks that the
// result written and read back fits to the same bands.
void checkEqText(std::span<const std::uint8_t> data) {
    using namespace v36;
    if (data.empty()) return;
    const int eq = data[0] % kEqCount;
    const EqTextParse parsed = parseEqText(data.subspan(1));
    // The fits run without a plot (no curves); the curves are computed once
    // for the comparison at the end.
    EqGraphModel current;
    loadResetBands(current, eq);
    EqTextFitOptions options;
    if (!parsed.channels.empty())
        options.channel =
            static_cast<int>(static_cast<std::size_t>(data[0] / kEqCount) % parsed.channels.size());
    const EqTextImport first = fitEqText(parsed, current, options);
    if (first.lines.size() != parsed.lines.size()) std::abort();
    if (!first.ok()) return;

    // Written and read back, the result answers the same; a second round
    // gives the very same bands (the first may join crossovers that the
    // file gave as separate points).
    // (The graphs are large: they are referred to, not copied.)
    const auto roundTrip = [&](const EqGraphModel& g) {
        const EqTextExport written = writeEqText(eq, g.bands());
        if (!written.notes.empty()) std::abort();
        EqTextImport again = fitEqText(parseEqText(written.text), current);
        if (!again.ok()) std::abort();
        return again;
    };
    const EqGraphModel& a = first.graph;
    const EqTextImport second = roundTrip(a);
    const EqGraphModel& b = second.graph;
    // When the first round changed nothing, the second is the first again.
    if (!changedBands(a, b).empty()) {
        const EqTextImport third = roundTrip(b);
        if (!changedBands(b, third.graph).empty()) std::abort();
    }
    // The two answer alike: their summed sections compared at every third
    // of an octave from 20 Hz to 20 kHz.
    const auto designed = [](const EqGraphModel& g) {
        std::vector<SectionCoefficients> sections;
        for (const EqBand& band : g.bands()) {
            if (band.type != 0)
                sections.push_back(
                    DesignSection(band.type, band.freq, band.q, band.gain, kSampleRate));
        }
        return sections;
    };
    const auto level = [](const std::vector<SectionCoefficients>& sections, double hz) {
        double db = 0.0;
        for (const SectionCoefficients& c : sections)
            db += sectionLevelDb(c, hz);
        return db;
    };
    const auto sa = designed(a);
    const auto sb = designed(b);
    for (double hz = 20.0; hz <= 20000.0; hz *= 1.2599210498948732) {
        const double la = level(sa, hz);
        const double lb = level(sb, hz);
        if (std::isfinite(la) != std::isfinite(lb)) std::abort();
        if (std::isfinite(la) && std::fabs(la - lb) > 0.01 && std::fabs(la) < 200.0) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || (data[1] & 1) != 0) {
        checkEqText(std::span<const std::uint8_t>(data, size));
        return 0;
    }
    std::string text(1, static_cast<char>(data[0]));
    Builder b(data + 2, size - 2);
    while (b.more()) {
        text += b.line();
        text += b.pick(kEnds);
    }
    checkEqText(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size()));
    return 0;
}
