#pragma once

#include <chrono>
#include <vector>

#include "context/device_context.h"
#include "support/recording_transport.h"

namespace v36::test {

// A context whose link writes to a recording transport that answers at
// once; fades record their pauses instead of sleeping.
struct SenderFixture {
    SenderFixture() {
        ctx.link.attach(transport);
        ctx.senders.setSleeper([this](std::chrono::milliseconds ms) { pauses.push_back(ms); });
    }
    // The writer may still be sending when a test ends: let it finish and
    // take the transport away before the transport goes.
    ~SenderFixture() {
        ctx.writer.waitIdle();
        ctx.link.detach();
    }
    SenderFixture(const SenderFixture&) = delete;
    SenderFixture& operator=(const SenderFixture&) = delete;

    std::vector<Report> sent() const { return transport.reports(); }
    // An edit through the context's editor, once its sends have gone.
    void apply(Edit edit) {
        ctx.editor.apply(std::move(edit));
        ctx.writer.waitIdle();
    }

    DeviceContext ctx;
    RecordingTransport transport{&ctx.link.responseEvent};
    std::vector<std::chrono::milliseconds> pauses;
};

// The parameter address and word count of a command-9 report.
struct ParamHeader {
    int block, index, count;
    bool operator==(const ParamHeader&) const = default;
};
inline ParamHeader headerOf(const Report& r) {
    return {r[3], r[4], r[5]};
}

inline std::uint32_t wordOf(const Report& r, int k) {
    const std::size_t at = 6 + 4 * static_cast<std::size_t>(k);
    return (std::uint32_t{r[at]} << 24) | (std::uint32_t{r[at + 1]} << 16) |
           (std::uint32_t{r[at + 2]} << 8) | std::uint32_t{r[at + 3]};
}

}  // namespace v36::test
