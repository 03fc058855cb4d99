#include "phone/phone_json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace v36::phone {

JsonWriter& JsonWriter::open(char bracket, char closer) {
    item();
    out_ += bracket;
    closers_.push_back(closer);
    first_ = true;
    return *this;
}

JsonWriter& JsonWriter::end() {
    if (!closers_.empty()) {
        out_ += closers_.back();
        closers_.pop_back();
    }
    first_ = false;
    afterKey_ = false;
    return *this;
}

bool JsonWriter::comma() {
    if (afterKey_) {
        afterKey_ = false;
        return false;
    }
    const bool comma = !first_;
    first_ = false;
    return comma;
}

void JsonWriter::item() {
    if (comma()) out_ += ',';
}

// Each member is appended at once, its comma included: a message of an
// EQ's bands has a few hundred of them.
JsonWriter& JsonWriter::key(std::string_view name) {
    const bool c = comma();
    char buf[40];
    if (name.size() + 4 > sizeof buf) {
        out_ += c ? ",\"" : "\"";
        out_ += name;
        out_ += "\":";
    } else {
        char* p = buf;
        if (c) *p++ = ',';
        *p++ = '"';
        p = std::copy(name.begin(), name.end(), p);
        *p++ = '"';
        *p++ = ':';
        out_.append(buf, p);
    }
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::text(std::string_view value) {
    // Plain printable ASCII is written as it stands; anything else (quotes,
    // control characters, UTF-8 to check) is escaped by the JSON library.
    const bool plain = std::all_of(value.begin(), value.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F && c != '"' && c != '\\';
    });
    if (!plain) return raw(jsonText(Json(std::string(value))));
    item();
    out_ += '"';
    out_ += value;
    out_ += '"';
    return *this;
}

JsonWriter& JsonWriter::integer(std::int64_t value) {
    char buf[24];
    char* o = buf;
    if (comma()) *o++ = ',';
    o = std::to_chars(o, buf + sizeof buf, value).ptr;
    out_.append(buf, o);
    return *this;
}

JsonWriter& JsonWriter::single(float value) {
    char buf[40];
    char* o = buf;
    if (comma()) *o++ = ',';
    const auto put = [&o](const char* from, int count) {
        for (int i = 0; i < count; ++i)
            *o++ = from[i];
    };
    const auto zeros = [&o](int count) {
        for (int i = 0; i < count; ++i)
            *o++ = '0';
    };
    if (!std::isfinite(value)) {
        put("null", 4);
        out_.append(buf, o);
        return *this;
    }
    if (value == 0.0f) {
        if (std::signbit(value)) *o++ = '-';
        put("0.0", 3);
        out_.append(buf, o);
        return *this;
    }
    // A whole number below a million is its digits and ".0" (every such
    // single is exact, and its digits are the shortest that read back).
    if (std::fabs(value) < 1e6f && value == std::trunc(value)) {
        o = std::to_chars(o, buf + sizeof buf, static_cast<std::int32_t>(value)).ptr;
        put(".0", 2);
        out_.append(buf, o);
        return *this;
    }
    // The shortest digits and their exponent ("1.25e+03"), then laid out
    // as the JSON library lays out a single: plain up to six integer
    // digits, with ".0" when whole, "0.000ddd" down to 1e-4, else with an
    // exponent of at least two digits.
    char sci[32];
    const char* const sciEnd =
        std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
    char digits[16];
    int k = 0;
    const char* p = sci;
    for (; p < sciEnd && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits[k++] = *p;
    int exponent = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), sciEnd, exponent);
    const int n = exponent + 1;  // where the point stands among the digits
    constexpr int kMinExp = -4;
    constexpr int kMaxExp = 6;
    if (value < 0.0f) *o++ = '-';
    if (k <= n && n <= kMaxExp) {
        put(digits, k);
        zeros(n - k);
        put(".0", 2);
    } else if (0 < n && n <= kMaxExp) {
        put(digits, n);
        *o++ = '.';
        put(digits + n, k - n);
    } else if (kMinExp < n && n <= 0) {
        put("0.", 2);
        zeros(-n);
        put(digits, k);
    } else {
        *o++ = digits[0];
        if (k > 1) {
            *o++ = '.';
            put(digits + 1, k - 1);
        }
        const int x = n - 1;
        put(x < 0 ? "e-" : "e+", 2);
        const int a = std::abs(x);
        if (a < 10) *o++ = '0';
        o = std::to_chars(o, buf + sizeof buf, a).ptr;
    }
    out_.append(buf, o);
    return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
    out_ += comma() ? (value ? ",true" : ",false") : (value ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::raw(std::string_view json) {
    item();
    out_ += json;
    return *this;
}

}  // namespace v36::phone
