// Feeds arbitrary bytes to the mode-file reader: whatever parses is applied
// to a fresh store, and a version-2 file must write back byte for byte.
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/mode_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    v36::fuzzModeFile(std::span<const std::uint8_t>(data, size));
    return 0;
}
