#include "protocol/mode_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <system_error>

#include "protocol/bytes.h"
#include "protocol/file_replace.h"
#include "protocol/words.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace v36 {

namespace fs = std::filesystem;

namespace {

// The captions and texts of the file boxes, Chinese and English.
constexpr const char* kCannotWriteCaption[2] = {"无法写入文件", "Can't write to file"};
constexpr const char* kCannotWriteText[2] = {
    "错误码=%d，无法写入文件：\n%s\n文件可能受写保护。",
    "Errcode=%d,Can't write to file:\n%s\nProbably it is write protected."};
constexpr const char* kCannotReadCaption[2] = {"无法读取文件", "Can't read file"};
constexpr const char* kCannotReadText[2] = {"无法读取文件：\n%s\n文件可能不存在或没有读取权限。",
                                            "Can't read the file:\n%s\nProbably it does not exist "
                                            "or may not be read."};

// Fills the %d (the error code) and %s (the path) of a box text.
std::string fill(const char* pattern, int code, const std::string& a) {
    std::string out;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 'd') {
            out += std::to_string(code);
            ++p;
        } else if (p[0] == '%' && p[1] == 's') {
            out += a;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::FILE* openFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wmode;
    for (const char* m = mode; *m != '\0'; ++m)
        wmode += static_cast<wchar_t>(*m);
    return _wfopen(path.c_str(), wmode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

int lastError(int fallback) {
    return errno != 0 ? errno : fallback;
}

FileError truncatedError(const fs::path& path, std::size_t have, std::size_t need) {
    FileError e;
    e.kind = FileErrorKind::Truncated;
    e.path = pathText(path);
    e.caption = {"错误", "Error"};
    const std::string sizes = std::to_string(have) + "/" + std::to_string(need);
    e.text = {"模式文件不完整(" + sizes + " 字节),未载入:\n" + e.path,
              "The mode file is incomplete (" + std::to_string(have) + " of " +
                  std::to_string(need) + " bytes) and was not loaded:\n" + e.path};
    e.detail = "incomplete mode file (" + std::to_string(have) + " of " + std::to_string(need) +
               " bytes), nothing loaded: " + e.path;
    return e;
}

FileError unknownVersionError(const fs::path& path, std::int32_t version) {
    FileError e;
    e.kind = FileErrorKind::UnknownVersion;
    e.path = pathText(path);
    e.detail = "not a mode file this program reads (version " + std::to_string(version) +
               "), nothing loaded: " + e.path;
    return e;
}

}  // namespace

std::string pathText(const fs::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

fs::path pathFromText(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

FileError cannotWriteError(const fs::path& path, int systemError) {
    FileError e;
    e.kind = FileErrorKind::CannotWrite;
    e.systemError = systemError;
    e.path = pathText(path);
    e.caption = {kCannotWriteCaption[0], kCannotWriteCaption[1]};
    e.text = {fill(kCannotWriteText[0], systemError, e.path),
              fill(kCannotWriteText[1], systemError, e.path)};
    e.detail = "cannot write " + e.path + ": " + std::generic_category().message(systemError);
    return e;
}

FileError cannotReadError(const fs::path& path, int systemError) {
    FileError e;
    e.kind = FileErrorKind::CannotRead;
    e.systemError = systemError;
    e.path = pathText(path);
    e.caption = {kCannotReadCaption[0], kCannotReadCaption[1]};
    e.text = {fill(kCannotReadText[0], 0, e.path), fill(kCannotReadText[1], 0, e.path)};
    e.detail = "cannot read " + e.path + ": " + std::generic_category().message(systemError);
    return e;
}

FileResult replaceFile(const fs::path& target, std::span<const std::uint8_t> bytes) {
    std::error_code ec;
    fs::path dest = target;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) dest = resolved;
    }
    if (dest.filename().empty()) return FileResult::failure(cannotWriteError(target, EISDIR));

    // A write-protected file stays protected: replacing it by renaming would
    // otherwise succeed wherever the folder is writable.
    const fs::file_status old = fs::status(dest, ec);
    const bool replacing = !ec && fs::is_regular_file(old);
    if (replacing) {
#if defined(__unix__) || defined(__APPLE__)
        errno = 0;
        if (::access(dest.c_str(), W_OK) != 0)
            return FileResult::failure(cannotWriteError(target, lastError(EACCES)));
        // A file nobody may write is write-protected for an administrator
        // too, as a read-only file is on other systems.
        constexpr fs::perms anyWrite =
            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        if ((old.permissions() & anyWrite) == fs::perms::none)
            return FileResult::failure(cannotWriteError(target, EACCES));
#else
        if ((old.permissions() & fs::perms::owner_write) == fs::perms::none)
            return FileResult::failure(cannotWriteError(target, EACCES));
#endif
    }

    // A new file next to the target, under a name no one else uses.
    std::random_device random;
    fs::path temp;
    file_replace::NewFile created;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        fs::path name(".");
        name += dest.filename();
        name += suffix;
        temp = dest.parent_path() / name;
        created = file_replace::writeNewFile(temp, bytes);
        if (created.state != file_replace::NewFile::State::NameTaken) break;
    }
    if (created.state != file_replace::NewFile::State::Written)
        return FileResult::failure(cannotWriteError(target, created.error));

    // Keep the permissions of the file being replaced.
    if (replacing) fs::permissions(temp, old.permissions(), ec);

    if (const int error = file_replace::moveIntoPlace(temp, dest); error != 0) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return FileResult::failure(cannotWriteError(target, error));
    }
    return FileResult::success();
}

FileRead readFileHead(const fs::path& path, std::size_t maxBytes) {
    FileRead read;
    errno = 0;
    std::FILE* file = openFile(path, "rb");
    if (file == nullptr) {
        read.result = FileResult::failure(cannotReadError(path, lastError(ENOENT)));
        return read;
    }
    read.bytes.resize(maxBytes);
    std::size_t have = 0;
    while (have < maxBytes) {
        const std::size_t n = std::fread(read.bytes.data() + have, 1, maxBytes - have, file);
        if (n == 0) break;
        have += n;
    }
    const bool failed = std::ferror(file) != 0;
    const int error = lastError(EIO);
    std::fclose(file);
    read.bytes.resize(have);
    if (failed) {
        read.bytes.clear();
        read.result = FileResult::failure(cannotReadError(path, error));
    }
    return read;
}

ModeImage captureModeImage(const ParamStore& store) {
    ModeImage image;
    image.version = kModeFileVersion;
    image.params = store.params.toBytes();
    image.registers = store.registers.snapshot();
    image.auxState = store.auxState.snapshot();
    image.speakers = store.speakers.snapshot();
    image.soundField = store.soundFieldBlock.snapshot();
    image.musicSource = store.musicSource.load();
    image.hdmiInput = store.hdmiInput.load();
    return image;
}

namespace {

template <std::size_t N>
void putBytes(std::uint8_t* at, const std::array<std::uint8_t, N>& bytes) {
    std::memcpy(at, bytes.data(), N);
}

template <std::size_t N>
void getBytes(std::array<std::uint8_t, N>& bytes, const std::uint8_t* at) {
    std::memcpy(bytes.data(), at, N);
}

void putWord(std::array<std::uint8_t, ParamBlock::kBytes>& params, int word, std::uint32_t v) {
    putLE32(params.data() + 4 * word, v);
}

std::int32_t getWordInt(const std::array<std::uint8_t, ParamBlock::kBytes>& params, int word) {
    return static_cast<std::int32_t>(getLE32(params.data() + 4 * word));
}

}  // namespace

std::array<std::uint8_t, kModeFileSizeV2> encodeModeFile(const ModeImage& image) {
    using namespace modefile;
    std::array<std::uint8_t, kModeFileSizeV2> out{};
    putLE32(out.data() + kVersion, static_cast<std::uint32_t>(kModeFileVersion));
    putBytes(out.data() + kParams, image.params);
    putBytes(out.data() + kRegisters, image.registers);
    putBytes(out.data() + kAuxState, image.auxState);
    putBytes(out.data() + kSpeakers, image.speakers);
    putBytes(out.data() + kSoundField, image.soundField);
    putLE32(out.data() + kMusicSource, static_cast<std::uint32_t>(image.musicSource));
    out[kHdmiInput] = image.hdmiInput;
    return out;
}

ModeDecode decodeModeFile(std::span<const std::uint8_t> file) {
    using namespace modefile;
    ModeDecode result;
    if (file.empty()) {  // an empty file reads as version 0
        result.error = FileErrorKind::UnknownVersion;
        return result;
    }
    if (file.size() < 4) {
        result.error = FileErrorKind::Truncated;
        result.expectedSize = kModeFileSizeV2;
        return result;
    }
    result.version = static_cast<std::int32_t>(getLE32(file.data() + kVersion));
    if (result.version != 1 && result.version != 2) {
        result.error = FileErrorKind::UnknownVersion;
        return result;
    }
    result.expectedSize = result.version == 1 ? kModeFileSizeV1 : kModeFileSizeV2;
    if (file.size() < result.expectedSize) {
        result.error = FileErrorKind::Truncated;
        return result;
    }

    // Version 1 has 24 unused bytes after the parameter words.
    const std::size_t gap = result.version == 1 ? kVersion1Gap : 0;
    const std::uint8_t* p = file.data();
    ModeImage image;
    image.version = result.version;
    getBytes(image.params, p + kParams);
    getBytes(image.registers, p + kRegisters + gap);
    getBytes(image.auxState, p + kAuxState + gap);
    getBytes(image.speakers, p + kSpeakers + gap);
    getBytes(image.soundField, p + kSoundField + gap);
    image.musicSource = static_cast<std::int32_t>(getLE32(p + kMusicSource + gap));
    image.hdmiInput = p[kHdmiInput + gap];

    if (result.version == 1) {
        // The music AGC came later: its words hold nothing valid here.
        putWord(image.params, w::musicAgcEnable, 0);
        putWord(image.params, w::musicAgcLevel, floatBits(-12.0f));
        const std::int32_t pitch = getWordInt(image.params, w::musicPitch);
        if (pitch < -5 || pitch > 5) putWord(image.params, w::musicPitch, 0);
    }
    result.image = image;
    return result;
}

void applyModeImage(ParamStore& store, const ModeImage& image) {
    store.params.fromBytes(image.params.data());
    store.registers.assign(image.registers);
    store.auxState.assign(image.auxState);
    store.speakers.assign(image.speakers);
    store.soundFieldBlock.assign(image.soundField);
    store.decodeSoundField();
    store.musicSource.store(image.musicSource);
    store.hdmiInput.store(image.hdmiInput);
}

FileResult saveModeFile(const ParamStore& store, const fs::path& path) {
    const auto bytes = encodeModeFile(captureModeImage(store));
    return replaceFile(path, bytes);
}

FileResult loadModeFile(ParamStore& store, const fs::path& path) {
    FileRead read = readFileHead(path, kModeFileSizeV1);
    if (!read.result) return read.result;
    const ModeDecode decoded = decodeModeFile(read.bytes);
    if (decoded.error == FileErrorKind::UnknownVersion)
        return FileResult::failure(unknownVersionError(path, decoded.version));
    if (decoded.error == FileErrorKind::Truncated || !decoded.image)
        return FileResult::failure(truncatedError(path, read.bytes.size(), decoded.expectedSize));
    applyModeImage(store, *decoded.image);
    return FileResult::success();
}

}  // namespace v36
