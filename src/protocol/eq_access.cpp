#include "protocol/eq_access.h"

#include <algorithm>
#include <array>

#include "protocol/words.h"

namespace v36 {

namespace {

// Whole hertz as the record and the design take them.
int wireFrequency(float freq) {
    if (!(freq > 0.0f)) return 0;
    return static_cast<int>(std::min(freq, 65535.0f));
}

}  // namespace

BandRecord readEqRecord(const ParamStore& store, int eq, int band) {
    const int section = sectionOf(eq, band);
    if (section < 0) return {};
    return store.record(eqInfo(eq).bank, section);
}

std::vector<BandRecord> readEqRecords(const ParamStore& store, int eq) {
    std::vector<BandRecord> records;
    const auto regs = store.registers.snapshot();
    const int count = eqBandCount(eq);
    records.reserve(static_cast<std::size_t>(count));
    for (int b = 0; b < count; ++b) {
        const int offset = recordOffset(eqInfo(eq).bank, sectionOf(eq, b));
        records.push_back(BandRecord::decode(regs.data() + offset));
    }
    return records;
}

void loadEqFromStore(const ParamStore& store, EqGraphModel& graph, int eq) {
    if (!isEqNumber(eq)) return;
    graph.setEqNumber(eq);
    // Always: the limits (locked bands) belong to the EQ, not to the count.
    graph.setBandCount(eqBandCount(eq));
    const auto records = readEqRecords(store, eq);
    for (std::size_t b = 0; b < records.size(); ++b)
        graph.loadRecord(static_cast<int>(b), records[b]);
    graph.recomputeAll();
}

std::vector<SectionSetting> bandSections(int eq, std::span<const EqBand> bands, int band) {
    std::vector<SectionSetting> out;
    if (!isEqNumber(eq) || band < 0 || static_cast<std::size_t>(band) >= bands.size()) return out;
    if (eq != kEqSub) {
        const int section = sectionOf(eq, band);
        if (section < 0) return out;
        const EqBand& b = bands[static_cast<std::size_t>(band)];
        out.push_back({section, b.type, wireFrequency(b.freq), b.gain, b.q});
        return out;
    }
    const int point = subPointOf(band);
    if (point < 0 || bands.size() < static_cast<std::size_t>(eqBandCount(kEqSub))) return out;
    const EqBand& own = bands[static_cast<std::size_t>(point)];
    const int freq = wireFrequency(own.freq);
    out.push_back({sectionOf(eq, point), own.type, freq, own.gain, own.q});
    for (int j = 0; j < 3; ++j) {
        const int hidden = subHiddenBand(point, j);
        out.push_back({sectionOf(eq, hidden), bands[static_cast<std::size_t>(hidden)].type, freq,
                       0.0f, own.q});
    }
    return out;
}

int eqBypassWord(int eq) {
    switch (eq) {
        case kEqMusic:
            return w::musicEqBypass;
        case kEqMicA:
            return w::micAEqBypass;
        case kEqMicB:
            return w::micBEqBypass;
        case kEqReverbA:
            return w::reverbAEqBypass;
        case kEqReverbB:
            return w::reverbBEqBypass;
        case kEqEchoA:
            return w::echoAEqBypass;
        case kEqEchoB:
            return w::echoBEqBypass;
        case kEqSub:
            return outSub.eqBypass();
        case kEqCenter:
            return outCenter.eqBypass();
        case kEqRear:
            return outRear.eqBypass();
        case kEqMain:
            return outMain.eqBypass();
        case kEqTop:
            return outTop.eqBypass();
        default:
            return -1;
    }
}

bool isEqBypassed(const ParamStore& store, int eq) {
    const int word = eqBypassWord(eq);
    return word >= 0 && store.params.getInt(word) != 0;
}

}  // namespace v36
