#pragma once

// The steps of an atomic file replacement that differ between systems; the
// shared part (symbolic links, write protection, the temporary name) is
// replaceFile in mode_file.cpp.
#include <cstdint>
#include <filesystem>
#include <span>

namespace v36::file_replace {

struct NewFile {
    enum class State { Written, NameTaken, Failed };
    State state = State::Failed;
    int error = 0;  // an errno value when not Written
};

// Creates `temp`, which must not exist yet (NameTaken when it does), writes
// `bytes` and flushes them to the disk before closing. A file that could not
// be written whole is removed again.
NewFile writeNewFile(const std::filesystem::path& temp, std::span<const std::uint8_t> bytes);

// Puts the written `temp` in place of `dest` in one step, replacing a file
// that is there; 0, or an errno value (`temp` is then left for the caller).
int moveIntoPlace(const std::filesystem::path& temp, const std::filesystem::path& dest);

}  // namespace v36::file_replace
