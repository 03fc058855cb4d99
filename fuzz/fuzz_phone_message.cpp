// Feeds the room remote's messages to the hub, as a paired phone and as one
// that has not paired. The first byte picks how the rest is read. Odd: the
// rest is split at newlines into messages as they are (the first six).
// Even: the bytes build
// messages of every kind with names, numbers and fields taken from tables,
// so that short runs reach every check and every edit. Whatever is accepted
// must leave the store able to describe itself to the phones.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "byte_reader.h"
#include "context/device_context.h"
#include "phone/phone_hub.h"
#include "phone/phone_messages.h"

namespace {

constexpr std::array<std::string_view, 12> kNames{"micVolume",
                                                  "musicMute",
                                                  "musicPitch",
                                                  "outMain.delayMs[1]",
                                                  "outSub.compRatio",
                                                  "micAFreq",
                                                  "echoATime[2]",
                                                  "reverbATime[0]",
                                                  "outRear.delayFilterMode[0]",
                                                  "nothing",
                                                  "outMain.level[9]",
                                                  "musicGateThreshold"};
constexpr std::array<std::string_view, 16> kNumbers{
    "0",   "1",     "-1",   "5",     "99",  "300",  "1e999", "-0",
    "0.5", "20000", "12.7", "-15.1", "2.0", "1e-9", "4096",  "\"7\""};
constexpr std::array<std::string_view, 8> kFields{"type", "freq", "gain", "q",
                                                  "eq",   "band", "end",  "extra"};

// Messages an input: enough for a pairing, edits and their answers in any
// order; a longer run is many inputs.
constexpr std::size_t kMessages = 6;

std::string built(v36::fuzz::ByteReader& r) {
    const auto num = [&] { return std::string(r.pick(kNumbers)); };
    switch (r.next() % 7) {
        case 0:
            return R"({"pair": ")" + std::string(r.next() % 2 ? "123456" : "12345x") + "\"}";
        case 1:
            return R"({"get": ")" + std::string(r.pick(kNames)) + "\"}";
        case 2:
            return R"({"set": ")" + std::string(r.pick(kNames)) + R"(", "value": )" + num() +
                   (r.next() % 2 ? R"(, "end": true})" : "}");
        case 3:
            return R"({"eq": )" + std::to_string(static_cast<int>(r.next() % 14) - 1) + "}";
        case 4: {
            std::string band = R"({"band": {"eq": )" +
                               std::to_string(static_cast<int>(r.next() % 13)) + R"(, "band": )" +
                               std::to_string(r.next() % 26);
            const int fields = r.next() % 4;
            for (int i = 0; i < fields; ++i)
                band += R"(, ")" + std::string(r.pick(kFields)) + R"(": )" + num();
            return band + (r.next() % 2 ? R"(}, "end": true})" : "}}");
        }
        case 5:
            return R"({"mode": "recall", "index": )" + num() + "}";
        default:
            return std::string(r.next() % 3, '{') + "\"" + std::string(r.pick(kFields));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::vector<std::string> messages;
    if (data[0] % 2 == 1) {
        const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
        std::size_t start = 0;
        while (start <= rest.size() && messages.size() < kMessages) {
            const std::size_t end = std::min(rest.find('\n', start), rest.size());
            messages.emplace_back(rest.substr(start, end - start));
            start = end + 1;
        }
    } else {
        v36::fuzz::ByteReader r(data + 1, size - 1);
        while (r.more() && messages.size() < kMessages)
            messages.push_back(built(r));
    }

    // One context for the whole run (its writer thread starts once); every
    // input starts from the defaults. No unit is attached: the edits reach
    // the store and the writer, which has no link to send on.
    static v36::DeviceContext ctx;
    ctx.resetToDefaults();
    v36::phone::DirectEditor editor(
        ctx.editor, [] { return false; }, [](int) { return std::string(); });
    v36::phone::PhoneHub hub(ctx.store, editor, "123456");
    // The curves are arithmetic that other tests check; the messages are
    // what is fuzzed here.
    hub.setCurves(false);
    v36::phone::Outbox out;
    const int paired = hub.open("192.0.2.1", out);
    hub.receive(paired, R"({"pair": "123456"})", out);
    const int stranger = hub.open("192.0.2.2", out);
    for (const std::string& m : messages) {
        hub.receive(paired, m, out);
        hub.receive(stranger, m, out);
    }
    hub.poll(out);
    // An EQ (picked by the first byte's other bits) still describes itself;
    // the EQs the messages edited did so to the paired phone already.
    if (hub.eqMessage((data[0] >> 1) % v36::kEqCount).empty()) __builtin_trap();
    return 0;
}
