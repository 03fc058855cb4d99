// Atomic replacement on POSIX systems: an exclusive create, fsync, rename.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "protocol/file_replace.h"

namespace v36::file_replace {

namespace fs = std::filesystem;

namespace {

int lastError(int fallback) {
    return errno != 0 ? errno : fallback;
}

}  // namespace

NewFile writeNewFile(const fs::path& temp, std::span<const std::uint8_t> bytes) {
    errno = 0;
    std::FILE* file = std::fopen(temp.c_str(), "wbx");
    if (file == nullptr) {
        const int error = lastError(EIO);
        return {error == EEXIST ? NewFile::State::NameTaken : NewFile::State::Failed, error};
    }
    errno = 0;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                   std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
    int error = lastError(EIO);
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = lastError(EIO);
    }
    if (!written) {
        std::error_code ec;
        fs::remove(temp, ec);
        return {NewFile::State::Failed, error};
    }
    return {NewFile::State::Written, 0};
}

int moveIntoPlace(const fs::path& temp, const fs::path& dest) {
    std::error_code ec;
    fs::rename(temp, dest, ec);
    return ec ? ec.value() : 0;
}

}  // namespace v36::file_replace
