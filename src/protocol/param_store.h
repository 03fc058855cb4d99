#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "dsp/filter_design.h"
#include "protocol/bytes.h"

namespace v36 {

// What changed in the store, for whoever shows it (the window, the phones,
// the broker): every change takes the next sequence number, and each word,
// filter record and area keeps the number of its last change. A reader
// remembers the last number it has seen and asks what is newer; nobody
// polls. Writers on any thread may mark changes.
class StoreChanges {
  public:
    using Seq = std::uint64_t;
    enum class Area : int {
        Words,       // a parameter word
        Records,     // a filter record of the register block
        SoundField,  // the room
        Speakers,    // the speaker trims
        Settings,    // the machine settings (applied or being edited)
        Mode,        // the current memory mode
        Inputs,      // the music source and the HDMI input
        Status,      // the live levels and the wireless microphones
        Identity,    // model, versions, protocol, mode names
        Keys,        // the learned remote keys
        Aux,         // the rest
    };
    static constexpr int kAreas = 11;
    static constexpr int kWords = 147;
    static constexpr int kRecords = 163;

    // The newest sequence number handed out (0: nothing changed yet).
    Seq latest() const { return counter_.load(std::memory_order_acquire); }
    Seq word(int w) const { return words_.at(static_cast<std::size_t>(w)).load(); }
    Seq record(int r) const { return records_.at(static_cast<std::size_t>(r)).load(); }
    Seq area(Area a) const { return areas_.at(static_cast<std::size_t>(a)).load(); }

    void touchWord(int w);
    // The filter records that register bytes offset .. offset+length-1 cover.
    void touchRecords(std::size_t offset, std::size_t length);
    void touch(Area a);

    // `wake` is called after each change, on the thread that made it, with
    // no lock of the store held; it must be quick and must not subscribe or
    // unsubscribe (a queued call to the reader's own thread, a flag).
    using Wake = std::function<void()>;
    int subscribe(Wake wake);
    void unsubscribe(int id);

  private:
    Seq next();
    void wakeAll();

    std::atomic<Seq> counter_{0};
    std::array<std::atomic<Seq>, kWords> words_{};
    std::array<std::atomic<Seq>, kRecords> records_{};
    std::array<std::atomic<Seq>, kAreas> areas_{};
    mutable std::mutex subscribersMutex_;
    std::vector<std::pair<int, Wake>> subscribers_;
    std::atomic<int> subscriberCount_{0};
    int nextId_ = 1;
};

// The 147 words of DSP parameters, in display units. Each word is a relaxed
// atomic 32-bit value: a reader on another thread sees the old or the new
// word, never a torn one. Floats are kept as their bit patterns.
class ParamBlock {
  public:
    static constexpr int kWords = 147;
    static constexpr std::size_t kBytes = kWords * 4;

    // `changes` (may be null) hears of every word whose value changes.
    explicit ParamBlock(StoreChanges* changes = nullptr) : changes_(changes) {}

    std::int32_t getInt(int w) const { return static_cast<std::int32_t>(getRaw(w)); }
    void setInt(int w, std::int32_t v) { setRaw(w, static_cast<std::uint32_t>(v)); }
    float getFloat(int w) const { return bitsFloat(getRaw(w)); }
    void setFloat(int w, float v) { setRaw(w, floatBits(v)); }
    std::uint32_t getRaw(int w) const { return at(w).load(std::memory_order_relaxed); }
    void setRaw(int w, std::uint32_t v) {
        if (at(w).exchange(v, std::memory_order_relaxed) != v && changes_) changes_->touchWord(w);
    }

    void clear() {
        for (int w = 0; w < kWords; ++w)
            setRaw(w, 0);
    }
    // Little-endian byte image as in a mode file.
    std::array<std::uint8_t, kBytes> toBytes() const;
    void fromBytes(const std::uint8_t* bytes);  // kBytes bytes

  private:
    std::atomic<std::uint32_t>& at(int w) { return words_.at(static_cast<std::size_t>(w)); }
    const std::atomic<std::uint32_t>& at(int w) const {
        return words_.at(static_cast<std::size_t>(w));
    }
    std::array<std::atomic<std::uint32_t>, kWords> words_{};
    StoreChanges* changes_;
};

// A block of bytes shared between threads behind a small lock. The lock is
// only held while bytes are copied, never across device I/O.
template <std::size_t N>
class ByteBlock {
  public:
    static constexpr std::size_t kSize = N;
    using Bytes = std::array<std::uint8_t, N>;
    using Area = StoreChanges::Area;

    // `changes` (may be null) hears of every change; the register block's
    // changes are told by filter record.
    explicit ByteBlock(StoreChanges* changes = nullptr, Area area = Area::Aux)
        : changes_(changes), area_(area) {}

    Bytes snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }
    void assign(const Bytes& bytes) {
        bool changed = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            changed = bytes_ != bytes;
            bytes_ = bytes;
        }
        if (changed) told(0, N);
    }
    void fill(std::uint8_t value) {
        Bytes bytes;
        bytes.fill(value);
        assign(bytes);
    }
    // Copies up to `length` bytes to `offset`, cut at the block's end.
    // Returns the number of bytes copied.
    std::size_t write(std::size_t offset, const std::uint8_t* data, std::size_t length) {
        if (offset >= N) return 0;
        const std::size_t n = length < N - offset ? length : N - offset;
        bool changed = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            changed = std::memcmp(bytes_.data() + offset, data, n) != 0;
            std::memcpy(bytes_.data() + offset, data, n);
        }
        if (changed) told(offset, n);
        return n;
    }
    // Copies up to `length` bytes from `offset`, cut at the block's end.
    std::size_t read(std::size_t offset, std::uint8_t* out, std::size_t length) const {
        if (offset >= N) return 0;
        const std::size_t n = length < N - offset ? length : N - offset;
        std::lock_guard<std::mutex> lock(mutex_);
        std::memcpy(out, bytes_.data() + offset, n);
        return n;
    }
    std::uint8_t at(std::size_t i) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_.at(i);
    }
    void set(std::size_t i, std::uint8_t value) {
        if (i >= N) throw std::out_of_range("ByteBlock::set");
        write(i, &value, 1);
    }

  private:
    void told(std::size_t offset, std::size_t length) {
        if (!changes_ || length == 0) return;
        if (area_ == Area::Records) {
            changes_->touchRecords(offset, length);
        } else {
            changes_->touch(area_);
        }
    }

    mutable std::mutex mutex_;
    Bytes bytes_{};
    StoreChanges* changes_;
    Area area_;
};

// A small value shared between threads without a lock, whose changes the
// store tells (the mode, the inputs, the protocol version).
template <typename T>
class WatchedValue {
  public:
    WatchedValue(StoreChanges& changes, StoreChanges::Area area, T initial = T{})
        : value_(initial), changes_(changes), area_(area) {}
    T load() const { return value_.load(); }
    void store(T v) {
        if (value_.exchange(v) != v) changes_.touch(area_);
    }
    // As std::atomic reads and writes.
    operator T() const { return load(); }
    WatchedValue& operator=(T v) {
        store(v);
        return *this;
    }

  private:
    std::atomic<T> value_;
    StoreChanges& changes_;
    StoreChanges::Area area_;
};

// A UTF-16 text with room for `Room` characters including the terminator.
template <std::size_t Room>
class TextField {
  public:
    static constexpr std::size_t kMaxChars = Room - 1;

    explicit TextField(StoreChanges* changes = nullptr) : changes_(changes) {}

    std::u16string get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }
    // Keeps at most kMaxChars characters.
    void set(std::u16string_view text) {
        bool changed = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const std::u16string_view kept = text.substr(0, kMaxChars);
            changed = text_ != kept;
            text_.assign(kept);
        }
        if (changed && changes_) changes_->touch(StoreChanges::Area::Identity);
    }
    // The text as UTF-8, for traces and the command line.
    std::string utf8() const;

  private:
    mutable std::mutex mutex_;
    std::u16string text_;
    StoreChanges* changes_;
};

std::string utf16ToUtf8(std::u16string_view text);
std::u16string utf8ToUtf16(std::string_view text);

template <std::size_t Room>
std::string TextField<Room>::utf8() const {
    return utf16ToUtf8(get());
}

// A small value shared between threads behind a lock.
template <typename T>
class Guarded {
  public:
    Guarded(StoreChanges* changes = nullptr, StoreChanges::Area area = StoreChanges::Area::Aux)
        : changes_(changes), area_(area) {}
    T get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }
    void set(const T& value) {
        bool changed = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            changed = !(value_ == value);
            value_ = value;
        }
        if (changed && changes_) changes_->touch(area_);
    }

  private:
    mutable std::mutex mutex_;
    T value_{};
    StoreChanges* changes_;
    StoreChanges::Area area_;
};

// The room geometry decoded from the sound-field register block.
struct SoundFieldGeometry {
    static constexpr int kSpeakers =
        8;              // Main L, Center, Main R, Rear L, Sub, Rear R, Top L, Top R
    int roomWidth = 0;  // whole metres
    int roomHeight = 0;
    float listenerX = 0.0f;  // metres, tenths resolution
    float listenerY = 0.0f;
    std::array<float, kSpeakers> speakerX{};  // negative = left
    std::array<float, kSpeakers> speakerY{};  // positive = front

    bool operator==(const SoundFieldGeometry&) const = default;
};

// Sign-magnitude tenths byte: bit 7 the sign, bits 0..6 tenths (+-12.7).
std::uint8_t encodeTenths(float value);
float decodeTenths(std::uint8_t byte);

constexpr std::size_t kSoundFieldBytes = 20;
// The start-up room: 4 x 4 m, the listener in the middle, Main L (-1, +1),
// Center (0, +1), Main R (+1, +1), Rear L (-1, -1), Sub (0, -1), Rear R
// (+1, -1), Top L (-0.5, 0), Top R (+0.5, 0).
inline constexpr std::array<std::uint8_t, kSoundFieldBytes> kDefaultSoundField{
    0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00, 0x0A, 0x0A, 0x0A,
    0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00};
SoundFieldGeometry decodeSoundFieldBytes(const std::uint8_t* bytes);
std::array<std::uint8_t, kSoundFieldBytes> encodeSoundFieldBytes(const SoundFieldGeometry& g);

// Register space offsets mirrored by the store.
constexpr int kRegisterBlockSize = 1141;
constexpr int kSoundFieldOffset = 1141;
constexpr int kSpeakerOffset = 1161;
constexpr int kSpeakerBlockSize = 32;

// Machine settings (12 bytes); bytes 9 and 10 are reserved and kept as read.
constexpr std::size_t kMachineSettingsSize = 12;
namespace settings {
constexpr std::size_t kVolumeSaveByMode = 0;
constexpr std::size_t kMicStartVolume = 3;
constexpr std::size_t kMusicStartVolume = 4;
// The volume limits the ribbon, the phones and v36ctl keep.
constexpr std::size_t kMicMaxVolume = 5;
constexpr std::size_t kMusicMaxVolume = 6;
}  // namespace settings

// The model of the unit: everything the application knows of it.
struct ParamStore {
    using Area = StoreChanges::Area;

    // Declared first: every part below tells it of its changes.
    StoreChanges changes;

    ParamBlock params{&changes};
    ByteBlock<kRegisterBlockSize> registers{&changes, Area::Records};
    ByteBlock<6> auxState{&changes, Area::Aux};
    ByteBlock<kSpeakerBlockSize> speakers{&changes, Area::Speakers};
    ByteBlock<kSoundFieldBytes> soundFieldBlock{&changes, Area::SoundField};
    Guarded<SoundFieldGeometry> soundField{&changes, Area::SoundField};

    WatchedValue<std::int32_t> musicSource{changes, Area::Inputs, 0};
    WatchedValue<std::uint8_t> hdmiInput{changes, Area::Inputs, 0};
    WatchedValue<std::int32_t> currentMode{changes, Area::Mode, 0};

    ByteBlock<kMachineSettingsSize> settingsApplied{&changes, Area::Settings};
    ByteBlock<kMachineSettingsSize> settingsEdit{&changes, Area::Settings};
    // Whether settingsApplied holds what a unit reported (a mode file does
    // not carry the machine settings).
    WatchedValue<bool> settingsFromUnit{changes, Area::Settings, false};
    ByteBlock<18> remoteKeyTable{&changes, Area::Keys};
    ByteBlock<16> liveStatus{&changes, Area::Status};

    TextField<30> deviceModel{&changes};
    TextField<11> dspVersion{&changes};
    TextField<11> mcuVersion{&changes};
    WatchedValue<std::uint8_t> protocolVersion{changes, Area::Identity, 0};
    std::array<TextField<24>, 4> modeNames{TextField<24>{&changes}, TextField<24>{&changes},
                                           TextField<24>{&changes}, TextField<24>{&changes}};

    // The start-up state of the application, before any unit answers.
    void resetToDefaults();

    // Rebuilds soundField from soundFieldBlock.
    void decodeSoundField();
    // Writes soundField into soundFieldBlock and returns the 20 bytes.
    std::array<std::uint8_t, kSoundFieldBytes> encodeSoundField();

    // Reads the speaker trim k (0..7) in dB from the big-endian speaker block.
    float speakerLevel(int k) const;
    void setSpeakerLevel(int k, float db);

    // The filter record of section `section` of filter bank `bank` (1..9).
    BandRecord record(int bank, int section) const;
    void setRecord(int bank, int section, const BandRecord& record);
};

// Copies everything a unit tells of itself (all but the live levels) from
// one store to another.
void copyUnitState(const ParamStore& from, ParamStore& to);
// Only its identity: model, versions, protocol.
void copyIdentity(const ParamStore& from, ParamStore& to);

// Speaker trim k (0..7) in dB read from a copy of the speaker block.
float speakerLevelOf(const std::array<std::uint8_t, kSpeakerBlockSize>& block, int k);

// Writes the start-up band records of every filter bank into `registers`.
void applyRegisterDefaults(ByteBlock<kRegisterBlockSize>& registers);

}  // namespace v36
