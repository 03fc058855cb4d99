#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "protocol/bytes.h"

namespace v36 {

// The 147 words of DSP parameters, in display units. Each word is a relaxed
// atomic 32-bit value: a reader on another thread sees the old or the new
// word, never a torn one. Floats are kept as their bit patterns.
class ParamBlock {
  public:
    static constexpr int kWords = 147;
    static constexpr std::size_t kBytes = kWords * 4;

    std::int32_t getInt(int w) const { return static_cast<std::int32_t>(getRaw(w)); }
    void setInt(int w, std::int32_t v) { setRaw(w, static_cast<std::uint32_t>(v)); }
    float getFloat(int w) const { return bitsFloat(getRaw(w)); }
    void setFloat(int w, float v) { setRaw(w, floatBits(v)); }
    std::uint32_t getRaw(int w) const { return at(w).load(std::memory_order_relaxed); }
    void setRaw(int w, std::uint32_t v) { at(w).store(v, std::memory_order_relaxed); }

    void clear() {
        for (auto& word : words_)
            word.store(0, std::memory_order_relaxed);
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
};

// A block of bytes shared between threads behind a small lock. The lock is
// only held while bytes are copied, never across device I/O.
template <std::size_t N>
class ByteBlock {
  public:
    static constexpr std::size_t kSize = N;
    using Bytes = std::array<std::uint8_t, N>;

    Bytes snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }
    void assign(const Bytes& bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_ = bytes;
    }
    void fill(std::uint8_t value) {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_.fill(value);
    }
    // Copies up to `length` bytes to `offset`, cut at the block's end.
    // Returns the number of bytes copied.
    std::size_t write(std::size_t offset, const std::uint8_t* data, std::size_t length) {
        if (offset >= N) return 0;
        const std::size_t n = length < N - offset ? length : N - offset;
        std::lock_guard<std::mutex> lock(mutex_);
        std::memcpy(bytes_.data() + offset, data, n);
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
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_.at(i) = value;
    }

  private:
    mutable std::mutex mutex_;
    Bytes bytes_{};
};

// A UTF-16 text with room for `Room` characters including the terminator.
template <std::size_t Room>
class TextField {
  public:
    static constexpr std::size_t kMaxChars = Room - 1;

    std::u16string get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }
    // Keeps at most kMaxChars characters.
    void set(std::u16string_view text) {
        std::lock_guard<std::mutex> lock(mutex_);
        text_.assign(text.substr(0, kMaxChars));
    }
    // The text as UTF-8, for traces and the command line.
    std::string utf8() const;

  private:
    mutable std::mutex mutex_;
    std::u16string text_;
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
    T get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }
    void set(const T& value) {
        std::lock_guard<std::mutex> lock(mutex_);
        value_ = value;
    }

  private:
    mutable std::mutex mutex_;
    T value_{};
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
constexpr int kRegisterSpaceEnd = 1193;

// Machine settings (12 bytes); bytes 9 and 10 are reserved and kept as read.
constexpr std::size_t kMachineSettingsSize = 12;
namespace settings {
constexpr std::size_t kVolumeSaveByMode = 0;
constexpr std::size_t kMicStartVolume = 3;
constexpr std::size_t kMusicStartVolume = 4;
}  // namespace settings

// The model of the unit: everything the application knows of it.
struct ParamStore {
    ParamBlock params;
    ByteBlock<kRegisterBlockSize> registers;
    ByteBlock<6> auxState;
    ByteBlock<kSpeakerBlockSize> speakers;
    ByteBlock<kSoundFieldBytes> soundFieldBlock;
    Guarded<SoundFieldGeometry> soundField;

    std::atomic<std::int32_t> musicSource{0};
    std::atomic<std::uint8_t> hdmiInput{0};
    std::atomic<std::int32_t> currentMode{0};

    ByteBlock<kMachineSettingsSize> settingsApplied;
    ByteBlock<kMachineSettingsSize> settingsEdit;
    ByteBlock<18> remoteKeyTable;
    ByteBlock<16> liveStatus;

    TextField<30> deviceModel;
    TextField<11> dspVersion;
    TextField<11> mcuVersion;
    std::atomic<std::uint8_t> protocolVersion{0};
    std::array<TextField<24>, 4> modeNames;

    // The start-up state of the application, before any unit answers.
    void resetToDefaults();

    // Rebuilds soundField from soundFieldBlock.
    void decodeSoundField();
    // Writes soundField into soundFieldBlock and returns the 20 bytes.
    std::array<std::uint8_t, kSoundFieldBytes> encodeSoundField();

    // Reads the speaker trim k (0..7) in dB from the big-endian speaker block.
    float speakerLevel(int k) const;
    void setSpeakerLevel(int k, float db);
};

// Speaker trim k (0..7) in dB read from a copy of the speaker block.
float speakerLevelOf(const std::array<std::uint8_t, kSpeakerBlockSize>& block, int k);

// Writes the start-up band records of every filter bank into `registers`.
void applyRegisterDefaults(ByteBlock<kRegisterBlockSize>& registers);

}  // namespace v36
