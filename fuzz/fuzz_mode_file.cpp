// Feeds arbitrary bytes to the mode-file reader: whatever parses is applied
// to a fresh store, and a version-2 file must write back byte for byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "protocol/mode_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const v36::ModeDecode decoded = v36::decodeModeFile(bytes);
    if (!decoded.image) return 0;
    v36::ParamStore store;
    v36::applyModeImage(store, *decoded.image);
    const auto again = v36::encodeModeFile(v36::captureModeImage(store));
    if (decoded.version == 2 && !std::equal(again.begin(), again.end(), bytes.begin()))
        std::abort();
    return 0;
}
