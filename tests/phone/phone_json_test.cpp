// The phone messages written straight into text read exactly as the JSON
// library writes the same values: numbers, texts, nesting, and the hub's
// large messages as a whole.
#include "phone/phone_json.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "context/device_context.h"
#include "phone/phone_hub.h"
#include "protocol/word_table.h"

namespace v36::phone {
namespace {

std::string written(float v) {
    return JsonWriter().single(v).take();
}

TEST(JsonWriter, SinglesReadAsTheLibraryWritesThem) {
    const float table[] = {0.0f,     -0.0f,     1.0f,    -1.0f,    0.5f,      1000.0f,
                           20000.0f, 0.7071f,   -15.5f,  12.34f,   123456.0f, 999999.0f,
                           1.0e6f,   1234567.f, 1.5e7f,  0.001f,   0.0001f,   0.00012f,
                           1.0e-5f,  -2.5e-7f,  3.0e38f, 1.0e-38f, 1.0e-45f,  18.0f,
                           22987.3f, 0.1f,      100.0f,  -0.01f,   -999999.0f};
    for (float v : table)
        EXPECT_EQ(written(v), jsonText(Json(v))) << v;
    EXPECT_EQ(written(std::numeric_limits<float>::quiet_NaN()), "null");
    EXPECT_EQ(written(std::numeric_limits<float>::infinity()), "null");

    // Any single, from every exponent: the same text, or (where the two
    // shortest-digit searches pick different last digits) a text that
    // reads back as the very same single.
    std::mt19937 random(36);
    int differ = 0;
    for (int i = 0; i < 20000; ++i) {
        const float v = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        if (!std::isfinite(v)) continue;
        const std::string mine = written(v);
        if (mine == jsonText(Json(v))) continue;
        ++differ;
        EXPECT_EQ(std::strtof(mine.c_str(), nullptr), v) << mine;
    }
    EXPECT_LT(differ, 200);
}

TEST(JsonWriter, TextsAndNestingReadAsTheLibraryWritesThem) {
    const std::string texts[] = {"",          "micVolume", "say \"hi\"", "back\\slash",
                                 "tab\there", "\x01\x1f",  "均衡器",     "bad \xff byte",
                                 "\x7f"};
    for (const std::string& t : texts)
        EXPECT_EQ(JsonWriter().text(t).take(), jsonText(Json(t))) << t;

    JsonWriter w;
    w.beginObject().key("a").beginArray().integer(1).single(2.5f).beginObject().end().end();
    w.key("b").boolean(false).key("c").beginArray().end().key("d").raw("null").end();
    EXPECT_EQ(w.take(), jsonText(Json{{"a", Json::array({1, 2.5f, Json::object()})},
                                      {"b", false},
                                      {"c", Json::array()},
                                      {"d", nullptr}}));
}

// The hub's EQ and state messages, curves on and off, read back and written
// again by the library give the same text.
TEST(JsonWriter, HubMessagesAreTheLibrarysText) {
    DeviceContext ctx;
    ctx.store.params.setInt(*findWord("musicVolume"), 37);
    DirectEditor editor(
        ctx.editor, [] { return false; }, [](int) { return std::string(); });
    PhoneHub hub(ctx.store, editor, "123456");
    for (bool curves : {true, false}) {
        hub.setCurves(curves);
        for (int eq = 0; eq < kEqCount; ++eq) {
            const std::string m = hub.eqMessage(eq);
            EXPECT_EQ(jsonText(Json::parse(m)), m) << eq;
            EXPECT_EQ(Json::parse(m).contains("curve"), curves);
        }
        Outbox out;
        const int phone = hub.open("192.0.2.1", out);
        hub.receive(phone, R"({"pair": "123456"})", out);
        ASSERT_EQ(out.messages.size(), 2u);
        const std::string state = out.messages[1].text;
        EXPECT_EQ(jsonText(Json::parse(state)), state);
        EXPECT_EQ(Json::parse(state)["state"].contains("freqs"), curves);
        EXPECT_NE(state.find(R"(,"value":37})"), std::string::npos);
        hub.closed(phone);
    }
}

}  // namespace
}  // namespace v36::phone
