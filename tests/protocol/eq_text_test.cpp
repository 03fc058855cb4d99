#include "protocol/eq_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "dsp/crossover.h"

namespace v36 {
namespace {

using K = EqTextNoteKind;
using F = EqTextFate;

std::string utf16le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

EqGraphModel resetGraph(int eq) {
    EqGraphModel g;
    loadResetBands(g, eq);
    return g;
}

bool hasNote(const std::vector<EqTextNote>& notes, K kind) {
    return std::any_of(notes.begin(), notes.end(),
                       [&](const EqTextNote& n) { return n.kind == kind; });
}

std::string texts(const std::vector<EqTextNote>& notes) {
    std::string out;
    for (const auto& n : notes)
        out += "[" + n.textFor(1) + "] ";
    return out;
}

// A band as the import must leave it; q < 0 leaves the Q unchecked, and
// family >= 0 checks a subwoofer point's crossover instead of its type.
struct Band {
    int band;
    int type;
    float freq;
    float gain;
    float q;
    int family = -1;
};

struct Fate {
    int line;  // 1-based
    F fate;
    int band = -1;
    std::optional<K> note = std::nullopt;
};

struct Case {
    const char* name;
    int eq;
    std::string text;
    std::optional<int> channel;
    std::vector<Band> bands;
    std::vector<Fate> fates;
    std::vector<K> fileNotes;
    std::optional<K> error = std::nullopt;
};

TEST(EqTextImport, Cases) {
    const std::string rewHeader =
        "Filter Settings file\r\n\r\nVersion 5.20.13\r\nDated: 12.03.2024 14:32:10\r\n\r\n"
        "Notes:\r\n\r\nEqualiser: Generic\r\n12.03.2024 14:30\r\n";
    const Case cases[] = {
        {"decimal commas, thousands groups, header, OFF and None",
         kEqCenter,
         rewHeader + "Filter  1: ON  PK       Fc   63,50 Hz  Gain  -5,20 dB  Q  4,500\r\n"
                     "Filter  2: ON  PK       Fc   8.000 Hz  Gain   3,00 dB  Q  2,000\r\n"
                     "Filter  3: ON  None\r\n"
                     "Filter  4: OFF PK       Fc   100 Hz  Gain  1,0 dB  Q  1,0\r\n",
         {},
         {{0, kPeq, 64, -5.2f, 4.5f},
          {1, kPeq, 8000, 3, 2},
          {2, kPeq, 125, 0, 1.41f},
          {9, kPeq, 16000, 0, 1.41f}},
         {{1, F::Ignored},
          {3, F::Ignored},
          {9, F::Ignored},
          {10, F::Band, 0},
          {11, F::Band, 1},
          {12, F::Off, -1, K::EmptySlot},
          {13, F::Off, -1, K::SwitchedOff}},
         {K::BandsFlat}},
        {"thousands with a decimal point; a file that never shows its mark",
         kEqCenter,
         "Filter 1: ON PK Fc 1,000 Hz Gain -3.0 dB Q 1.41\n",
         {},
         {{0, kPeq, 1000, -3, 1.41f}},
         {{1, F::Band, 0}},
         {}},
        {"the common reading, flagged",
         kEqCenter,
         "Filter 1: ON PK Fc 1.000 Hz Gain -3 dB Q 2\nFilter 2: ON PK Fc 63.5 Hz Gain 2 dB Q 1\n",
         {},
         {{0, kPeq, 1000, -3, 2}, {1, kPeq, 64, 2, 1}},
         {{1, F::Band, 0, K::FrequencyGuess}, {2, F::Band, 1}},
         {}},
        {"missing Q, bandwidth, slopes, corner shelves, pass filters",
         kEqMain,
         "Filter 1: ON PK Fc 100 Hz Gain -3 dB\n"
         "Filter 2: ON PEQ Fc 1000 Hz Gain 2 dB BW Oct 1.0\n"
         "Filter 3: ON LSC 12 dB Fc 100 Hz Gain 6 dB\n"
         "Filter 4: ON HSC Fc 5000 Hz Gain -4 dB\n"
         "Filter 5: ON LS Fc 100 Hz Gain 6 dB Q 0.707\n"
         "Filter 6: ON HS 6dB Fc 1000 Hz Gain -12 dB\n"
         "Filter 7: ON LP Fc 80 Hz\n"
         "Filter 8: ON HPQ Fc 30 Hz Q 0.5\n"
         "Filter 9: ON Modal Fc 42 Hz Gain -6 dB Q 7.1 T60 300\n",
         {},
         {{0, kPeq, 1000, 2, 1.41f},
          {1, kLowShelf, 100, 6, 0.707f},
          {2, kHighShelf, 5000, -4, 0.67f},
          {3, kLowShelf, 119, 6, 0.707f},
          {4, kHighShelf, 501, -12, 0.472f},
          {5, kLowPass, 80, 0, 0.707f},
          {6, kHighPass, 30, 0, 0.5f},
          {7, kPeq, 42, -6, 7.1f}},
         {{1, F::Skipped, -1, K::MissingQ},
          {2, F::Band, 0, K::BandwidthToQ},
          {3, F::Band, 1, K::SlopeToQ},
          {4, F::Band, 2, K::DefaultSlope},
          {5, F::Band, 3, K::CornerToCentre},
          {6, F::Band, 4, K::CornerToCentre},
          {9, F::Band, 7, K::Ignored}},
         {K::BandsFlat}},
        {"nothing usable: the reasons",
         kEqMain,
         "Filter 1: ON NO Fc 50 Hz\n"
         "Filter 2: ON BP Fc 1000 Hz BW Oct 2\n"
         "Filter 3: ON AP Fc 900 Hz Q 0.707\n"
         "Filter 4: ON IIR Order 2 Coefficients 1 0 0 1 0 0\n"
         "Filter 5: ON LP 6dB Fc 100 Hz\n"
         "Filter 6: ON XYZ Fc 100 Hz\n"
         "GraphicEQ: 20 0; 40 -1\n"
         "Filter 7: ON PK Fc abc Hz Gain 1 dB Q 1\n"
         "Filter 8: ON PK Fc 0 Hz Gain 1 dB Q 1\n"
         "Filter 9: ON PK Fc 1000 Hz Gain 1 dB Q 0\n",
         {},
         {},
         {{1, F::Skipped, -1, K::UnsupportedType},
          {4, F::Skipped, -1, K::UnsupportedType},
          {5, F::Skipped, -1, K::UnsupportedType},
          {6, F::Skipped, -1, K::UnknownType},
          {7, F::Skipped, -1, K::NotFilterLine},
          {8, F::Skipped, -1, K::BadNumber},
          {9, F::Skipped, -1, K::NotPositive},
          {10, F::Skipped, -1, K::NotPositive}},
         {},
         K::NoUsableFilter},
        {"out-of-range values and too many filters",
         kEqReverbA,
         "Filter 1: ON PK Fc 100 Hz Gain 20 dB Q 1\n"
         "Filter 2: ON PK Fc 200 Hz Gain -3 dB Q 40\n"
         "Filter 3: ON LSC Fc 300 Hz Gain 2 dB Q 3\n"
         "Filter 4: ON PK Fc 25000 Hz Gain 1 dB Q 1\n"
         "Filter 5: ON PK Fc 400 Hz Gain 1 dB Q 1\n"
         "Filter 6: ON PK Fc 500 Hz Gain 1 dB Q 1\n"
         "Filter 7: ON PK Fc 600 Hz Gain 1 dB Q 1\n"
         "Filter 8: ON PK Fc 700 Hz Gain 1 dB Q 1\n"
         "Filter 9: ON PK Fc 800 Hz Gain 1 dB Q 1\n"
         "Filter 10: ON PK Fc 900 Hz Gain 1 dB Q 1\n",
         {},
         {{0, kPeq, 100, 15, 1},
          {1, kPeq, 200, -3, 30},
          {2, kLowShelf, 300, 2, 2},
          {3, kPeq, 20000, 1, 1},  // held at the top of the range
          {6, kPeq, 600, 1, 1}},
         {{1, F::Band, 0, K::GainClamped},
          {2, F::Band, 1, K::QClamped},
          {3, F::Band, 2, K::QClamped},
          {4, F::Band, 3, K::OutOfRange},
          {10, F::Dropped, -1, K::NoBandLeft}},
         {K::FiltersDropped}},
        {"frequencies beyond the range held at its ends",
         kEqCenter,
         "Filter 1: ON PK Fc 15 Hz Gain -3 dB Q 1\n"
         "Filter 2: ON PK Fc 22000 Hz Gain 2 dB Q 1\n",
         {},
         {{0, kPeq, 20, -3, 1}, {1, kPeq, 20000, 2, 1}},
         {{1, F::Band, 0, K::OutOfRange}, {2, F::Band, 1, K::OutOfRange}},
         {K::BandsFlat}},
        {"frequencies in kHz",
         kEqCenter,
         "Filter 1: ON PK Fc 1 kHz Gain -3 dB Q 2\n"
         "Filter 2: ON PK Fc 2.5kHz Gain 1 dB Q 1\n"
         "Filter 3: ON PK Fc 800 Hz Gain 1 dB Q 1\n",
         {},
         {{0, kPeq, 1000, -3, 2}, {1, kPeq, 2500, 1, 1}, {2, kPeq, 800, 1, 1}},
         {{1, F::Band, 0}, {2, F::Band, 1}, {3, F::Band, 2}},
         {K::BandsFlat}},
        {"a filter number left out keeps its band",
         kEqCenter,
         "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1\n"
         "Filter 3: ON PK Fc 1000 Hz Gain 2 dB Q 1\n",
         {},
         {{0, kPeq, 100, 1, 1}, {2, kPeq, 1000, 2, 1}},
         {{1, F::Band, 0}, {2, F::Band, 2}},
         {K::BandsFlat}},
        {"channel sections, none chosen",
         kEqCenter,
         "Preamp: -6 dB\nFilter 1: ON PK Fc 100 Hz Gain -3 dB Q 1\nChannel: L\nPreamp: -2 dB\n"
         "Filter 2: ON PK Fc 200 Hz Gain -4 dB Q 2\nChannel: R\n"
         "Filter 3: ON PK Fc 300 Hz Gain -5 dB Q 3\n",
         {},
         {},
         {},
         {},
         K::PickChannel},
        {"channel sections, the second chosen",
         kEqCenter,
         "Preamp: -6 dB\nFilter 1: ON PK Fc 100 Hz Gain -3 dB Q 1\nChannel: L\nPreamp: -2 dB\n"
         "Filter 2: ON PK Fc 200 Hz Gain -4 dB Q 2\nChannel: R\n"
         "Filter 3: ON PK Fc 300 Hz Gain -5 dB Q 3\n",
         1,
         {{0, kPeq, 100, -3, 1}, {1, kPeq, 300, -5, 3}},
         {{1, F::Reported},
          {3, F::Reported, -1, K::ChannelSection},
          {4, F::OtherChannel, -1, K::OtherChannel},
          {5, F::OtherChannel, -1, K::OtherChannel},
          {7, F::Band, 1}},
         {K::Preamp, K::BandsFlat}},
        {"UTF-16 with its mark and CRLF",
         kEqCenter,
         utf16le("# room\r\nFilter 1: ON PK Fc 100 Hz Gain -3 dB Q 1\r\n"),
         {},
         {{0, kPeq, 100, -3, 1}},
         {{1, F::Ignored}, {2, F::Band, 0}},
         {}},
        {"UTF-8 mark and CR",
         kEqCenter,
         "\xEF\xBB\xBF"
         "Filter 1: ON PK Fc 100 Hz Gain -3 dB Q 1\rFilter 2: ON PK Fc 200 Hz Gain 1 dB Q 2",
         {},
         {{0, kPeq, 100, -3, 1}, {1, kPeq, 200, 1, 2}},
         {{2, F::Band, 1}},
         {}},
        {"a binary file",
         kEqCenter,
         std::string("\x7F"
                     "ELF\x02\x01\x00\x00PK",
                     10),
         {},
         {},
         {},
         {},
         K::NotText},
        {"UTF-16 without its mark",
         kEqCenter,
         utf16le("Filter 1: ON PK Fc 100 Hz").substr(2),
         {},
         {},
         {},
         {},
         K::NotText},
        {"subwoofer: crossovers from pass filters",
         kEqSub,
         "Filter 1: ON LPQ Fc 80 Hz Q 0.5412\n"
         "Filter 2: ON LPQ Fc 80 Hz Q 1.3066\n"
         "Filter 3: ON HP Fc 25 Hz\n"
         "Filter 4: ON HPQ Fc 25 Hz Q 0.9\n"
         "Filter 5: ON PK Fc 45 Hz Gain -4 dB Q 5\n",
         {},
         {{0, kLowPass, 80, 0, -1, 9},
          {1, kHighPass, 25, 0, -1, 7},
          {2, kHighPass, 25, 0, -1, 7},
          {3, kPeq, 45, -4, 5, 11},
          {4, kPeq, 100, 0, 1.414f, 11}},
         {{1, F::Band, 0, K::CrossoverJoined},
          {2, F::Band, 0, K::CrossoverJoined},
          {3, F::Band, 1, K::Crossover},
          {4, F::Band, 2, K::CrossoverNearest},
          {5, F::Band, 3}},
         {K::BandsFlat}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EqTextParse parsed = parseEqText(c.text);
        EqTextFitOptions options;
        options.channel = c.channel;
        const EqTextImport r = fitEqText(parsed, resetGraph(c.eq), options);
        if (c.error) {
            ASSERT_FALSE(r.ok());
            EXPECT_EQ(r.errors.front().kind, *c.error) << texts(r.errors);
        } else {
            ASSERT_TRUE(r.ok()) << texts(r.errors);
        }
        for (const Band& b : c.bands) {
            SCOPED_TRACE(b.band);
            const EqBand& got = r.graph.band(b.band);
            if (b.family >= 0) {
                EXPECT_EQ(classifySubPoint(subPointTypes(r.graph.bands(), b.band)).family,
                          b.family);
            } else {
                EXPECT_EQ(got.type, b.type);
            }
            EXPECT_EQ(got.freq, b.freq);
            EXPECT_FLOAT_EQ(got.gain, b.gain);
            if (b.q >= 0) {
                EXPECT_NEAR(got.q, b.q, 1e-6);
            }
        }
        ASSERT_EQ(r.lines.size(), parsed.lines.size());
        for (const Fate& f : c.fates) {
            SCOPED_TRACE(f.line);
            const EqTextLineFate& got = r.lines[static_cast<std::size_t>(f.line - 1)];
            EXPECT_EQ(got.fate, f.fate) << texts(got.notes);
            EXPECT_EQ(got.band, f.band);
            if (f.note) {
                EXPECT_TRUE(hasNote(got.notes, *f.note)) << texts(got.notes);
            }
        }
        for (K kind : c.fileNotes)
            EXPECT_TRUE(hasNote(r.notes, kind)) << texts(r.notes);
    }
}

TEST(EqTextImport, AKilohertzFrequencyIgnoresNothing) {
    const EqTextImport r =
        fitEqText(parseEqText("Filter 1: ON PK Fc 1 kHz Gain -3 dB Q 2\n"), resetGraph(kEqCenter));
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(hasNote(r.lines[0].notes, K::Ignored)) << texts(r.lines[0].notes);
    EXPECT_EQ(r.graph.band(0).freq, 1000.0f);
}

TEST(EqTextImport, CountsAreWordedForOneAndForMany) {
    // 11 filters onto the 10 bands of the center EQ: one left over.
    std::string eleven;
    for (int n = 1; n <= 11; ++n)
        eleven += "Filter " + std::to_string(n) + ": ON PK Fc " + std::to_string(100 * n) +
                  " Hz Gain 1 dB Q 1\n";
    const EqTextImport one = fitEqText(parseEqText(eleven), resetGraph(kEqCenter));
    ASSERT_TRUE(one.ok());
    const auto dropped = std::find_if(one.notes.begin(), one.notes.end(), [](const EqTextNote& n) {
        return n.kind == K::FiltersDropped;
    });
    ASSERT_NE(dropped, one.notes.end());
    EXPECT_EQ(dropped->textFor(1), "1 filter found no band: the EQ has 10 free bands");
    // The locked bands of the music EQ are not free for a filter.
    std::string sixteen;
    for (int n = 1; n <= 16; ++n)
        sixteen += "Filter " + std::to_string(n) + ": ON PK Fc " + std::to_string(100 * n) +
                   " Hz Gain 1 dB Q 1\n";
    const EqTextImport music = fitEqText(parseEqText(sixteen), resetGraph(kEqMusic));
    const auto more = std::find_if(music.notes.begin(), music.notes.end(),
                                   [](const EqTextNote& n) { return n.kind == K::FiltersDropped; });
    ASSERT_NE(more, music.notes.end());
    EXPECT_EQ(more->textFor(1), "3 filters found no band: the EQ has 13 free bands");
    const EqTextImport flatOne =
        fitEqText(parseEqText("Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1\n"), resetGraph(kEqMicA));
    for (const EqTextNote& n : flatOne.notes) {
        if (n.kind == K::BandsFlat) {
            EXPECT_EQ(n.textFor(1).rfind("Bands ", 0), 0u) << n.textFor(1);
        }
    }
}

TEST(EqTextImport, MessagesNameTheirValuesInBothLanguages) {
    const EqTextImport r = fitEqText(parseEqText("Preamp: -4,5 dB\n"
                                                 "Filter 1: ON NO Fc 50 Hz\n"
                                                 "Filter 2: ON PK Fc 100 Hz Gain 20 dB Q 1\n"),
                                     resetGraph(kEqMain));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.lines[1].notes[0].textFor(1),
              "Notch filters (NO) cannot be set on the unit: not taken");
    EXPECT_EQ(r.lines[1].notes[0].textFor(0), "本机不能设置陷波滤波器（NO），未采用");
    EXPECT_EQ(r.lines[2].notes[0].textFor(1), "Gain 20 dB clamped to 15 dB");
    EXPECT_EQ(r.lines[2].notes[0].textFor(0), "增益 20 dB 限制为 15 dB");
    ASSERT_TRUE(r.preampDb);
    EXPECT_DOUBLE_EQ(*r.preampDb, -4.5);
    const auto preamp = std::find_if(r.notes.begin(), r.notes.end(),
                                     [](const EqTextNote& n) { return n.kind == K::Preamp; });
    ASSERT_NE(preamp, r.notes.end());
    EXPECT_EQ(preamp->textFor(1), "Preamp -4.5 dB: the EQ has no preamp; lower the level by hand");

    const EqTextImport none = fitEqText(parseEqText("Filter 1: ON NO Fc 50 Hz\n"), resetGraph(0));
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.errors[0].textFor(1),
              "The file holds no usable filter: line 1: Notch filters (NO) cannot be set on the "
              "unit: not taken");

    // Long and non-ASCII values come back whole in both languages.
    const std::string name = "低音 " + std::string(300, 'x');
    const EqTextParse named = parseEqText("Channel: " + name + "\n");
    ASSERT_EQ(named.lines.size(), 1u);
    ASSERT_EQ(named.lines[0].notes.size(), 1u);
    EXPECT_EQ(named.lines[0].notes[0].textFor(1), "Channel section \"" + name + "\"");
    EXPECT_EQ(named.lines[0].notes[0].textFor(0), "声道段“" + name + "”");
}

TEST(EqTextImport, LockedBandsKeepTypeAndFrequencyAndTakeTheirOwnLinesGain) {
    EqGraphModel current = resetGraph(kEqMusic);
    current.setGain(10, -2.0f);
    // Line 3, a shelf at 630 Hz before band 8's place, fills an ordinary
    // band; line 8, in band 8's place, gives locked band 8 its gain.
    std::string text;
    for (int k = 1; k <= 14; ++k) {
        const bool shelf = k == 3 || k == 8;
        text += "Filter " + std::to_string(k) + ": ON " + (shelf ? "LSC" : "PK") + " Fc " +
                std::to_string(shelf ? 630 : 100 * k) + " Hz Gain " + (k == 3 ? "1" : "4") +
                " dB Q 3\n";
    }
    const EqTextImport r = fitEqText(parseEqText(text), current);
    ASSERT_TRUE(r.ok()) << texts(r.errors);
    EXPECT_EQ(r.lines[2].band, 2);
    EXPECT_EQ(r.graph.band(2).type, kLowShelf);
    EXPECT_EQ(r.lines[7].band, 7);
    EXPECT_TRUE(hasNote(r.lines[7].notes, K::LockedGainOnly));
    const EqBand& locked = r.graph.band(7);
    EXPECT_EQ(locked.type, kLowShelf);
    EXPECT_EQ(locked.freq, 630.0f);
    EXPECT_FLOAT_EQ(locked.gain, 4.0f);
    EXPECT_FLOAT_EQ(locked.q, current.band(7).q);
    // Band 11 is passed by and keeps its -2 dB; the 13 unlocked bands take
    // the other 13 lines.
    EXPECT_FLOAT_EQ(r.graph.band(10).gain, -2.0f);
    EXPECT_EQ(r.graph.band(10).freq, 2500.0f);
    EXPECT_TRUE(hasNote(r.notes, K::LockedKept));
    EXPECT_EQ(r.lines[13].fate, F::Band);
    EXPECT_EQ(r.lines[13].band, 14);
}

// Each EQ with bands of every kind it can express, as a unit would hold them.
EqGraphModel richGraph(int eq) {
    EqGraphModel g = resetGraph(eq);
    if (eq == kEqSub) {
        const struct {
            int menu;
            int family;  // -1: the menu choice alone
            float freq, gain, q;
        } points[] = {{kPeq, -1, 31, -4.5f, 2.5f},
                      {kLowPass, 0, 90, 0, 0},
                      {kHighPass, 2, 22, 0, 0},
                      {kLowPass, 3, 120, 0, 0},
                      {kHighShelf, -1, 60, 3.0f, 0.9f}};
        for (int p = 0; p < kSubPoints; ++p) {
            const auto& s = points[p];
            g.setType(p, s.menu);
            if (s.family >= 0) g.applyCrossoverFamily(p, s.family);
            g.setFrequency(p, s.freq);
            g.setGain(p, s.gain);
            if (s.q > 0) g.setQ(p, s.q);
        }
        return g;
    }
    const int types[] = {kPeq, kLowShelf, kHighShelf, kLowPass, kHighPass};
    for (int b = 0; b < g.bandCount(); ++b) {
        if (isLockedBand(eq, b)) {
            g.setGain(b, b == 7 ? 5.5f : -3.0f);
            continue;
        }
        g.setType(b, types[b % 5]);
        g.setFrequency(b, static_cast<float>(40 + 700 * b));
        g.setGain(b, static_cast<float>(b % 7) - 3.5f);
        g.setQ(b, 0.5f + 0.125f * static_cast<float>(b % 4));
    }
    return g;
}

// Q counts where the section uses it.
bool qMatters(int type) {
    return type == kPeq || type == kLowPass || type == kHighPass || type == kLowShelf ||
           type == kHighShelf;
}

TEST(EqTextRoundTrip, ExportThenImportGivesBackEveryEqsBands) {
    for (int eq = 0; eq < kEqCount; ++eq) {
        SCOPED_TRACE(eq);
        const EqGraphModel original = richGraph(eq);
        const EqTextExport written = writeEqText(eq, original.bands());
        EXPECT_TRUE(written.notes.empty()) << texts(written.notes);
        const EqTextImport back = fitEqText(parseEqText(written.text), resetGraph(eq));
        ASSERT_TRUE(back.ok()) << texts(back.errors) << written.text;
        EXPECT_TRUE(back.notes.empty()) << texts(back.notes);
        for (int b = 0; b < original.bandCount(); ++b) {
            SCOPED_TRACE(b);
            const EqBand& x = original.band(b);
            const EqBand& y = back.graph.band(b);
            EXPECT_EQ(x.type, y.type);
            EXPECT_EQ(x.freq, y.freq);
            EXPECT_EQ(x.gain, y.gain);
            if (qMatters(x.type)) {
                EXPECT_EQ(x.q, y.q);
            }
        }
    }
}

TEST(EqTextRoundTrip, ABandNotInUseKeepsTheOthersInTheirPlaces) {
    EqGraphModel original = richGraph(kEqMain);
    original.band(3).type = 0;  // not in use: no line
    const EqTextExport written = writeEqText(kEqMain, original.bands());
    const EqTextImport back = fitEqText(parseEqText(written.text), resetGraph(kEqMain));
    ASSERT_TRUE(back.ok()) << texts(back.errors);
    for (int b = 4; b < original.bandCount(); ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(back.graph.band(b).freq, original.band(b).freq);
        EXPECT_EQ(back.graph.band(b).gain, original.band(b).gain);
    }
}

TEST(EqTextWrite, TheFormatsLines) {
    const EqTextExport music = writeEqText(kEqMusic, resetGraph(kEqMusic).bands());
    EXPECT_EQ(music.text.substr(0, 60),
              "Preamp: 0.0 dB\nFilter 1: ON PK Fc 25 Hz Gain 0.0 dB Q 1.41\nF");
    EXPECT_NE(music.text.find("\nFilter 8: ON LSC Fc 630 Hz Gain 0.0 dB Q 0.707\n"),
              std::string::npos);
    EXPECT_NE(music.text.find("\nFilter 15: ON PK Fc 16000 Hz Gain 0.0 dB Q 1.41\n"),
              std::string::npos);

    EqGraphModel main = resetGraph(kEqMain);
    main.setType(0, 0);  // not in use: no line, its number kept free
    main.setType(1, kHighPass);
    main.setQ(1, 0.5f);
    main.loadRecord(2, BandRecord{0.0f, 80, 0.7f, kBw2Lp});
    main.loadRecord(3, BandRecord{0.0f, 90, 0.7f, kFirstLp});
    main.setGain(4, -2.25f);
    const EqTextExport text = writeEqText(kEqMain, main.bands());
    // Every band keeps its number, so that a read-back keeps every band in
    // its place.
    EXPECT_EQ(text.text.rfind("Preamp: 0.0 dB\nFilter 2: ON HPQ Fc 36 Hz Q 0.50\n"
                              "Filter 3: ON LPQ Fc 80 Hz Q 0.7071\n# Band 4",
                              0),
              0u)
        << text.text;
    EXPECT_NE(text.text.find("Filter 5: ON PK Fc 100 Hz Gain -2.25 dB Q 1.41\n"),
              std::string::npos);
    ASSERT_EQ(text.notes.size(), 1u);
    EXPECT_EQ(text.notes[0].textFor(1),
              "Band 4 (type 10 at 90 Hz) cannot be written in this format: left out");
    EXPECT_NE(text.text.find("\n# Band 4 (type 10 at 90 Hz)"), std::string::npos);
}

TEST(EqTextWrite, SubwooferCrossoversAsTheirSecondOrderSections) {
    // The written sections, as any equaliser builds them, answer like the
    // family's own four sections.
    for (int family = 0; family < kCrossoverListEntries; ++family) {
        SCOPED_TRACE(crossoverFamily(family).label);
        const auto qs = crossoverSectionQs(family);
        const bool oddOrChebyshev = family == 5 || family == 8 || family == 10;
        EXPECT_EQ(qs.empty(), oddOrChebyshev);
        for (int side : {kLowPass, kHighPass}) {
            for (double f : {30.0, 80.0, 200.0, 1000.0}) {
                double family4 = 0.0;
                for (int t : crossoverSectionTypes(family, side))
                    family4 += sectionLevelDb(DesignSection(t, 80.0, 1.41, 0.0), f);
                double written = 0.0;
                for (double q : qs)
                    written += sectionLevelDb(DesignSection(side, 80.0, q, 0.0), f);
                if (!qs.empty()) {
                    EXPECT_NEAR(written, family4, 1e-5) << f;
                }
            }
        }
    }
    EqGraphModel sub = resetGraph(kEqSub);
    sub.setType(1, kLowPass);
    sub.applyCrossoverFamily(1, 5);  // Bessel 18dB
    const EqTextExport text = writeEqText(kEqSub, sub.bands());
    ASSERT_EQ(text.notes.size(), 1u);
    EXPECT_EQ(text.notes[0].textFor(1),
              "Band 2 (Bessel 18dB at 31 Hz) cannot be written in this format: left out");
    // The reset's point 5, a Butterworth 24 dB low-pass, as two sections.
    EXPECT_NE(text.text.find("Filter 5: ON LPQ Fc 100 Hz Q 1.3066\n"
                             "Filter 6: ON LPQ Fc 100 Hz Q 0.5412\n"),
              std::string::npos)
        << text.text;
}

TEST(EqCopy, SameBandCountsOnlyAndLockedBandsTakeTheGain) {
    EqGraphModel music = richGraph(kEqMusic);
    const EqCopy toMic = copyEq(music, resetGraph(kEqMicB));
    ASSERT_TRUE(toMic.ok());
    for (int b = 0; b < 15; ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(toMic.graph.band(b).gain, music.band(b).gain);
        EXPECT_EQ(toMic.graph.band(b).type, music.band(b).type);
    }
    EXPECT_TRUE(changedBands(music, toMic.graph).empty());

    // A locked target band keeps its type, frequency and Q.
    music.loadRecord(7, BandRecord{2.0f, 700, 3.0f, kPeq});
    const EqCopy locked = copyEq(music, resetGraph(kEqMicA));
    ASSERT_TRUE(locked.ok());
    EXPECT_EQ(locked.graph.band(7).type, kLowShelf);
    EXPECT_EQ(locked.graph.band(7).freq, 630.0f);
    EXPECT_FLOAT_EQ(locked.graph.band(7).gain, 2.0f);
    ASSERT_EQ(locked.notes.size(), 1u);
    EXPECT_EQ(locked.notes[0].kind, K::LockedGainOnly);

    const EqCopy refused = copyEq(resetGraph(kEqMain), resetGraph(kEqSub));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.errors[0].textFor(1),
              "MAIN EQ has 24 bands and SUB EQ has 5: copies go between EQs of the same number "
              "of bands");
    EXPECT_FALSE(copyEq(resetGraph(kEqRear), resetGraph(kEqRear)).ok());
    EXPECT_TRUE(copyEq(resetGraph(kEqCenter), resetGraph(kEqTop)).ok());
}

}  // namespace
}  // namespace v36
