#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
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

// Reads up to 18 bytes into the table: a shorter file replaces only the bytes
// it holds, a longer one is read to byte 17. No content check is made.
FileResult loadRemoteFile(ParamStore& store, const std::filesystem::path& path);

// The bytes of a remote data file read into the table, as loadRemoteFile
// does: up to 18 bytes, a shorter file replacing only the bytes it holds.
void applyRemoteFileBytes(ParamStore& store, std::span<const std::uint8_t> bytes);

// loadRemoteFile, then on success stores the whole table in the unit
// (command 99 with the 18 bytes).
FileResult loadRemoteFile(Senders& senders, const std::filesystem::path& path);

// Command 99 with the table as it stands.
int sendRemoteKeyTable(Senders& senders);
Report remoteKeyTableReport(const std::array<std::uint8_t, kRemoteFileSize>& table);

// Fuzz entry: arbitrary bytes read as a remote data file into a fresh
// store; the table and its command-99 report must carry exactly them.
void fuzzRemoteFile(std::span<const std::uint8_t> data);

}  // namespace v36
