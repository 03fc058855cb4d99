#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/param_store.h"

namespace v36 {

// --- File results -------------------------------------------------------------
//
// The core never shows a window: a failed file operation returns the box the
// GUI shows (caption and text in both languages, a warning box) and a one-line
// description for the command line and traces.

enum class FileErrorKind {
    None,
    CannotWrite,     // the file could not be created, written or put in place
    CannotRead,      // the file could not be opened or read
    UnknownVersion,  // a mode file of a version this program does not read (no box)
    Truncated,       // shorter than its version's size; nothing was loaded
    WrongSize,       // not the size its kind of file has; nothing was loaded
};

struct FileError {
    FileErrorKind kind = FileErrorKind::None;
    int systemError = 0;  // errno (or the error code of the failed step); 0 when none
    std::string path;     // UTF-8
    std::array<std::string, 2> caption;  // [languageIndex]: 0 Chinese, 1 English
    std::array<std::string, 2> text;     // empty when the failure is silent
    std::string detail;                  // always set on failure

    bool showsBox() const { return !text[1].empty(); }
    const std::string& captionFor(int languageIndex) const {
        return caption[languageIndex == 0 ? 0 : 1];
    }
    const std::string& textFor(int languageIndex) const { return text[languageIndex == 0 ? 0 : 1]; }
};

struct FileResult {
    FileError error;

    bool ok() const { return error.kind == FileErrorKind::None; }
    explicit operator bool() const { return ok(); }

    static FileResult success() { return {}; }
    static FileResult failure(FileError e) { return FileResult{std::move(e)}; }
};

// The UTF-8 form of a path, for messages.
std::string pathText(const std::filesystem::path& path);
// The path a UTF-8 text names (a command line, a text field): the inverse of
// pathText on every system, where a plain string would be read in the ANSI
// code page on Windows.
std::filesystem::path pathFromText(std::string_view utf8);

// "Can't write to file" with the system error code (saving).
FileError cannotWriteError(const std::filesystem::path& path, int systemError);
// "Can't read file" (loading).
FileError cannotReadError(const std::filesystem::path& path, int systemError);

// Writes `bytes` to a new file in the target's folder and renames it over the
// target, so a failed or interrupted save leaves an existing file as it was.
// A symbolic link as target is followed (the file it points to is replaced).
FileResult replaceFile(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

// Reads at most `maxBytes` from the start of the file.
struct FileRead {
    std::vector<std::uint8_t> bytes;
    FileResult result;
};
FileRead readFileHead(const std::filesystem::path& path, std::size_t maxBytes);

// --- Mode files -------------------------------------------------------------
//
// A little-endian byte image of the store's persistent parts. Version 2 is
// written; versions 1 and 2 are read.

constexpr std::size_t kModeFileSizeV2 = 1796;
constexpr std::size_t kModeFileSizeV1 = 1820;
constexpr std::int32_t kModeFileVersion = 2;

// Offsets inside a version-2 file; a version-1 file has 24 unused bytes after
// the parameter words, so its later parts lie 24 bytes further on.
namespace modefile {
constexpr std::size_t kVersion = 0;
constexpr std::size_t kParams = 4;
constexpr std::size_t kRegisters = kParams + ParamBlock::kBytes;      // 592
constexpr std::size_t kAuxState = kRegisters + kRegisterBlockSize;    // 1733
constexpr std::size_t kSpeakers = kAuxState + 6;                      // 1739
constexpr std::size_t kSoundField = kSpeakers + kSpeakerBlockSize;    // 1771
constexpr std::size_t kMusicSource = kSoundField + kSoundFieldBytes;  // 1791
constexpr std::size_t kHdmiInput = kMusicSource + 4;                  // 1795
constexpr std::size_t kVersion1Gap = 24;
}  // namespace modefile

// The persistent parts of the store as one value.
struct ModeImage {
    std::int32_t version = kModeFileVersion;                // the version it was read from
    std::array<std::uint8_t, ParamBlock::kBytes> params{};  // little-endian words
    std::array<std::uint8_t, kRegisterBlockSize> registers{};
    std::array<std::uint8_t, 6> auxState{};
    std::array<std::uint8_t, kSpeakerBlockSize> speakers{};
    std::array<std::uint8_t, kSoundFieldBytes> soundField{};
    std::int32_t musicSource = 0;
    std::uint8_t hdmiInput = 0;

    bool operator==(const ModeImage&) const = default;
};

// The store's persistent parts as they stand.
ModeImage captureModeImage(const ParamStore& store);
// The version-2 file of an image.
std::array<std::uint8_t, kModeFileSizeV2> encodeModeFile(const ModeImage& image);

struct ModeDecode {
    std::optional<ModeImage> image;
    FileErrorKind error = FileErrorKind::None;  // UnknownVersion or Truncated
    std::int32_t version = 0;                   // 0 for an empty file
    std::size_t expectedSize = 0;               // the version's size, when known
};
// Parses a whole file. Version 1 gets its fix-ups: the music AGC words did
// not exist then (off, -12 dB) and a pitch outside -5..+5 becomes 0. Bytes
// after the version's size are ignored.
ModeDecode decodeModeFile(std::span<const std::uint8_t> file);

// Replaces the store's persistent parts and decodes the room geometry.
void applyModeImage(ParamStore& store, const ModeImage& image);

// Writes the store as a version-2 file (1796 bytes).
FileResult saveModeFile(const ParamStore& store, const std::filesystem::path& path);
// Reads a version-1 or version-2 file into the store. All or nothing: on any
// failure the store is unchanged. On success the caller starts the push.
FileResult loadModeFile(ParamStore& store, const std::filesystem::path& path);

}  // namespace v36
