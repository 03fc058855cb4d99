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

std::optional<std::array<std::uint8_t, kRemoteFileSize>> remoteTableOf(
    std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kRemoteFileSize) return std::nullopt;
    std::array<std::uint8_t, kRemoteFileSize> table{};
    std::copy(bytes.begin(), bytes.end(), table.begin());
    return table;
}

FileError wrongRemoteFileSizeError(const fs::path& path, std::uintmax_t size) {
    FileError e;
    e.kind = FileErrorKind::WrongSize;
    e.path = pathText(path);
    const std::string bytes = std::to_string(size);
    const std::string need = std::to_string(kRemoteFileSize);
    e.caption = {"载入遥控文件", "Load remote file"};
    e.text = {"这不是遥控文件：遥控文件正好是 " + need + " 字节，此文件有 " + bytes +
                  " 字节。未载入任何内容：\n" + e.path,
              "This is not a remote data file: a remote data file is exactly " + need +
                  " bytes, this one has " + bytes + ". Nothing was loaded:\n" + e.path};
    e.detail = "not a remote data file (" + bytes + " bytes, a remote data file has exactly " +
               need + "), nothing loaded: " + e.path;
    return e;
}

RemoteFileRead readRemoteFile(const fs::path& path) {
    RemoteFileRead out;
    // One byte past the table tells a longer file.
    FileRead read = readFileHead(path, kRemoteFileSize + 1);
    if (!read.result) {
        out.result = std::move(read.result);
        return out;
    }
    if (const auto table = remoteTableOf(read.bytes)) {
        out.table = *table;
        return out;
    }
    std::error_code ec;
    std::uintmax_t size = fs::file_size(path, ec);
    if (ec) size = read.bytes.size();
    out.result = FileResult::failure(wrongRemoteFileSizeError(path, size));
    return out;
}

FileResult loadRemoteFile(ParamStore& store, const fs::path& path) {
    const RemoteFileRead read = readRemoteFile(path);
    if (!read.result) return read.result;
    store.remoteKeyTable.write(0, read.table.data(), read.table.size());
    return FileResult::success();
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
    const auto read = remoteTableOf(data);
    if (read.has_value() != (data.size() == kRemoteFileSize)) __builtin_trap();
    if (!read) return;
    store.remoteKeyTable.write(0, read->data(), read->size());
    const auto table = store.remoteKeyTable.snapshot();
    const Report report = remoteKeyTableReport(table);
    for (std::size_t i = 0; i < kRemoteFileSize; ++i) {
        if (table[i] != data[i] || report[2 + i] != data[i]) __builtin_trap();
    }
    if (report[0] != kReportId || report[1] != cmd::kStoreKeys) __builtin_trap();
    for (std::size_t i = 2 + kRemoteFileSize; i < report.size(); ++i) {
        if (report[i] != 0) __builtin_trap();
    }
}

}  // namespace v36
