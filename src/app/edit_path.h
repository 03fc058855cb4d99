#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QUndoStack>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "dsp/eq_model.h"
#include "protocol/param_store.h"

namespace v36 {

class DeviceContext;
class Senders;

// The name of an edit in both languages, as the Undo and Redo entries
// show it ("Music Vol").
struct EditText {
    QString zh;
    QString en;
    QString in(int language) const { return language == 1 ? en : zh; }
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
// of its own. Built by a page, handed to EditPath::apply.
class Edit {
  public:
    using Job = std::function<void(Senders&)>;

    explicit Edit(EditText text) : text_(std::move(text)) {}

    // Consecutive edits with the same key, made in one gesture (a drag, a
    // run of wheel or arrow steps), become one undo step. Use a key that
    // names the target ("word:59", "band:5:3"); empty: never merged.
    Edit& merging(QString key) {
        key_ = std::move(key);
        return *this;
    }

    // A parameter word. `send`: the word goes out by the word table's
    // sender (compressor group, frequency shift and delay mode included);
    // false when a job of the edit sends it.
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
    // not muted (an EQ reset of the music, subwoofer, rear or main EQ).
    Edit& wrapInMusicMute(bool wrap = true) {
        wrapMusicMute_ = wrap;
        return *this;
    }

    const EditText& text() const { return text_; }
    const QString& key() const { return key_; }
    bool empty() const { return items_.empty(); }

  private:
    friend class EditPath;
    friend class EditCommand;

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
    QString key_;
    std::vector<Item> items_;
    bool wrapMusicMute_ = false;
};

// The one way a user's edit reaches the store and the unit: the store is
// written on the GUI thread, the sends are posted to the writer thread in
// order, and an undo step remembers the old values. Undo and redo put the
// values back through the same senders. Nothing is sent while the link is
// closed; the step is recorded all the same.
class EditPath : public QObject {
    Q_OBJECT

  public:
    using Poster = std::function<void(std::function<void(Senders&)>)>;

    // Consecutive edits of one target merge while no more than this passes
    // between them.
    static constexpr int kGesturePauseMs = 1000;

    EditPath(DeviceContext& ctx, Poster post, QObject* parent = nullptr);
    ~EditPath() override;

    // Applies and records the edit (merged into the last step when it
    // continues the same gesture).
    void apply(Edit edit);

    bool canUndo() const { return stack_.canUndo(); }
    bool canRedo() const { return stack_.canRedo(); }
    void undo();
    void redo();
    // The names of the steps Undo and Redo would take (empty for none).
    EditText undoText() const;
    EditText redoText() const;
    int count() const { return stack_.count(); }

    // Ends the running gesture: the next edit starts a new step. A mouse
    // release and a focus change end it too, once they have been handled.
    void endGesture() { gestureOpen_ = false; }

    // A pull, a push or a loaded file replaced the store: the history goes.
    void clear();
    // The store matches its file now (saved or loaded).
    void setClean() { stack_.setClean(); }
    bool isClean() const { return stack_.isClean(); }

    QUndoStack& stack() { return stack_; }

  signals:
    // Undo or redo changed the store: pages, dialogs and the ribbon reload.
    void restored();
    // The undo and redo texts or their availability changed.
    void historyChanged();
    void cleanChanged(bool clean);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class EditCommand;

    // Writes one direction's values into the store (new values in order,
    // old ones in reverse order).
    void store(const Edit& edit, bool forward);
    // Posts one direction's sends to the writer thread.
    void post(const Edit& edit, bool forward);
    SectionValue currentSection(int bank, int section) const;

    DeviceContext& ctx_;
    Poster post_;
    QUndoStack stack_;
    QElapsedTimer sinceLast_;
    bool gestureOpen_ = false;
    // The exact values last sent for a section through this path; the
    // register block holds them quantised.
    std::map<std::pair<int, int>, SectionValue> sent_;
    // Words whose send waits in the writer's queue: a drag over a slow unit
    // queues each word once, and the queued send takes the newest value.
    struct Pending {
        std::mutex mutex;
        std::set<int> words;
    };
    std::shared_ptr<Pending> pending_ = std::make_shared<Pending>();
};

}  // namespace v36
