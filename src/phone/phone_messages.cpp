#include "phone/phone_messages.h"

#include <cmath>
#include <initializer_list>

#include "phone/phone_json.h"

namespace v36::phone {

namespace {

// No message nests deeper than the band edit's object in the message.
constexpr int kMaxDepth = 2;

struct Refusal {
    std::string text;
};

const Json& member(const Json& object, const char* key) {
    return object.at(key);
}

bool onlyKeys(const Json& object, std::initializer_list<const char*> keys, std::string& unknown) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool known = false;
        for (const char* k : keys)
            known = known || it.key() == k;
        if (!known) {
            unknown = it.key();
            return false;
        }
    }
    return true;
}

double number(const Json& v, const std::string& what) {
    if (!v.is_number()) throw Refusal{what + " takes a number"};
    const double d = v.get<double>();
    if (!std::isfinite(d)) throw Refusal{what + " takes a finite number"};
    return d;
}

int wholeNumber(const Json& v, const std::string& what) {
    if (v.is_number_integer()) {
        const auto n = v.get<std::int64_t>();
        if (n < -1000000 || n > 1000000) throw Refusal{what + " is out of range"};
        return static_cast<int>(n);
    }
    if (v.is_number_unsigned()) throw Refusal{what + " is out of range"};
    const double d = number(v, what);
    if (d != std::trunc(d)) throw Refusal{what + " takes a whole number"};
    if (d < -1000000.0 || d > 1000000.0) throw Refusal{what + " is out of range"};
    return static_cast<int>(d);
}

std::string text(const Json& v, const std::string& what) {
    if (!v.is_string()) throw Refusal{what + " takes a text"};
    return v.get<std::string>();
}

bool flag(const Json& object, const char* key) {
    if (!object.contains(key)) return false;
    const Json& v = member(object, key);
    if (!v.is_boolean()) throw Refusal{std::string("\"") + key + "\" takes true or false"};
    return v.get<bool>();
}

void expectKeys(const Json& object, std::initializer_list<const char*> keys) {
    std::string unknown;
    if (!onlyKeys(object, keys, unknown)) throw Refusal{"unknown field \"" + unknown + "\""};
}

Request readRequest(const Json& j) {
    if (j.contains("pair")) {
        expectKeys(j, {"pair"});
        return PairRequest{text(member(j, "pair"), "\"pair\"")};
    }
    if (j.contains("get")) {
        expectKeys(j, {"get"});
        return GetRequest{text(member(j, "get"), "\"get\"")};
    }
    if (j.contains("set")) {
        expectKeys(j, {"set", "value", "end"});
        if (!j.contains("value")) throw Refusal{"\"set\" needs a \"value\""};
        return SetRequest{text(member(j, "set"), "\"set\""),
                          number(member(j, "value"), "\"value\""), flag(j, "end")};
    }
    if (j.contains("eq")) {
        expectKeys(j, {"eq"});
        return EqRequest{wholeNumber(member(j, "eq"), "\"eq\"")};
    }
    if (j.contains("band")) {
        expectKeys(j, {"band", "end"});
        const Json& b = member(j, "band");
        if (!b.is_object()) throw Refusal{"\"band\" takes an object"};
        expectKeys(b, {"eq", "band", "type", "freq", "gain", "q"});
        if (!b.contains("eq") || !b.contains("band"))
            throw Refusal{"\"band\" needs \"eq\" and \"band\""};
        BandRequest r;
        r.eq = wholeNumber(member(b, "eq"), "\"eq\"");
        r.band = wholeNumber(member(b, "band"), "\"band\"");
        if (b.contains("type")) r.type = wholeNumber(member(b, "type"), "\"type\"");
        if (b.contains("freq")) r.freq = number(member(b, "freq"), "\"freq\"");
        if (b.contains("gain")) r.gain = number(member(b, "gain"), "\"gain\"");
        if (b.contains("q")) r.q = number(member(b, "q"), "\"q\"");
        r.end = flag(j, "end");
        return r;
    }
    if (j.contains("mode")) {
        expectKeys(j, {"mode", "index"});
        if (text(member(j, "mode"), "\"mode\"") != "recall")
            throw Refusal{"\"mode\" takes \"recall\""};
        if (!j.contains("index")) throw Refusal{"\"mode\" needs an \"index\""};
        return RecallRequest{wholeNumber(member(j, "index"), "\"index\"")};
    }
    std::string first = j.empty() ? std::string() : j.begin().key();
    throw Refusal{first.empty() ? "an empty message" : "unknown message \"" + first + "\""};
}

}  // namespace

ParsedMessage parseMessage(std::string_view message) {
    ParsedMessage out;
    bool tooDeep = false;
    const Json::parser_callback_t limitDepth = [&tooDeep](int depth, Json::parse_event_t, Json&) {
        if (depth > kMaxDepth) {
            tooDeep = true;
            return false;
        }
        return true;
    };
    const Json j = Json::parse(message.begin(), message.end(), limitDepth, false);
    if (j.is_discarded()) {
        out.error = "not JSON";
        return out;
    }
    if (tooDeep) {
        out.error = "nested too deeply";
        return out;
    }
    if (!j.is_object()) {
        out.error = "a message is a JSON object";
        return out;
    }
    try {
        out.request = readRequest(j);
    } catch (const Refusal& r) {
        out.error = r.text;
    } catch (const Json::exception&) {
        out.error = "not understood";
    }
    return out;
}

}  // namespace v36::phone
