#pragma once

#include <cstddef>
#include <filesystem>

#include "protocol/mode_file.h"
#include "protocol/param_store.h"
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

// loadRemoteFile, then on success stores the whole table in the unit
// (command 99 with the 18 bytes).
FileResult loadRemoteFile(Senders& senders, const std::filesystem::path& path);

// Command 99 with the table as it stands.
int sendRemoteKeyTable(Senders& senders);

}  // namespace v36
