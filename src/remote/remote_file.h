#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "protocol/mode_file.h"
#include "protocol/param_store.h"
#include "protocol/report.h"
#include "protocol/senders.h"

namespace v36 {

// A remote data file is the 18 bytes of the learned-key table: the status
// byte of the last learning report, then the codes of keys 1..17. No header.
constexpr std::size_t kRemoteFileSize = 18;

// The name a remote data file is saved under: whatever extension was typed
// is replaced by "remo"; a name without one receives it.
std::filesystem::path withRemoteExtension(std::filesystem::path chosen);

// Writes the table (replacing the file only once the new one is complete).
FileResult saveRemoteFile(const ParamStore& store, const std::filesystem::path& path);

// A remote data file read whole: exactly the 18-byte table, or why it is
// not one (it cannot be read, or it has another size).
struct RemoteFileRead {
    std::array<std::uint8_t, kRemoteFileSize> table{};
    FileResult result;
};
RemoteFileRead readRemoteFile(const std::filesystem::path& path);

// The table held by the bytes of a remote data file: only exactly 18 bytes
// are one.
std::optional<std::array<std::uint8_t, kRemoteFileSize>> remoteTableOf(
    std::span<const std::uint8_t> bytes);

// The box and the line of a file that is not the 18-byte table.
FileError wrongRemoteFileSizeError(const std::filesystem::path& path, std::uintmax_t size);

// Reads a remote data file into the table. Anything but the 18-byte table
// is refused and the table stays as it was.
FileResult loadRemoteFile(ParamStore& store, const std::filesystem::path& path);

// loadRemoteFile, then on success stores the whole table in the unit
// (command 99 with the 18 bytes); a refused file sends nothing.
FileResult loadRemoteFile(Senders& senders, const std::filesystem::path& path);

// Command 99 with the table as it stands.
int sendRemoteKeyTable(Senders& senders);
Report remoteKeyTableReport(const std::array<std::uint8_t, kRemoteFileSize>& table);

// Fuzz entry: arbitrary bytes read as a remote data file into a fresh
// store: 18 bytes become the table and its command-99 report, any other
// size leaves the table as it was.
void fuzzRemoteFile(std::span<const std::uint8_t> data);

}  // namespace v36
