// Feeds arbitrary bytes to the remote data file reader: an 18-byte file
// becomes the key table and its command-99 report exactly, any other size is
// refused.
#include <cstddef>
#include <cstdint>
#include <span>

#include "remote/remote_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    v36::fuzzRemoteFile(std::span<const std::uint8_t>(data, size));
    return 0;
}
