#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "dsp/eq_model.h"
#include "protocol/controls.h"
#include "protocol/param_store.h"

namespace v36 {

class Link;
class Senders;
class WriteQueue;

// The one way a user's edit reaches the store and the unit, whatever front
// end made it (a page, the ribbon, v36ctl, a phone, the broker): an Edit
// says what changes, the Editor of the unit's context writes it into the
// store, keeping the old values, and posts its sends in order to the
// writer thread. The window keeps applied edits as undo steps; undo and
// redo go back through the Editor.

// The name of an edit in both languages (UTF-8), as the Undo and Redo
// entries show it ("Music Vol").
struct EditText {
    std::string zh;
    std::string en;
    const std::string& in(int language) const { return language == 1 ? en : zh; }
    bool operator==(const EditText&) const = default;
};

// One section of a filter bank as it goes to the unit: the record's values
// and the design's, unquantised.
struct SectionValue {
    int bank = 0;
    int section = 0;
    int type = 0;
    float gain = 0.0f;
    int freq = 0;
    float q = 0.0f;
    bool operator==(const SectionValue&) const = default;
};

// What a user's edit changes, in order: parameter words, filter sections,
// the room, speaker trims, the machine-settings edit record, and send jobs
// of its own.
class Edit {
  public:
    using Job = std::function<void(Senders&)>;

    Edit() = default;
    explicit Edit(EditText text) : text_(std::move(text)) {}

    // Consecutive edits with the same key, made in one gesture (a drag, a
    // run of wheel or arrow steps), become one undo step. The control
    // table's keys name the target ("word:59", "band:5:3"); empty: never
    // merged.
    Edit& merging(std::string key) {
        key_ = std::move(key);
        return *this;
    }

    // A parameter word. `send`: the word goes out by the word table's
    // sender (compressor group, frequency shift and delay mode included);
    // false when another word or a job of the edit sends it.
    Edit& word(int w, std::uint32_t raw, bool send = true);
    Edit& wordInt(int w, std::int32_t value, bool send = true) {
        return word(w, static_cast<std::uint32_t>(value), send);
    }
    Edit& wordFloat(int w, float value, bool send = true);

    // One filter section: its record into the register block, its record
    // and coefficients to the unit.
    Edit& section(const SectionValue& value);
    Edit& sections(int bank, std::span<const SectionSetting> settings);
    // One band of an EQ as the graph holds it (a subwoofer point is its
    // four sections).
    Edit& band(int eq, std::span<const EqBand> bands, int band);

    // The room geometry: stored with its block; the 20 bytes are written.
    Edit& soundField(const SoundFieldGeometry& geometry);
    // Speaker trim k (0..7) in dB: the speaker block and the trim's level.
    Edit& speakerLevel(int k, float db);
    // The machine-settings edit record (stored only; Apply sends it).
    Edit& settingsEdit(const std::array<std::uint8_t, kMachineSettingsSize>& bytes);

    // A send job of the edit's own, run in order with the other sends after
    // every store change of the edit, in both directions. It must read the
    // store, not write it.
    Edit& send(Job job);

    // Sends the edit between a music mute and its fade-in when the music is
    // not muted (an EQ reset of the music, subwoofer, rear and main EQs).
    Edit& wrapInMusicMute(bool wrap = true) {
        wrapMusicMute_ = wrap;
        return *this;
    }

    const EditText& text() const { return text_; }
    void setText(EditText text) { text_ = std::move(text); }
    const std::string& key() const { return key_; }
    bool empty() const { return items_.empty(); }
    // The words the edit stores, with their raw values, in order.
    std::vector<std::pair<int, std::uint32_t>> wordValues() const;
    // The sections the edit stores, in order.
    std::vector<SectionValue> sectionValues() const;

    // Whether `next` continues this edit's gesture target item by item, and
    // folding it in: the first old values stay, the newest values win.
    bool canMerge(const Edit& next) const;
    void merge(const Edit& next);

  private:
    friend class Editor;

    enum class Kind { Word, Section, SoundField, Speaker, SettingsEdit, Job };
    struct Item {
        Kind kind = Kind::Word;
        int index = 0;  // word, speaker
        bool send = true;
        // The value the edit sets and, once applied, the one it replaced.
        std::uint32_t raw = 0, oldRaw = 0;
        SectionValue sectionValue, oldSection;
        SoundFieldGeometry geometry, oldGeometry;
        float db = 0.0f;
        std::array<std::uint8_t, kSpeakerBlockSize> speakers{}, oldSpeakers{};
        std::array<std::uint8_t, kMachineSettingsSize> settings{}, oldSettings{};
        Job job;
    };

    EditText text_;
    std::string key_;
    std::vector<Item> items_;
    bool wrapMusicMute_ = false;
};

// --- Edits of the rules every front end shares ----------------------------------

// The edit that sets `word` to `value` the way every front end does:
// raised to the control's floor; both taps of a predelay; a reverb time as
// a whole number; a frequency shift with its mode word; a delay mode with
// its split pair; a compressor value with the group's attack and release
// as whole milliseconds. Named and keyed by the control table. The volume
// limit is the caller's (see volumeLimit).
Edit wordEdit(const ParamStore& store, int word, const WordValue& value);
// The same from an integer or float value in the word's units.
Edit wordEdit(const ParamStore& store, int word, double value);

// Band `band` of EQ `eq` as the graph holds it, named "<EQ> band n" and
// keyed by the band.
Edit bandEdit(int eq, std::span<const EqBand> bands, int band);
// Bands `which` of EQ `eq` as one edit (an import, a copy): a new set of
// several bands goes out as a reset sends it, wrapped in a music mute on
// the music, subwoofer, rear and main EQs.
Edit bandsEdit(int eq, std::span<const EqBand> bands, std::span<const int> which, EditText text);
// The EQ's default set, section by section; on the music, subwoofer, rear
// and main EQs wrapped in a music mute.
Edit eqResetEdit(int eq);
// Inverts the EQ's bypass word.
Edit eqBypassEdit(const ParamStore& store, int eq, bool bypassed);

// The speaker trim the room gives speaker k (0..7 in the room's order:
// Main L, Center, Main R, Rear L, Sub, Rear R, Top L, Top R) heard at the
// listener: 3 dB less for every metre between them.
float soundFieldLevel(float listenerX, float listenerY, float speakerX, float speakerY);
// The speaker trim entry (0..7, the unit's order) of the room's speaker k.
int speakerTrimOfRoomSpeaker(int k);
// The room `geometry` with its trims: every speaker's level recomputed for
// the listener, or only that of room speaker `moved` (0..7) when given.
Edit& addSoundField(Edit& edit, const SoundFieldGeometry& geometry, int moved = -1);

// --- Applying edits ------------------------------------------------------------------

// The editor of one unit's context. Apply, undo and redo write the store on
// the calling thread and post the sends to the writer; nothing is sent
// while the link is closed, the store keeps the edit all the same.
//
// Sends still waiting in the writer's queue are coalesced by target (a
// word, a bank's section): a drag over a slow unit queues each target once
// and the queued send takes the newest value.
class Editor {
  public:
    Editor(ParamStore& store, Link& link, Senders& senders, WriteQueue& writer);
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // Writes the edit into the store and posts its sends. Returns the edit
    // with the values it replaced, for undo.
    Edit apply(Edit edit);
    void undo(const Edit& applied);
    void redo(const Edit& applied);
    // Whether applying `edit` would change the store (a press that moves
    // nothing makes no edit).
    bool changes(const Edit& edit) const;

    // A pull, a push or a loaded file replaced the store: the exact section
    // values last sent are forgotten.
    void forgetSent();
    // The section as last sent through this editor, else as stored.
    SectionValue currentSection(int bank, int section) const;

    // A send of the unit's own (a recall, a status query): in order with
    // the edits.
    void post(std::function<void(Senders&)> job);
    // Blocks until every send posted so far has gone.
    void waitIdle();

  private:
    void store(const Edit& edit, bool forward);
    void postSends(const Edit& edit, bool forward);

    struct Pending;

    ParamStore& store_;
    Link& link_;
    Senders& senders_;
    WriteQueue& writer_;
    mutable std::mutex sentMutex_;
    // The exact values last sent for a section; the register block holds
    // them quantised.
    std::map<std::pair<int, int>, SectionValue> sent_;
    std::shared_ptr<Pending> pending_;
};

}  // namespace v36
