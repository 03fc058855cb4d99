// Feeds arbitrary bytes to the remote data file reader: the key table and
// its command-99 report must carry exactly the bytes read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "remote/remote_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    v36::fuzzRemoteFile(std::span<const std::uint8_t>(data, size));
    return 0;
}
