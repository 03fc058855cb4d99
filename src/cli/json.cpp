#include "cli/json.h"

#include <cmath>
#include <cstdio>

namespace v36::cli {

std::string jsonEscape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

std::string formatFloat(double v) {
    if (!std::isfinite(v)) return "null";
    for (int precision = 6; precision <= 9; ++precision) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.*g", precision, v);
        if (static_cast<float>(std::strtod(buf, nullptr)) == static_cast<float>(v)) return buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (needComma_) out_ += ',';
}

void JsonWriter::beginObject() {
    separate();
    out_ += '{';
    needComma_ = false;
}

void JsonWriter::endObject() {
    out_ += '}';
    needComma_ = true;
}

void JsonWriter::beginArray() {
    separate();
    out_ += '[';
    needComma_ = false;
}

void JsonWriter::endArray() {
    out_ += ']';
    needComma_ = true;
}

void JsonWriter::key(std::string_view k) {
    separate();
    out_ += jsonEscape(k);
    out_ += ':';
    afterKey_ = true;
}

void JsonWriter::value(std::string_view s) {
    separate();
    out_ += jsonEscape(s);
    needComma_ = true;
}

void JsonWriter::value(double d) {
    separate();
    out_ += formatFloat(d);
    needComma_ = true;
}

void JsonWriter::value(long long i) {
    separate();
    out_ += std::to_string(i);
    needComma_ = true;
}

void JsonWriter::value(bool b) {
    separate();
    out_ += b ? "true" : "false";
    needComma_ = true;
}

void JsonWriter::rawValue(std::string_view json) {
    separate();
    out_ += json;
    needComma_ = true;
}

}  // namespace v36::cli
