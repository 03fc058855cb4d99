#include "protocol/word_edit.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "protocol/bytes.h"
#include "protocol/output_delay.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36 {

namespace {

std::string rangeNumber(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string rangeText(const WordInfo& info, const WordRange& r) {
    return info.name + " lies within " + rangeNumber(r.lo) + ".." + rangeNumber(r.hi);
}

struct DelayWord {
    const OutputGroup* group = nullptr;
    int channel = 0;
    bool mode = false;  // the delay filter mode, else the delay
};

std::optional<DelayWord> delayWord(int word) {
    for (const OutputGroup& g : kOutputGroups) {
        for (int k = 0; k < g.channels(); ++k) {
            if (word == g.delayMs(k)) return DelayWord{&g, k, false};
            if (word == g.delayFilterMode(k)) return DelayWord{&g, k, true};
        }
    }
    return std::nullopt;
}

}  // namespace

WordRange wordRange(int word) {
    const WordInfo& info = wordInfo(word);
    if (!info.isFloat()) {
        switch (info.kind) {
            case WordKind::Level:
                return {0, 300, true};
            case WordKind::Mute:
            case WordKind::DelayMode:
                return {0, 1, true};
            case WordKind::Pitch:
                return {-5, 5, true};
            case WordKind::FreqShift:
                return {1, 5, true};
            case WordKind::Gate4:
            case WordKind::Gate5:
            case WordKind::Gate7:
                return {0, 100000000, true};
            default:
                return {0, 255, true};
        }
    }
    switch (info.kind) {
        case WordKind::Samples:
            return {0.0, 1000.0, false};
        case WordKind::ReverbTime:
            return {0.0, 100.0, false};
        case WordKind::CompRatio:
            return {1.0, 100.0, false};
        case WordKind::CompAttack:
        case WordKind::CompRelease:
            return {0.01, 10000.0, false};
        default:
            return {-1e9, 1e9, false};
    }
}

std::optional<WordValue> checkWordValue(int word, double value, std::string& why) {
    const WordInfo& info = wordInfo(word);
    const WordRange r = wordRange(word);
    if (!std::isfinite(value)) {
        why = info.name + (r.integer ? " takes a whole number" : " takes a number");
        return std::nullopt;
    }
    if (r.integer && value != std::trunc(value)) {
        why = info.name + " takes a whole number";
        return std::nullopt;
    }
    if (value < r.lo || value > r.hi) {
        why = rangeText(info, r);
        return std::nullopt;
    }
    WordValue v;
    if (r.integer) {
        v.i = static_cast<std::int32_t>(value);
    } else {
        v.f = static_cast<float>(value);
    }
    return v;
}

std::optional<WordValue> parseWordValue(int word, std::string_view text, std::string& why) {
    const WordInfo& info = wordInfo(word);
    const WordRange r = wordRange(word);
    if (r.integer) {
        long long n = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc() || end != text.data() + text.size()) {
            why = info.name + " takes a whole number";
            return std::nullopt;
        }
        if (n < static_cast<long long>(r.lo) || n > static_cast<long long>(r.hi)) {
            why = rangeText(info, r);
            return std::nullopt;
        }
        return checkWordValue(word, static_cast<double>(n), why);
    }
    const std::string copy(text);
    char* end = nullptr;
    const double d = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(d)) {
        why = info.name + " takes a number";
        return std::nullopt;
    }
    return checkWordValue(word, d, why);
}

double wordDisplayValue(const ParamStore& store, int word) {
    if (wordInfo(word).isFloat()) return double{store.params.getFloat(word)};
    return store.params.getInt(word);
}

std::optional<int> volumeLimit(const ParamStore& store, int word) {
    // Bytes 5 (microphone) and 6 (music) of the applied machine settings.
    if (word == w::micVolume) return store.settingsApplied.at(5);
    if (word == w::musicVolume) return store.settingsApplied.at(6);
    return std::nullopt;
}

WordEdit planWordEdit(const ParamStore& store, int word, const WordValue& value) {
    WordEdit edit;
    const WordInfo& info = wordInfo(word);
    if (const auto d = delayWord(word)) {
        const OutputGroup& g = *d->group;
        if (!d->mode) {
            edit.words.push_back({word, floatBits(outputDelayFloor(value.f)), true});
            return edit;
        }
        // The mode words, then the split pair: high-pass and low-pass, or
        // flat sections that keep the pair for a return to high-frequency
        // mode.
        edit.words.push_back({word, static_cast<std::uint32_t>(value.i), true});
        edit.bank = g.block;
        const auto split =
            splitSections(g, d->channel, splitPairOf(store, g, d->channel), value.i == 0);
        edit.sections.assign(split.begin(), split.end());
        return edit;
    }
    if (info.kind == WordKind::FreqShift) {
        // The shift's sender sends the mode word with it.
        const int mode = word == w::micAFreq ? w::micAFreqMode : w::micBFreqMode;
        edit.words.push_back({mode, static_cast<std::uint32_t>(value.i == 1 ? 1 : 0), false});
        edit.words.push_back({word, static_cast<std::uint32_t>(value.i), true});
        return edit;
    }
    if (info.kind == WordKind::ReverbTime) {
        edit.words.push_back({word, floatBits(std::trunc(value.f)), true});
    } else if (info.isFloat()) {
        edit.words.push_back({word, floatBits(value.f), true});
    } else {
        edit.words.push_back({word, static_cast<std::uint32_t>(value.i), true});
    }
    return edit;
}

void storeSections(ParamStore& store, int bank, std::span<const SectionSetting> sections) {
    for (const SectionSetting& s : sections) {
        const auto bytes = BandRecord{s.gain, s.freq, s.q, s.type}.encode();
        store.registers.write(static_cast<std::size_t>(recordOffset(bank, s.section)), bytes.data(),
                              bytes.size());
    }
}

void sendSections(Senders& senders, int bank, std::span<const SectionSetting> sections) {
    for (const SectionSetting& s : sections)
        senders.sendSection(bank, s.section, s.type, s.gain, s.freq, s.q);
}

void storeWordEdit(ParamStore& store, const WordEdit& edit) {
    for (const WordEdit::Change& c : edit.words)
        store.params.setRaw(c.word, c.raw);
    storeSections(store, edit.bank, edit.sections);
}

void sendWordEdit(Senders& senders, const WordEdit& edit) {
    for (const WordEdit::Change& c : edit.words)
        if (c.send) senders.sendWord(c.word);
    sendSections(senders, edit.bank, edit.sections);
}

}  // namespace v36
