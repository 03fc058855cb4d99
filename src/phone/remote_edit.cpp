#include "phone/remote_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "phone/phone_hub.h"
#include "protocol/controls.h"
#include "protocol/eq_access.h"

namespace v36::phone {

namespace {

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

}  // namespace

int shownType(int eq, std::span<const EqBand> bands, int band) {
    if (eq == kEqSub && band < kSubPoints)
        return classifySubPoint(subPointTypes(bands, band)).shownType;
    return bands[static_cast<std::size_t>(band)].type;
}

float maxQ(int type) {
    return clampQ(type, kMaxQ);
}

void loadRemoteGraph(const ParamStore& store, EqGraphModel& graph, int eq, bool curves) {
    if (curves) graph.setPlotWidth(kPhoneCurveWidth);
    loadEqFromStore(store, graph, eq);
}

bool editChanges(const ParamStore& store, const Edit& edit) {
    bool changes = !edit.sectionValues().empty();
    for (const auto& [w, raw] : edit.wordValues())
        changes = changes || store.params.getRaw(w) != raw;
    return changes;
}

std::optional<Edit> remoteWordEdit(const ParamStore& store, int word, double value,
                                   bool unitAttached, std::string& why) {
    auto checked = checkWordValue(word, value, why);
    if (!checked) return std::nullopt;
    if (const auto limit = volumeLimit(store, word, unitAttached))
        checked->i = std::min(checked->i, *limit);
    return wordEdit(store, word, *checked);
}

std::optional<Edit> remoteBandEdit(const ParamStore& store, const BandRequest& band,
                                   std::string& why) {
    why.clear();
    const int eq = band.eq;
    if (!isEqNumber(eq)) {
        why = "EQ numbers run from 0 to 11";
        return std::nullopt;
    }
    const std::string title(eqTitle(eq, 1));
    if (band.band < 1 || band.band > eqPointCount(eq)) {
        why = title + " has bands 1.." + std::to_string(eqPointCount(eq));
        return std::nullopt;
    }
    const int n = band.band - 1;
    EqGraphModel graph;
    loadRemoteGraph(store, graph, eq);
    const EqBand& b = graph.band(n);
    const std::string name = title + " band " + std::to_string(band.band);
    const bool locked = isLockedBand(eq, n);
    const int type = shownType(eq, graph.bands(), n);
    const bool typeChanges = band.type && *band.type != type;
    if (typeChanges && (!hasTypeMenu(eq, n) || locked)) {
        why = name + " keeps its type";
        return std::nullopt;
    }
    if (typeChanges && (*band.type < 1 || *band.type > 5)) {
        why = "filter types run from 1 (PEQ) to 5 (HS)";
        return std::nullopt;
    }
    if (band.freq) {
        if (locked && std::fabs(*band.freq - double{b.freq}) >= 0.5) {
            why = name + " has a fixed frequency";
            return std::nullopt;
        }
        if (*band.freq < double{b.minFreq} || *band.freq > double{b.maxFreq}) {
            why = name + ": freq lies within " + number(double{b.minFreq}) + ".." +
                  number(double{b.maxFreq}) + " Hz";
            return std::nullopt;
        }
    }
    if (band.gain && (*band.gain < double{b.minGain} || *band.gain > double{b.maxGain})) {
        why = name + ": gain lies within " + number(double{b.minGain}) + ".." +
              number(double{b.maxGain}) + " dB";
        return std::nullopt;
    }
    const int newType = typeChanges ? *band.type : type;
    if (band.q) {
        if (locked && std::fabs(*band.q - double{b.q}) >= 0.005) {
            why = name + " has a fixed Q";
            return std::nullopt;
        }
        if (*band.q < double{kMinQ} || *band.q > double{maxQ(newType)}) {
            why = name + ": q lies within " + number(double{kMinQ}) + ".." +
                  number(double{maxQ(newType)});
            return std::nullopt;
        }
    }
    const auto before = bandSections(eq, graph.bands(), n);
    if (typeChanges) graph.setType(n, newType);
    if (band.freq) graph.setFrequency(n, static_cast<float>(*band.freq));
    if (band.gain) graph.setGain(n, roundGainStep(static_cast<float>(*band.gain)));
    if (band.q && !locked) graph.setQ(n, static_cast<float>(*band.q));
    if (bandSections(eq, graph.bands(), n) == before) return std::nullopt;
    return bandEdit(eq, graph.bands(), n);
}

}  // namespace v36::phone
