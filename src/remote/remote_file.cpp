#include "remote/remote_file.h"

#include <algorithm>

#include "protocol/report.h"

namespace v36 {

namespace fs = std::filesystem;

static_assert(decltype(ParamStore::remoteKeyTable)::kSize == kRemoteFileSize);

fs::path withRemoteExtension(fs::path chosen) {
    chosen.replace_extension("remo");
    return chosen;
}

FileResult saveRemoteFile(const ParamStore& store, const fs::path& path) {
    const auto table = store.remoteKeyTable.snapshot();
    return replaceFile(path, table);
}

FileResult loadRemoteFile(ParamStore& store, const fs::path& path) {
    const FileRead read = readFileHead(path, kRemoteFileSize);
    if (!read.result) return read.result;
    applyRemoteFileBytes(store, read.bytes);
    return FileResult::success();
}

void applyRemoteFileBytes(ParamStore& store, std::span<const std::uint8_t> bytes) {
    const std::size_t n = std::min(bytes.size(), kRemoteFileSize);
    if (n > 0) store.remoteKeyTable.write(0, bytes.data(), n);
}

FileResult loadRemoteFile(Senders& senders, const fs::path& path) {
    FileResult result = loadRemoteFile(senders.store(), path);
    if (result) sendRemoteKeyTable(senders);
    return result;
}

Report remoteKeyTableReport(const std::array<std::uint8_t, kRemoteFileSize>& table) {
    Report report = makeReport(cmd::kStoreKeys);
    for (std::size_t i = 0; i < table.size(); ++i)
        report[2 + i] = table[i];
    return report;
}

int sendRemoteKeyTable(Senders& senders) {
    return senders.write(remoteKeyTableReport(senders.store().remoteKeyTable.snapshot()));
}

void fuzzRemoteFile(std::span<const std::uint8_t> data) {
    ParamStore store;
    store.resetToDefaults();
    const auto before = store.remoteKeyTable.snapshot();
    applyRemoteFileBytes(store, data);
    const auto table = store.remoteKeyTable.snapshot();
    const Report report = remoteKeyTableReport(table);
    for (std::size_t i = 0; i < kRemoteFileSize; ++i) {
        const std::uint8_t expected = i < data.size() ? data[i] : before[i];
        if (table[i] != expected || report[2 + i] != expected) __builtin_trap();
    }
    if (report[0] != kReportId || report[1] != cmd::kStoreKeys) __builtin_trap();
    for (std::size_t i = 2 + kRemoteFileSize; i < report.size(); ++i) {
        if (report[i] != 0) __builtin_trap();
    }
}

}  // namespace v36
