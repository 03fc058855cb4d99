#include "app/edit_path.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QUndoCommand>

#include "context/device_context.h"
#include "protocol/bytes.h"
#include "protocol/eq_access.h"
#include "protocol/words.h"

namespace v36 {

// --- Edit ------------------------------------------------------------------------

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

// --- The undo step --------------------------------------------------------------------

class EditCommand : public QUndoCommand {
  public:
    static constexpr int kMergeableId = 0x3624;

    EditCommand(EditPath& path, Edit edit, bool mayMerge)
        : QUndoCommand(edit.text().en), path_(path), edit_(std::move(edit)), mayMerge_(mayMerge) {}

    const Edit& edit() const { return edit_; }

    int id() const override { return edit_.key().isEmpty() ? -1 : kMergeableId; }

    void undo() override {
        path_.store(edit_, false);
        path_.post(edit_, false);
        emit path_.restored();
    }

    void redo() override {
        // The first redo is the edit itself, already stored and posted.
        if (first_) {
            first_ = false;
            return;
        }
        path_.store(edit_, true);
        path_.post(edit_, true);
        emit path_.restored();
    }

    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const EditCommand*>(other);
        if (!next->mayMerge_ || next->edit_.key() != edit_.key()) return false;
        auto& mine = edit_.items_;
        const auto& theirs = next->edit_.items_;
        if (mine.size() != theirs.size()) return false;
        for (std::size_t i = 0; i < mine.size(); ++i) {
            if (mine[i].kind != theirs[i].kind || mine[i].index != theirs[i].index) return false;
            if (mine[i].kind == Edit::Kind::Section &&
                (mine[i].sectionValue.bank != theirs[i].sectionValue.bank ||
                 mine[i].sectionValue.section != theirs[i].sectionValue.section))
                return false;
        }
        // The step keeps its first old values and takes the newest ones.
        for (std::size_t i = 0; i < mine.size(); ++i) {
            Edit::Item& m = mine[i];
            const Edit::Item& t = theirs[i];
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
        return true;
    }

  private:
    EditPath& path_;
    Edit edit_;
    bool mayMerge_;
    bool first_ = true;
};

// --- EditPath -----------------------------------------------------------------------------

EditPath::EditPath(DeviceContext& ctx, Poster post, QObject* parent)
    : QObject(parent), ctx_(ctx), post_(std::move(post)) {
    connect(&stack_, &QUndoStack::indexChanged, this, &EditPath::historyChanged);
    connect(&stack_, &QUndoStack::cleanChanged, this, &EditPath::cleanChanged);
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

EditPath::~EditPath() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

SectionValue EditPath::currentSection(int bank, int section) const {
    const auto it = sent_.find({bank, section});
    if (it != sent_.end()) return it->second;
    std::array<std::uint8_t, BandRecord::kSize> bytes{};
    ctx_.store.registers.read(static_cast<std::size_t>(recordOffset(bank, section)), bytes.data(),
                              bytes.size());
    const BandRecord r = BandRecord::decode(bytes.data());
    return {bank, section, r.type, r.gain, r.freq, r.q};
}

void EditPath::apply(Edit edit) {
    if (edit.empty()) return;
    ParamStore& ps = ctx_.store;
    // Take each old value just before its item writes the new one, so that
    // an edit may touch one target twice.
    for (Edit::Item& item : edit.items_) {
        switch (item.kind) {
            case Edit::Kind::Word:
                item.oldRaw = ps.params.getRaw(item.index);
                break;
            case Edit::Kind::Section:
                item.oldSection = currentSection(item.sectionValue.bank, item.sectionValue.section);
                break;
            case Edit::Kind::SoundField:
                item.oldGeometry = ps.soundField.get();
                break;
            case Edit::Kind::Speaker: {
                item.oldSpeakers = ps.speakers.snapshot();
                item.speakers = item.oldSpeakers;
                putBE32(item.speakers.data() + 4 * item.index, floatBits(item.db));
                break;
            }
            case Edit::Kind::SettingsEdit:
                item.oldSettings = ps.settingsEdit.snapshot();
                break;
            case Edit::Kind::Job:
                break;
        }
        Edit one(edit.text());
        one.items_.push_back(item);
        store(one, true);
    }
    post(edit, true);

    const bool mayMerge = !edit.key().isEmpty() && gestureOpen_ && sinceLast_.isValid() &&
                          sinceLast_.elapsed() <= kGesturePauseMs;
    gestureOpen_ = !edit.key().isEmpty();
    sinceLast_.start();
    stack_.push(new EditCommand(*this, std::move(edit), mayMerge));
    emit historyChanged();
}

void EditPath::store(const Edit& edit, bool forward) {
    ParamStore& s = ctx_.store;
    const auto& items = edit.items_;
    auto one = [&](const Edit::Item& item) {
        switch (item.kind) {
            case Edit::Kind::Word:
                s.params.setRaw(item.index, forward ? item.raw : item.oldRaw);
                break;
            case Edit::Kind::Section: {
                const SectionValue& v = forward ? item.sectionValue : item.oldSection;
                const auto bytes = BandRecord{v.gain, v.freq, v.q, v.type}.encode();
                s.registers.write(static_cast<std::size_t>(recordOffset(v.bank, v.section)),
                                  bytes.data(), bytes.size());
                sent_[{v.bank, v.section}] = v;
                break;
            }
            case Edit::Kind::SoundField:
                s.soundField.set(forward ? item.geometry : item.oldGeometry);
                s.encodeSoundField();
                break;
            case Edit::Kind::Speaker:
                s.speakers.assign(forward ? item.speakers : item.oldSpeakers);
                break;
            case Edit::Kind::SettingsEdit:
                s.settingsEdit.assign(forward ? item.settings : item.oldSettings);
                break;
            case Edit::Kind::Job:
                break;
        }
    };
    if (forward) {
        for (const auto& item : items)
            one(item);
    } else {
        for (auto it = items.rbegin(); it != items.rend(); ++it)
            one(*it);
    }
}

void EditPath::post(const Edit& edit, bool forward) {
    // Nothing goes out while the link is closed; the store keeps the edit.
    if (!ctx_.link.linkOpen.load()) return;
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
    for (const Edit::Item& item : edit.items_) {
        Send s{item.kind, item.index, item.send, {}, {}, {}, item.job};
        switch (item.kind) {
            case Edit::Kind::Section:
                s.section = forward ? item.sectionValue : item.oldSection;
                break;
            case Edit::Kind::SoundField:
                s.room = encodeSoundFieldBytes(forward ? item.geometry : firstRoom->oldGeometry);
                break;
            case Edit::Kind::Speaker:
                s.speakers = forward ? item.speakers : firstSpeaker->oldSpeakers;
                break;
            default:
                break;
        }
        sends.push_back(std::move(s));
    }
    const bool wrap = edit.wrapMusicMute_;
    // An edit of words only, each sent by the word table, is queued once
    // per word: a send still waiting reads the newest value when it runs.
    std::vector<int> words;
    bool wordsOnly = !wrap;
    for (const Send& s : sends) {
        if (s.kind != Edit::Kind::Word || !s.send) wordsOnly = false;
        words.push_back(s.index);
    }
    if (wordsOnly) {
        std::lock_guard<std::mutex> lock(pending_->mutex);
        bool allWaiting = true;
        for (int w : words)
            allWaiting = allWaiting && pending_->words.count(w) != 0;
        if (allWaiting) return;
        for (int w : words)
            pending_->words.insert(w);
    }
    auto pending = pending_;
    post_([sends = std::move(sends), wrap, wordsOnly, pending](Senders& senders) {
        if (wordsOnly) {
            std::lock_guard<std::mutex> lock(pending->mutex);
            for (const Send& s : sends)
                pending->words.erase(s.index);
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

void EditPath::undo() {
    gestureOpen_ = false;
    stack_.undo();
}

void EditPath::redo() {
    gestureOpen_ = false;
    stack_.redo();
}

EditText EditPath::undoText() const {
    if (!stack_.canUndo()) return {};
    return static_cast<const EditCommand*>(stack_.command(stack_.index() - 1))->edit().text();
}

EditText EditPath::redoText() const {
    if (!stack_.canRedo()) return {};
    return static_cast<const EditCommand*>(stack_.command(stack_.index()))->edit().text();
}

void EditPath::clear() {
    gestureOpen_ = false;
    sent_.clear();
    stack_.clear();
    emit historyChanged();
}

bool EditPath::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (gestureOpen_ && (type == QEvent::MouseButtonRelease || type == QEvent::FocusIn ||
                         type == QEvent::FocusOut)) {
        // Once the event has been handled: a control that reports its last
        // value on release still belongs to the gesture.
        QTimer::singleShot(0, this, [this] { gestureOpen_ = false; });
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace v36
