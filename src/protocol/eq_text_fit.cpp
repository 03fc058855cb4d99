// Band lists as text: fitting read filters onto an EQ, writing an EQ's
// bands, and copying bands between EQs.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "dsp/crossover.h"
#include "protocol/eq_text.h"
#include "protocol/eq_text_detail.h"

namespace v36 {

namespace {

using eqtext::note;
using eqtext::NoteArg;
using eqtext::number;
using K = EqTextNoteKind;

// Qs written with two decimals still find their crossover.
constexpr double kQTolerance = 0.01;
constexpr int kMaxCrossoverSections = 4;
constexpr double kMinHz = 20.0;
constexpr double kMaxHz = 20000.0;

// Q to the record's thousandths.
float recordQ(float q) {
    return static_cast<float>(std::round(static_cast<double>(q) * 1000.0) / 1000.0);
}

// Whole hertz as the unit runs them.
long wholeHz(float freq) {
    return freq > 0.0f ? static_cast<long>(freq) : 0L;
}

// "3, 5, 9-15" from 0-based bands.
std::string bandList(const std::vector<int>& bands) {
    std::string out;
    for (std::size_t i = 0; i < bands.size();) {
        std::size_t j = i;
        while (j + 1 < bands.size() && bands[j + 1] == bands[j] + 1)
            ++j;
        if (!out.empty()) out += ", ";
        out += std::to_string(bands[i] + 1);
        if (j > i) out += "-" + std::to_string(bands[j] + 1);
        i = j + 1;
    }
    return out;
}

bool sameBand(const EqBand& a, const EqBand& b) {
    return a.type == b.type && a.freq == b.freq && a.gain == b.gain && a.q == b.q;
}

// The family of the crossover list whose second-order sections have these
// Qs (in any order), -1 for none.
int familyWithQs(std::vector<double> qs) {
    std::sort(qs.begin(), qs.end());
    for (int f = 0; f < kCrossoverListEntries; ++f) {
        auto own = crossoverSectionQs(f);
        if (own.size() != qs.size()) continue;
        std::sort(own.begin(), own.end());
        bool match = true;
        for (std::size_t i = 0; i < qs.size(); ++i)
            match = match && std::fabs(own[i] - qs[i]) <= kQTolerance;
        if (match) return f;
    }
    return -1;
}

// The second-order crossover of the nearest Q.
int nearestSingleFamily(double q) {
    int best = -1;
    double bestDistance = 0.0;
    for (int f = 0; f < kCrossoverListEntries; ++f) {
        const auto own = crossoverSectionQs(f);
        if (own.size() != 1) continue;
        const double d = std::fabs(own[0] - q);
        if (best < 0 || d < bestDistance) {
            best = f;
            bestDistance = d;
        }
    }
    return best;
}

std::string familyLabel(int family) {
    return std::string(crossoverFamily(family).label);
}

// Fits the taken filters onto the EQ of `r.graph`.
class Fitter {
  public:
    Fitter(const EqTextParse& parsed, EqTextImport& r)
        : parsed_(parsed), r_(r), g_(r.graph), eq_(r.graph.eqNumber()) {
        const auto reset = resetBands(eq_);
        for (const SectionSetting& s : reset)
            resets_[static_cast<std::size_t>(std::max(0, bandOfSection(eq_, s.section)))] = s;
    }

    // `gaps[i]`: the filter numbers left out of the file just before line
    // `lines[i]`, each keeping one band (point) as it is.
    void fit(const std::vector<std::size_t>& lines, const std::vector<int>& gaps) {
        gaps_ = &gaps;
        if (eq_ == kEqSub && g_.bandCount() >= eqBandCount(kEqSub)) {
            fitPoints(lines);
        } else {
            fitBands(lines);
        }
        if (dropped_ > 0) {
            // The bands a filter can take: a locked band takes only its own.
            r_.notes.push_back(
                note(K::FiltersDropped,
                     {{std::to_string(dropped_), counted(dropped_, "filter", "filters")},
                      {std::to_string(places_), counted(places_, "free band", "free bands")}}));
        }
        if (!flat_.empty()) {
            r_.notes.push_back(note(
                K::BandsFlat,
                {{bandList(flat_), (flat_.size() == 1 ? "Band " : "Bands ") + bandList(flat_)}}));
        }
    }

  private:
    // The line's filter, its frequency held inside the EQ's range (the
    // clamp was noted when the line was taken).
    EqTextFilter filter(std::size_t line) const {
        EqTextFilter f = *parsed_.lines[line].filter;
        f.freq = std::clamp(f.freq, kMinHz, kMaxHz);
        return f;
    }
    EqTextLineFate& fate(std::size_t line) { return r_.lines[line]; }

    // The gain and Q band `band` takes for `f`, each clamp noted.
    void setValues(int band, const EqTextFilter& f, std::vector<EqTextNote>& notes) {
        const EqBand& b = g_.band(band);
        double gain = hasGain(b.type) ? f.gain : 0.0;
        const double lo = b.minGain;
        const double hi = b.maxGain;
        if (gain < lo || gain > hi) {
            const double limit = gain < lo ? lo : hi;
            notes.push_back(note(K::GainClamped, {number(gain, 2), number(limit, 1)}));
            gain = limit;
        }
        const float asked = static_cast<float>(std::min(f.q, 1e9));
        const float q = clampQ(b.type, asked);
        if (q != asked) notes.push_back(note(K::QClamped, {number(f.q, 4), number(q, 4)}));
        g_.setGain(band, roundGainStep(static_cast<float>(gain)));
        g_.setQ(band, recordQ(q));
    }

    void take(int band, std::size_t line) {
        const EqTextFilter f = filter(line);
        g_.setType(band, f.type);
        g_.setFrequency(band, static_cast<float>(std::round(f.freq)));
        setValues(band, f, fate(line).notes);
        fate(line).fate = EqTextFate::Band;
        fate(line).band = band;
    }

    void flatten(int band) {
        const SectionSetting& s = resets_[static_cast<std::size_t>(band)];
        flat_.push_back(band);
        // A band already flat there stays as it is (a point: all four sections).
        const EqBand& b = g_.band(band);
        const bool point = eq_ == kEqSub && band < kSubPoints;
        const bool flat =
            b.type == kPeq && b.gain == 0.0f && wholeHz(b.freq) == s.freq &&
            (!point || classifySubPoint(subPointTypes(g_.bands(), band)).shownType == kPeq);
        if (flat) return;
        g_.setType(band, kPeq);
        g_.setFrequency(band, static_cast<float>(s.freq));
        g_.setGain(band, 0.0f);
        g_.setQ(band, s.q);
    }

    void drop(std::size_t line) {
        fate(line).fate = EqTextFate::Dropped;
        fate(line).notes.push_back(note(K::NoBandLeft));
        ++dropped_;
    }

    void fitBands(const std::vector<std::size_t>& lines) {
        const int count = g_.bandCount();
        std::vector<int> free;
        for (int b = 0; b < count; ++b)
            if (!isLockedBand(eq_, b)) free.push_back(b);
        places_ = static_cast<int>(free.size());
        std::vector<bool> lockedTaken(static_cast<std::size_t>(count), false);
        std::size_t next = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::size_t line = lines[i];
            next = std::min(free.size(), next + gap(i));
            const EqTextFilter f = filter(line);
            const float freq = static_cast<float>(std::round(f.freq));
            // A filter of a locked band's type at its frequency, where that
            // band stands in the band order, gives it its gain.
            const int before = next < free.size() ? free[next] : count;
            int locked = -1;
            for (int b = 0; b < before; ++b) {
                if (isLockedBand(eq_, b) && !lockedTaken[static_cast<std::size_t>(b)] &&
                    g_.band(b).type == f.type && std::fabs(g_.band(b).freq - freq) < 0.5f) {
                    locked = b;
                    break;
                }
            }
            if (locked >= 0) {
                lockedTaken[static_cast<std::size_t>(locked)] = true;
                EqTextLineFate& out = fate(line);
                out.notes.push_back(
                    note(K::LockedGainOnly, {std::to_string(locked + 1), number(freq, 0)}));
                const EqBand& b = g_.band(locked);
                EqTextFilter gainOnly = f;
                gainOnly.q = b.q;
                setValues(locked, gainOnly, out.notes);
                out.fate = EqTextFate::Band;
                out.band = locked;
            } else if (next < free.size()) {
                take(free[next++], line);
            } else {
                drop(line);
            }
        }
        for (; next < free.size(); ++next)
            flatten(free[next]);
        for (int b = 0; b < count; ++b) {
            if (isLockedBand(eq_, b) && !lockedTaken[static_cast<std::size_t>(b)] &&
                g_.band(b).gain != 0.0f) {
                r_.notes.push_back(
                    note(K::LockedKept, {std::to_string(b + 1), number(g_.band(b).gain, 1)}));
            }
        }
    }

    // The subwoofer EQ: one point for each filter, a run of pass filters of
    // one side at one frequency joining into the crossover whose sections
    // they are.
    void fitPoints(const std::vector<std::size_t>& lines) {
        places_ = kSubPoints;
        int next = 0;
        for (std::size_t i = 0; i < lines.size();) {
            next = std::min(kSubPoints, next + static_cast<int>(gap(i)));
            const EqTextFilter f = filter(lines[i]);
            const float freq = static_cast<float>(std::round(f.freq));
            if (f.type != kLowPass && f.type != kHighPass) {
                if (next < kSubPoints) {
                    take(next++, lines[i]);
                } else {
                    drop(lines[i]);
                }
                ++i;
                continue;
            }
            std::size_t run = 1;
            while (i + run < lines.size() && run < kMaxCrossoverSections && gap(i + run) == 0) {
                const EqTextFilter g = filter(lines[i + run]);
                if (g.type != f.type ||
                    std::fabs(std::round(g.freq) - static_cast<double>(freq)) > 0.0)
                    break;
                ++run;
            }
            int family = -1;
            std::size_t length = 1;
            for (std::size_t n = run; n >= 2 && family < 0; --n) {
                std::vector<double> qs;
                for (std::size_t j = 0; j < n; ++j)
                    qs.push_back(filter(lines[i + j]).q);
                family = familyWithQs(qs);
                if (family >= 0) length = n;
            }
            bool nearest = false;
            if (family < 0) {
                family = familyWithQs({f.q});
                if (family < 0) {
                    family = nearestSingleFamily(f.q);
                    nearest = true;
                }
            }
            if (next >= kSubPoints) {
                for (std::size_t j = 0; j < length; ++j)
                    drop(lines[i + j]);
                i += length;
                continue;
            }
            const int point = next++;
            g_.setType(point, f.type);
            g_.applyCrossoverFamily(point, family);
            g_.setFrequency(point, freq);
            for (std::size_t j = 0; j < length; ++j) {
                EqTextLineFate& out = fate(lines[i + j]);
                out.fate = EqTextFate::Band;
                out.band = point;
                if (length > 1) {
                    std::string others;
                    for (std::size_t k = 0; k < length; ++k) {
                        if (k == j) continue;
                        if (!others.empty()) others += ", ";
                        others += std::to_string(parsed_.lines[lines[i + k]].number);
                    }
                    out.notes.push_back(note(K::CrossoverJoined, {others, familyLabel(family)}));
                } else if (nearest) {
                    out.notes.push_back(
                        note(K::CrossoverNearest, {number(f.q, 4), familyLabel(family)}));
                } else {
                    out.notes.push_back(note(K::Crossover, {familyLabel(family)}));
                }
            }
            i += length;
        }
        for (int p = next; p < kSubPoints; ++p)
            flatten(p);
    }

    std::size_t gap(std::size_t i) const {
        return gaps_ != nullptr && i < gaps_->size() ? static_cast<std::size_t>((*gaps_)[i]) : 0;
    }

    const EqTextParse& parsed_;
    const std::vector<int>* gaps_ = nullptr;
    EqTextImport& r_;
    EqGraphModel& g_;
    int eq_;
    std::array<SectionSetting, kMaxEqBands> resets_{};
    std::vector<int> flat_;
    int dropped_ = 0;
    int places_ = 0;  // the bands (points) filters can take
};

std::string channelNames(const std::vector<EqTextChannel>& channels) {
    std::string out;
    for (const auto& c : channels) {
        if (!out.empty()) out += ", ";
        out += "\"" + c.name + "\"";
    }
    return out;
}

// The reasons of the skipped lines, for the error of a file without a
// usable filter.
NoteArg skippedReasons(const EqTextImport& r, const EqTextParse& parsed) {
    constexpr int kShown = 5;
    std::string zh;
    std::string en;
    int shown = 0;
    int more = 0;
    for (std::size_t n = 0; n < r.lines.size(); ++n) {
        const EqTextLineFate& f = r.lines[n];
        if (f.fate != EqTextFate::Skipped || f.notes.empty()) continue;
        if (shown == kShown) {
            ++more;
            continue;
        }
        const std::string number = std::to_string(parsed.lines[n].number);
        zh += (shown == 0 ? "：第 " : "；第 ") + number + " 行：" + f.notes.back().textFor(0);
        en += (shown == 0 ? ": line " : "; line ") + number + ": " + f.notes.back().textFor(1);
        ++shown;
    }
    if (more > 0) {
        zh += "；另有 " + std::to_string(more) + " 行";
        en += "; and " + counted(more, "more line", "more lines");
    }
    return {zh, en};
}

}  // namespace

std::vector<double> crossoverSectionQs(int family) {
    if (family < 0 || family >= kCrossoverListEntries) return {};
    std::vector<double> qs;
    int firstOrder = 0;
    for (int type : crossoverFamily(family).sectionTypes(kLowPass)) {
        if (type == kPeq) continue;  // a flat section
        if (isFirstOrderPass(type)) {
            ++firstOrder;
        } else if (isSecondOrderPass(type)) {
            qs.push_back(sectionQ(type, 0.0));
        } else {
            return {};
        }
    }
    // Two equal first-order sections (bilinear, one frequency) are exactly
    // one second-order section of Q 0.5; a single one has no second-order
    // form.
    if (firstOrder % 2 != 0) return {};
    for (int k = 0; k < firstOrder / 2; ++k)
        qs.push_back(0.5);
    return qs;
}

EqTextImport fitEqText(const EqTextParse& parsed, const EqGraphModel& current,
                       const EqTextFitOptions& options) {
    EqTextImport r{current, {}, -1, std::nullopt, parsed.notes, {}};
    r.lines.resize(parsed.lines.size());
    for (std::size_t n = 0; n < parsed.lines.size(); ++n)
        r.lines[n].notes = parsed.lines[n].notes;
    if (!parsed.errors.empty()) {
        r.errors = parsed.errors;
        return r;
    }

    const auto& channels = parsed.channels;
    if (options.channel) {
        if (*options.channel >= 0 && static_cast<std::size_t>(*options.channel) < channels.size()) {
            r.channel = *options.channel;
        } else {
            r.errors.push_back(note(K::PickChannel, {channelNames(channels)}));
        }
    } else if (channels.size() == 1) {
        r.channel = 0;
        r.notes.push_back(note(K::ChannelTaken, {channels[0].name}));
    } else if (channels.size() > 1) {
        r.errors.push_back(note(K::PickChannel, {channelNames(channels)}));
    }

    // What the reading already decides.
    std::vector<std::size_t> taken;
    // Filter numbers left out before each taken line (Filter 4, then
    // Filter 6): each keeps a band as it is. The numbers of lines that take
    // no band (off, skipped) count as used.
    std::vector<int> gaps;
    int lastNumber = 0;
    int pendingGap = 0;
    for (std::size_t n = 0; n < parsed.lines.size(); ++n) {
        const EqTextLine& line = parsed.lines[n];
        EqTextLineFate& fate = r.lines[n];
        const bool otherSection = line.channel >= 0 && line.channel != r.channel;
        // (Files of several channel sections number their filters as they
        // like: there a number left out keeps nothing.)
        if (line.kind == EqTextLineKind::Filter && parsed.channels.empty() &&
            line.filterNumber >= 0) {
            if (line.filterNumber > lastNumber + 1)
                pendingGap += std::min(line.filterNumber - lastNumber - 1, kMaxEqBands);
            lastNumber = line.filterNumber;
        }
        const auto otherChannel = [&] {
            fate.fate = EqTextFate::OtherChannel;
            fate.notes.push_back(
                note(K::OtherChannel, {channels[static_cast<std::size_t>(line.channel)].name}));
        };
        switch (line.kind) {
            case EqTextLineKind::Blank:
            case EqTextLineKind::Comment:
            case EqTextLineKind::Header:
                fate.fate = EqTextFate::Ignored;
                break;
            case EqTextLineKind::Channel:
                fate.fate = EqTextFate::Reported;
                break;
            case EqTextLineKind::Preamp:
                if (otherSection) {
                    otherChannel();
                } else {
                    fate.fate = line.preampDb ? EqTextFate::Reported : EqTextFate::Skipped;
                    if (line.preampDb) r.preampDb = r.preampDb.value_or(0.0) + *line.preampDb;
                }
                break;
            case EqTextLineKind::Other:
                fate.fate = EqTextFate::Skipped;
                break;
            case EqTextLineKind::Filter:
                if (otherSection && (line.filter || line.off)) {
                    otherChannel();
                } else if (line.off) {
                    fate.fate = EqTextFate::Off;
                } else if (!line.filter) {
                    fate.fate = EqTextFate::Skipped;
                } else {
                    // A frequency outside the EQ's range is held at its end.
                    const double hz = line.filter->freq;
                    if (hz < kMinHz || hz > kMaxHz) {
                        fate.notes.push_back(
                            note(K::OutOfRange,
                                 {number(hz, 2), number(std::clamp(hz, kMinHz, kMaxHz), 0)}));
                    }
                    taken.push_back(n);
                    gaps.push_back(pendingGap);
                    pendingGap = 0;
                }
                break;
        }
    }
    if (!r.errors.empty()) return r;

    Fitter(parsed, r).fit(taken, gaps);

    const bool any = std::any_of(r.lines.begin(), r.lines.end(), [](const EqTextLineFate& f) {
        return f.fate == EqTextFate::Band;
    });
    if (!any) {
        r.graph = current;
        r.notes.clear();
        r.errors.push_back(note(K::NoUsableFilter, {skippedReasons(r, parsed)}));
        return r;
    }
    if (r.preampDb && *r.preampDb != 0.0)
        r.notes.push_back(note(K::Preamp, {number(*r.preampDb, 2)}));
    return r;
}

std::vector<int> changedBands(const EqGraphModel& before, const EqGraphModel& after) {
    std::vector<int> out;
    const int eq = after.eqNumber();
    const int count = std::min(before.bandCount(), after.bandCount());
    for (int b = 0; b < count; ++b) {
        if (sameBand(before.band(b), after.band(b))) continue;
        const int shown = eq == kEqSub && count >= eqBandCount(kEqSub) ? subPointOf(b) : b;
        if (shown >= 0 && std::find(out.begin(), out.end(), shown) == out.end())
            out.push_back(shown);
    }
    std::sort(out.begin(), out.end());
    return out;
}

EqTextExport writeEqText(int eq, std::span<const EqBand> bands) {
    EqTextExport out;
    std::string filters;
    int k = 0;
    const auto line = [&](const char* type, float freq, const std::string* gain,
                          const std::string& q) {
        filters += "Filter " + std::to_string(++k) + ": ON " + type + " Fc " +
                   std::to_string(wholeHz(freq)) + " Hz";
        if (gain != nullptr) filters += " Gain " + *gain + " dB";
        filters += " Q " + q + "\n";
    };
    // A band without a line keeps its number: the bands after it keep
    // their places when the file is read back.
    const auto skipNumber = [&] { ++k; };
    const auto plain = [&](const EqBand& b) {
        const char* type = b.type == kLowShelf ? "LSC" : b.type == kHighShelf ? "HSC" : "PK";
        const std::string gain = eqtext::shortest(b.gain, 1);
        line(type, b.freq, &gain, eqtext::shortest(b.q, 2));
    };
    const auto leftOut = [&](int band, const NoteArg& what, float freq) {
        EqTextNote n =
            note(K::NotWritable, {std::to_string(band + 1), what, std::to_string(wholeHz(freq))});
        filters += "# " + n.textFor(1) + "\n";
        out.notes.push_back(std::move(n));
        skipNumber();
    };

    if (eq == kEqSub && bands.size() >= static_cast<std::size_t>(eqBandCount(kEqSub))) {
        for (int p = 0; p < kSubPoints; ++p) {
            const EqBand& own = bands[static_cast<std::size_t>(p)];
            const auto types = subPointTypes(bands, p);
            const SubPointShape shape = classifySubPoint(types);
            const bool hiddenFlat = std::all_of(types.begin() + 1, types.end(),
                                                [](int t) { return t == kPeq || t == 0; });
            if (shape.shownType == kPeq || shape.shownType == kLowShelf ||
                shape.shownType == kHighShelf) {
                plain(own);
            } else if (own.type == 0 && hiddenFlat) {
                skipNumber();  // not in use
            } else if (shape.shownType == kLowPass || shape.shownType == kHighPass) {
                const auto qs = crossoverSectionQs(shape.family);
                if (qs.empty()) leftOut(p, familyLabel(shape.family), own.freq);
                for (double q : qs)
                    line(shape.shownType == kLowPass ? "LPQ" : "HPQ", own.freq, nullptr,
                         eqtext::fixed(q, 4));
            } else {
                std::string list;
                for (int t : types)
                    list += (list.empty() ? "" : "/") + std::to_string(t);
                leftOut(p, {"类型 " + list, "types " + list}, own.freq);
            }
        }
    } else {
        for (std::size_t n = 0; n < bands.size(); ++n) {
            const EqBand& b = bands[n];
            if (b.type == 0) {  // not in use
                skipNumber();
                continue;
            }
            if (hasGain(b.type)) {
                plain(b);
            } else if (isSecondOrderPass(b.type)) {
                const bool variable = b.type == kLowPass || b.type == kHighPass;
                line(isLowPassType(b.type) ? "LPQ" : "HPQ", b.freq, nullptr,
                     variable ? eqtext::shortest(b.q, 2) : eqtext::fixed(sectionQ(b.type, b.q), 4));
            } else {
                const std::string t = std::to_string(b.type);
                leftOut(static_cast<int>(n), {"类型 " + t, "type " + t}, b.freq);
            }
        }
    }
    out.text = "Preamp: 0.0 dB\n" + filters;
    return out;
}

EqCopy copyEq(const EqGraphModel& from, const EqGraphModel& to) {
    EqCopy r{to, {}, {}};
    const int fe = from.eqNumber();
    const int te = to.eqNumber();
    const auto title = [](int eq) {
        return NoteArg(std::string(eqTitle(eq, 0)), std::string(eqTitle(eq, 1)));
    };
    if (fe == te) {
        r.errors.push_back(note(K::CopySameEq));
        return r;
    }
    if (eqBandCount(fe) != eqBandCount(te) || from.bandCount() != to.bandCount()) {
        r.errors.push_back(note(K::CopyBandCounts, {title(fe), std::to_string(eqPointCount(fe)),
                                                    title(te), std::to_string(eqPointCount(te))}));
        return r;
    }
    EqGraphModel& g = r.graph;
    for (int b = 0; b < g.bandCount(); ++b) {
        const EqBand& src = from.band(b);
        if (isLockedBand(te, b)) {
            const EqBand& dst = g.band(b);
            if (src.type != dst.type || wholeHz(src.freq) != wholeHz(dst.freq) || src.q != dst.q) {
                r.notes.push_back(
                    note(K::LockedGainOnly, {std::to_string(b + 1), number(dst.freq, 0)}));
            }
            g.setGain(b, src.gain);
            continue;
        }
        g.loadRecord(b, BandRecord{src.gain, static_cast<int>(wholeHz(src.freq)), src.q, src.type});
    }
    g.recomputeAll();
    return r;
}

std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string counted(int n, const char* one, const char* many) {
    return counted(static_cast<std::size_t>(std::max(n, 0)), one, many);
}

}  // namespace v36
