#pragma once

#include <string>
#include <string_view>

namespace v36::cli {

// A small JSON writer: objects and arrays written in order, with commas
// and string escapes taken care of.
class JsonWriter {
  public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view k);
    void value(std::string_view s);
    void value(const char* s) { value(std::string_view(s)); }
    void value(double d);
    void value(long long i);
    void value(int i) { value(static_cast<long long>(i)); }
    void value(bool b);
    void rawValue(std::string_view json);

    const std::string& str() const { return out_; }

  private:
    void separate();
    std::string out_;
    bool needComma_ = false;
    bool afterKey_ = false;
};

std::string jsonEscape(std::string_view s);
// Shortest text that reads back as the same float ("%.9g" trimmed).
std::string formatFloat(double v);

}  // namespace v36::cli
