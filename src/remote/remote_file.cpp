#include "remote/remote_file.h"

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
    if (!read.bytes.empty()) store.remoteKeyTable.write(0, read.bytes.data(), read.bytes.size());
    return FileResult::success();
}

FileResult loadRemoteFile(Senders& senders, const fs::path& path) {
    FileResult result = loadRemoteFile(senders.store(), path);
    if (result) sendRemoteKeyTable(senders);
    return result;
}

int sendRemoteKeyTable(Senders& senders) {
    const auto table = senders.store().remoteKeyTable.snapshot();
    Report report = makeReport(cmd::kStoreKeys);
    for (std::size_t i = 0; i < table.size(); ++i)
        report[2 + i] = table[i];
    return senders.write(report);
}

}  // namespace v36
