#include "protocol/edit.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "link/link.h"
#include "protocol/bytes.h"
#include "protocol/eq_access.h"
#include "protocol/output_delay.h"
#include "protocol/senders.h"
#include "protocol/word_table.h"
#include "protocol/words.h"
#include "protocol/write_queue.h"

namespace v36 {

// --- Edit ------------------------------------------------------------------------------

Edit& Edit::word(int w, std::uint32_t raw, bool send) {
    Item item;
    item.kind = Kind::Word;
    item.index = w;
    item.raw = raw;
    item.send = send;
    items_.push_back(std::move(item));
    return *this;
}

Edit& Edit::wordFloat(int w, float value, bool send) {
    return word(w, floatBits(value), send);
}

Edit& Edit::section(const SectionValue& value) {
    Item item;
    item.kind = Kind::Section;
    item.sectionValue = value;
    items_.push_back(std::move(item));
    return *this;
}

Edit& Edit::sections(int bank, std::span<const SectionSetting> settings) {
    for (const SectionSetting& s : settings)
        section({bank, s.section, s.type, s.gain, s.freq, s.q});
    return *this;
}

Edit& Edit::band(int eq, std::span<const EqBand> bands, int b) {
    if (!isEqNumber(eq)) return *this;
    return sections(eqInfo(eq).bank, bandSections(eq, bands, b));
}

Edit& Edit::soundField(const SoundFieldGeometry& geometry) {
    Item item;
    item.kind = Kind::SoundField;
    item.geometry = geometry;
    items_.push_back(std::move(item));
    return *this;
}

Edit& Edit::speakerLevel(int k, float db) {
    if (k < 0 || k > 7) return *this;
    Item item;
    item.kind = Kind::Speaker;
    item.index = k;
    item.db = db;
    items_.push_back(std::move(item));
    return *this;
}

Edit& Edit::settingsEdit(const std::array<std::uint8_t, kMachineSettingsSize>& bytes) {
    Item item;
    item.kind = Kind::SettingsEdit;
    item.settings = bytes;
    items_.push_back(std::move(item));
    return *this;
}

Edit& Edit::send(Job job) {
    Item item;
    item.kind = Kind::Job;
    item.job = std::move(job);
    items_.push_back(std::move(item));
    return *this;
}

std::vector<std::pair<int, std::uint32_t>> Edit::wordValues() const {
    std::vector<std::pair<int, std::uint32_t>> out;
    for (const Item& item : items_)
        if (item.kind == Kind::Word) out.emplace_back(item.index, item.raw);
    return out;
}

std::vector<SectionValue> Edit::sectionValues() const {
    std::vector<SectionValue> out;
    for (const Item& item : items_)
        if (item.kind == Kind::Section) out.push_back(item.sectionValue);
    return out;
}

bool Edit::canMerge(const Edit& next) const {
    if (key_.empty() || next.key_ != key_ || items_.size() != next.items_.size()) return false;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const Item& a = items_[i];
        const Item& b = next.items_[i];
        if (a.kind != b.kind || a.index != b.index) return false;
        if (a.kind == Kind::Section && (a.sectionValue.bank != b.sectionValue.bank ||
                                        a.sectionValue.section != b.sectionValue.section))
            return false;
    }
    return true;
}

void Edit::merge(const Edit& next) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        Item& m = items_[i];
        const Item& t = next.items_[i];
        // A word that any edit of the gesture sent goes out on undo and redo.
        m.send = m.send || t.send;
        m.raw = t.raw;
        m.sectionValue = t.sectionValue;
        m.geometry = t.geometry;
        m.db = t.db;
        m.speakers = t.speakers;
        m.settings = t.settings;
        if (t.job) m.job = t.job;
    }
}

// --- The rules every front end shares ---------------------------------------------------------

namespace {

struct DelayWord {
    const OutputGroup* group = nullptr;
    int channel = 0;
};

std::optional<DelayWord> delayModeWord(int word) {
    for (const OutputGroup& g : kOutputGroups) {
        for (int k = 0; k < g.channels(); ++k)
            if (word == g.delayFilterMode(k)) return DelayWord{&g, k};
    }
    return std::nullopt;
}

const OutputGroup* compressorGroup(int word) {
    for (const OutputGroup& g : kOutputGroups)
        if (word >= g.compThreshold() && word <= g.compRelease()) return &g;
    return nullptr;
}

// A whole number toward zero that never overflows (a value from the unit
// may be anything); not a number gives 0.
float wholeNumber(float value) {
    if (!std::isfinite(value)) return 0.0f;
    return std::trunc(std::clamp(value, -1.0e6f, 1.0e6f));
}

// At least `floor`; not a number gives the floor.
float atLeast(float value, double floor) {
    const auto f = static_cast<float>(floor);
    return std::isnan(value) || value < f ? f : value;
}

EditText textOf(const ControlInfo& c) {
    return {c.zh, c.en};
}

}  // namespace

Edit wordEdit(const ParamStore& store, int word, const WordValue& value) {
    const ControlInfo& c = controlInfo(word);
    Edit edit(textOf(c));
    edit.merging(c.mergeKey);
    switch (c.rule) {
        case ControlRule::PredelayTap: {
            // Both taps, each at least half the 3 ms the predelay keeps.
            const float tap = atLeast(value.f, c.floor);
            const int first = c.mergeKey == "word:" + std::to_string(word) ? word : word - 1;
            edit.wordFloat(first, tap).wordFloat(first + 1, tap);
            return edit;
        }
        case ControlRule::WholeNumber:
            edit.wordFloat(word, atLeast(wholeNumber(value.f), c.floor));
            return edit;
        case ControlRule::FreqShift: {
            // The shift's sender sends the mode word with it.
            const int mode = word == w::micAFreq ? w::micAFreqMode : w::micBFreqMode;
            edit.wordInt(mode, value.i == 1 ? 1 : 0, false).wordInt(word, value.i);
            return edit;
        }
        case ControlRule::DelayMode: {
            // The mode words, then the split pair: high-pass and low-pass, or
            // flat sections that keep the pair for a return to high-frequency
            // mode.
            const DelayWord d = *delayModeWord(word);
            const OutputGroup& g = *d.group;
            edit.wordInt(word, value.i);
            const auto split =
                splitSections(g, d.channel, splitPairOf(store, g, d.channel), value.i == 0);
            edit.sections(g.block, split);
            return edit;
        }
        case ControlRule::Compressor: {
            // The group's four values with this one replaced; attack and
            // release go as whole milliseconds. The group is sent once.
            const OutputGroup& g = *compressorGroup(word);
            const ParamBlock& p = store.params;
            std::array<float, 4> values{p.getFloat(g.compThreshold()), p.getFloat(g.compRatio()),
                                        wholeNumber(p.getFloat(g.compAttack())),
                                        wholeNumber(p.getFloat(g.compRelease()))};
            const auto at = static_cast<std::size_t>(word - g.compThreshold());
            values[at] = atLeast(value.f, c.floor);
            if (word == g.compAttack() || word == g.compRelease())
                values[at] = wholeNumber(values[at]);
            for (std::size_t i = 0; i < 4; ++i)
                edit.wordFloat(g.compThreshold() + static_cast<int>(i), values[i], i == at);
            return edit;
        }
        case ControlRule::Plain:
        case ControlRule::Volume:
        case ControlRule::Derived:
            break;
    }
    if (wordInfo(word).isFloat()) {
        edit.wordFloat(word, atLeast(value.f, c.floor));
    } else {
        edit.wordInt(word, value.i);
    }
    return edit;
}

Edit wordEdit(const ParamStore& store, int word, double value) {
    WordValue v;
    if (wordInfo(word).isFloat()) {
        v.f = static_cast<float>(value);
    } else {
        v.i = static_cast<std::int32_t>(value);
    }
    return wordEdit(store, word, v);
}

Edit bandEdit(int eq, std::span<const EqBand> bands, int band) {
    if (!isEqNumber(eq)) return Edit();
    const std::string n = std::to_string(band + 1);
    Edit edit({std::string(eqTitle(eq, 0)) + " 第" + n + "段",
               std::string(eqTitle(eq, 1)) + " Band " + n});
    edit.merging(bandMergeKey(eq, band)).band(eq, bands, band);
    return edit;
}

Edit bandsEdit(int eq, std::span<const EqBand> bands, std::span<const int> which, EditText text) {
    if (!isEqNumber(eq)) return Edit();
    Edit edit(std::move(text));
    for (const int b : which)
        edit.band(eq, bands, b);
    if (which.size() > 1) edit.wrapInMusicMute(eqInfo(eq).resetMutesMusic);
    return edit;
}

Edit eqResetEdit(int eq) {
    if (!isEqNumber(eq)) return Edit();
    // The step names the EQ: "Reset CH A Reverb EQ".
    Edit edit({"重置" + std::string(eqTitle(eq, 0)), "Reset " + std::string(eqTitle(eq, 1))});
    const auto defaults = resetBands(eq);
    edit.sections(eqInfo(eq).bank, defaults).wrapInMusicMute(eqInfo(eq).resetMutesMusic);
    return edit;
}

Edit eqBypassEdit(const ParamStore&, int eq, bool bypassed) {
    const int word = eqBypassWord(eq);
    if (word < 0) return Edit();
    Edit edit({std::string(eqTitle(eq, 0)) + "旁路", std::string(eqTitle(eq, 1)) + " Bypass"});
    edit.wordInt(word, bypassed ? 1 : 0);
    return edit;
}

float soundFieldLevel(float lx, float ly, float sx, float sy) {
    const double dx = static_cast<double>(lx) - static_cast<double>(sx);
    const double dy = static_cast<double>(ly) - static_cast<double>(sy);
    return static_cast<float>(3.0 - 3.0 * std::sqrt(dx * dx + dy * dy));
}

int speakerTrimOfRoomSpeaker(int k) {
    // The room: Main L, Center, Main R, Rear L, Sub, Rear R, Top L, Top R.
    // The trims: Main L, Main R, Rear L, Rear R, Center, Sub, Top L, Top R.
    static constexpr std::array<int, SoundFieldGeometry::kSpeakers> kTrim{0, 4, 1, 2, 5, 3, 6, 7};
    return kTrim.at(static_cast<std::size_t>(k));
}

Edit& addSoundField(Edit& edit, const SoundFieldGeometry& g, int moved) {
    edit.soundField(g);
    for (int k = 0; k < SoundFieldGeometry::kSpeakers; ++k) {
        if (moved >= 0 && k != moved) continue;
        const auto i = static_cast<std::size_t>(k);
        edit.speakerLevel(speakerTrimOfRoomSpeaker(k),
                          soundFieldLevel(g.listenerX, g.listenerY, g.speakerX[i], g.speakerY[i]));
    }
    return edit;
}

// --- Editor ------------------------------------------------------------------------------------

// Targets whose send waits in the writer's queue, with the number of queued
// jobs that send each and, for sections, the newest value.
struct Editor::Pending {
    struct Section {
        SectionValue value;
        int jobs = 0;
    };
    std::mutex mutex;
    std::map<int, int> words;
    std::map<std::pair<int, int>, Section> sections;
};

Editor::Editor(ParamStore& store, Link& link, Senders& senders, WriteQueue& writer)
    : store_(store),
      link_(link),
      senders_(senders),
      writer_(writer),
      pending_(std::make_shared<Pending>()) {}

SectionValue Editor::currentSection(int bank, int section) const {
    {
        std::lock_guard<std::mutex> lock(sentMutex_);
        const auto it = sent_.find({bank, section});
        if (it != sent_.end()) return it->second;
    }
    const BandRecord r = store_.record(bank, section);
    return {bank, section, r.type, r.gain, r.freq, r.q};
}

void Editor::forgetSent() {
    std::lock_guard<std::mutex> lock(sentMutex_);
    sent_.clear();
}

bool Editor::changes(const Edit& edit) const {
    for (const Edit::Item& item : edit.items_) {
        switch (item.kind) {
            case Edit::Kind::Word:
                if (store_.params.getRaw(item.index) != item.raw) return true;
                break;
            case Edit::Kind::Section:
                if (currentSection(item.sectionValue.bank, item.sectionValue.section) !=
                    item.sectionValue)
                    return true;
                break;
            case Edit::Kind::SoundField:
                if (!(store_.soundField.get() == item.geometry)) return true;
                break;
            case Edit::Kind::Speaker:
                if (store_.speakerLevel(item.index) != item.db) return true;
                break;
            case Edit::Kind::SettingsEdit:
                if (store_.settingsEdit.snapshot() != item.settings) return true;
                break;
            case Edit::Kind::Job:
                return true;
        }
    }
    return false;
}

Edit Editor::apply(Edit edit) {
    if (edit.empty()) return edit;
    // Take each old value just before its item writes the new one, so that
    // an edit may touch one target twice.
    for (Edit::Item& item : edit.items_) {
        switch (item.kind) {
            case Edit::Kind::Word:
                item.oldRaw = store_.params.getRaw(item.index);
                break;
            case Edit::Kind::Section:
                item.oldSection = currentSection(item.sectionValue.bank, item.sectionValue.section);
                break;
            case Edit::Kind::SoundField:
                item.oldGeometry = store_.soundField.get();
                break;
            case Edit::Kind::Speaker:
                item.oldSpeakers = store_.speakers.snapshot();
                item.speakers = item.oldSpeakers;
                putBE32(item.speakers.data() + 4 * item.index, floatBits(item.db));
                break;
            case Edit::Kind::SettingsEdit:
                item.oldSettings = store_.settingsEdit.snapshot();
                break;
            case Edit::Kind::Job:
                break;
        }
        Edit one;
        one.items_.push_back(item);
        store(one, true);
    }
    postSends(edit, true);
    return edit;
}

void Editor::undo(const Edit& applied) {
    store(applied, false);
    postSends(applied, false);
}

void Editor::redo(const Edit& applied) {
    store(applied, true);
    postSends(applied, true);
}

void Editor::store(const Edit& edit, bool forward) {
    auto one = [&](const Edit::Item& item) {
        switch (item.kind) {
            case Edit::Kind::Word:
                store_.params.setRaw(item.index, forward ? item.raw : item.oldRaw);
                break;
            case Edit::Kind::Section: {
                const SectionValue& v = forward ? item.sectionValue : item.oldSection;
                store_.setRecord(v.bank, v.section, BandRecord{v.gain, v.freq, v.q, v.type});
                std::lock_guard<std::mutex> lock(sentMutex_);
                sent_[{v.bank, v.section}] = v;
                break;
            }
            case Edit::Kind::SoundField:
                store_.soundField.set(forward ? item.geometry : item.oldGeometry);
                store_.encodeSoundField();
                break;
            case Edit::Kind::Speaker:
                store_.speakers.assign(forward ? item.speakers : item.oldSpeakers);
                break;
            case Edit::Kind::SettingsEdit:
                store_.settingsEdit.assign(forward ? item.settings : item.oldSettings);
                break;
            case Edit::Kind::Job:
                break;
        }
    };
    if (forward) {
        for (const auto& item : edit.items_)
            one(item);
    } else {
        for (auto it = edit.items_.rbegin(); it != edit.items_.rend(); ++it)
            one(*it);
    }
}

void Editor::postSends(const Edit& edit, bool forward) {
    // Nothing goes out while the link is closed; the store keeps the edit.
    if (!link_.linkOpen.load()) return;
    struct Send {
        Edit::Kind kind;
        int index;
        bool send;
        SectionValue section;
        std::array<std::uint8_t, kSoundFieldBytes> room{};
        std::array<std::uint8_t, kSpeakerBlockSize> speakers{};
        Edit::Job job;
    };
    // An undo writes the room and the speaker block as the edit found them,
    // whichever of its items sends them: an edit that changes several trims
    // (or the room twice) holds a different old block in each item.
    const Edit::Item* firstRoom = nullptr;
    const Edit::Item* firstSpeaker = nullptr;
    for (const Edit::Item& item : edit.items_) {
        if (item.kind == Edit::Kind::SoundField && !firstRoom) firstRoom = &item;
        if (item.kind == Edit::Kind::Speaker && !firstSpeaker) firstSpeaker = &item;
    }
    std::vector<Send> sends;
    bool coalesce = !edit.wrapMusicMute_;
    for (const Edit::Item& item : edit.items_) {
        Send s{item.kind, item.index, item.send, {}, {}, {}, item.job};
        switch (item.kind) {
            case Edit::Kind::Section:
                s.section = forward ? item.sectionValue : item.oldSection;
                break;
            case Edit::Kind::SoundField:
                s.room = encodeSoundFieldBytes(forward ? item.geometry : firstRoom->oldGeometry);
                coalesce = false;
                break;
            case Edit::Kind::Speaker:
                s.speakers = forward ? item.speakers : firstSpeaker->oldSpeakers;
                coalesce = false;
                break;
            case Edit::Kind::Job:
                coalesce = false;
                break;
            case Edit::Kind::Word:
            case Edit::Kind::SettingsEdit:
                break;
        }
        sends.push_back(std::move(s));
    }
    auto isTarget = [](const Send& s) {
        return (s.kind == Edit::Kind::Word && s.send) || s.kind == Edit::Kind::Section;
    };
    if (coalesce) {
        // Every target already waiting in the queue: the queued sends take
        // the newest values.
        std::lock_guard<std::mutex> lock(pending_->mutex);
        bool allWaiting = true;
        for (const Send& s : sends) {
            if (s.kind == Edit::Kind::Word && s.send)
                allWaiting = allWaiting && pending_->words.count(s.index) != 0;
            if (s.kind == Edit::Kind::Section)
                allWaiting =
                    allWaiting && pending_->sections.count({s.section.bank, s.section.section});
        }
        if (allWaiting) {
            for (const Send& s : sends)
                if (s.kind == Edit::Kind::Section)
                    pending_->sections[{s.section.bank, s.section.section}].value = s.section;
            return;
        }
        for (const Send& s : sends) {
            if (!isTarget(s)) continue;
            if (s.kind == Edit::Kind::Word) {
                ++pending_->words[s.index];
            } else {
                auto& p = pending_->sections[{s.section.bank, s.section.section}];
                p.value = s.section;
                ++p.jobs;
            }
        }
    }
    const bool wrap = edit.wrapMusicMute_;
    auto pending = pending_;
    Senders& senders = senders_;
    writer_.post([sends = std::move(sends), wrap, coalesce, pending, &senders]() mutable {
        if (coalesce) {
            std::lock_guard<std::mutex> lock(pending->mutex);
            for (Send& s : sends) {
                if (s.kind == Edit::Kind::Word && s.send) {
                    auto it = pending->words.find(s.index);
                    if (it != pending->words.end() && --it->second == 0) pending->words.erase(it);
                } else if (s.kind == Edit::Kind::Section) {
                    auto it = pending->sections.find({s.section.bank, s.section.section});
                    if (it != pending->sections.end()) {
                        s.section = it->second.value;
                        if (--it->second.jobs == 0) pending->sections.erase(it);
                    }
                }
            }
        }
        const bool muteAround = wrap && senders.store().params.getInt(w::musicMute) == 0;
        if (muteAround) senders.sendMusicMute(true);
        for (const Send& s : sends) {
            switch (s.kind) {
                case Edit::Kind::Word:
                    if (s.send) senders.sendWord(s.index);
                    break;
                case Edit::Kind::Section:
                    senders.sendSection(s.section.bank, s.section.section, s.section.type,
                                        s.section.gain, s.section.freq, s.section.q);
                    break;
                case Edit::Kind::SoundField:
                    senders.writeRegisters(kSoundFieldOffset, static_cast<int>(s.room.size()),
                                           s.room.data());
                    break;
                case Edit::Kind::Speaker:
                    senders.sendSpeakerLevel(s.index, s.speakers);
                    break;
                case Edit::Kind::SettingsEdit:
                    break;
                case Edit::Kind::Job:
                    if (s.job) s.job(senders);
                    break;
            }
        }
        if (muteAround) senders.sendMusicMute(false);
    });
}

void Editor::post(std::function<void(Senders&)> job) {
    Senders& senders = senders_;
    writer_.post([job = std::move(job), &senders] { job(senders); });
}

void Editor::waitIdle() {
    writer_.waitIdle();
}

}  // namespace v36
