#include "phone/phone_json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
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

void JsonWriter::item() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_) out_ += ',';
    first_ = false;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    item();
    out_ += '"';
    out_ += name;
    out_ += "\":";
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
    item();
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out_.append(buf, r.ptr);
    return *this;
}

JsonWriter& JsonWriter::single(float value) {
    item();
    if (!std::isfinite(value)) {
        out_ += "null";
        return *this;
    }
    if (value == 0.0f) {
        out_ += std::signbit(value) ? "-0.0" : "0.0";
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
    char buf[32];
    char* o = buf;
    if (value < 0.0f) *o++ = '-';
    const auto put = [&o](const char* from, int count) {
        for (int i = 0; i < count; ++i)
            *o++ = from[i];
    };
    const auto zeros = [&o](int count) {
        for (int i = 0; i < count; ++i)
            *o++ = '0';
    };
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
    item();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::raw(std::string_view json) {
    item();
    out_ += json;
    return *this;
}

}  // namespace v36::phone
