// Feeds arbitrary reports to the dispatcher (and through it to the
// home-automation mirror). The input is cut into 61-byte
// reports (the last one padded with zeros); each report's bytes are taken
// as the unit sent them, so every code, offset and length is exercised.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "context/device_context.h"

namespace {

// One context for the whole run: the link stays closed, so the
// acknowledgement of module frames is refused at once.
v36::DeviceContext& context() {
    static v36::DeviceContext ctx;
    return ctx;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    v36::DeviceContext& ctx = context();
    std::size_t at = 0;
    do {
        v36::Report r{};
        const std::size_t n = std::min(size - at, r.size());
        if (n > 0) std::memcpy(r.data(), data + at, n);
        ctx.dispatcher.dispatchReport(r);
        at += n;
    } while (at < size);
    return 0;
}
