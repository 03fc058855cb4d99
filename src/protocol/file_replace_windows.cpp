// Atomic replacement on Windows: an exclusive create through the wide API
// (UTF-16 names, so any file name works whatever the code page),
// FlushFileBuffers, then ReplaceFileW over an existing file (it keeps the
// file's attributes and security) or MoveFileExW where there is none.
#include <windows.h>

#include <cerrno>
#include <system_error>

#include "protocol/file_replace.h"

namespace v36::file_replace {

namespace fs = std::filesystem;

namespace {

// The errno value of a Windows error, so that messages read the same on
// every system.
int errnoOf(DWORD error) {
    const std::error_condition condition =
        std::system_category().default_error_condition(static_cast<int>(error));
    return condition.category() == std::generic_category() ? condition.value() : EIO;
}

}  // namespace

NewFile writeNewFile(const fs::path& temp, std::span<const std::uint8_t> bytes) {
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return {taken ? NewFile::State::NameTaken : NewFile::State::Failed, errnoOf(error)};
    }
    DWORD put = 0;
    bool written = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                   put == bytes.size() && FlushFileBuffers(file);
    DWORD error = written ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(file) && written) {
        written = false;
        error = GetLastError();
    }
    if (!written) {
        DeleteFileW(temp.c_str());
        return {NewFile::State::Failed,
                errnoOf(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error)};
    }
    return {NewFile::State::Written, 0};
}

int moveIntoPlace(const fs::path& temp, const fs::path& dest) {
    // Whole paths: ReplaceFileW does not take relative ones everywhere (Wine).
    std::error_code ec;
    const fs::path from = fs::absolute(temp, ec);
    const fs::path to = ec ? dest : fs::absolute(dest, ec);
    if (ec) return ec.default_error_condition().value();
    const DWORD attributes = GetFileAttributesW(to.c_str());
    const bool exists =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (exists && ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                               nullptr, nullptr)) {
        return 0;
    }
    if (!exists &&
        MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    return errnoOf(GetLastError());
}

}  // namespace v36::file_replace
