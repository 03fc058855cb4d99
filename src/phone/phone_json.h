#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace v36::phone {

// The JSON values of the phone messages: members in the order they were
// added; numbers with a fraction held as singles (the unit's own numbers),
// so that they print as the shortest text that reads back as the same
// single.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                  std::int64_t, std::uint64_t, float>;

// The compact text of `value`; bytes that are not UTF-8 become U+FFFD.
inline std::string jsonText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Writes a compact JSON text straight into one string, the same text that
// `jsonText` gives for the same members. The large, frequent messages (an
// EQ's bands and curve, the state) are written this way: building them as
// values first costs an allocation for every member.
class JsonWriter {
  public:
    JsonWriter& beginObject() { return open('{', '}'); }
    JsonWriter& beginArray() { return open('[', ']'); }
    // Ends the innermost object or array.
    JsonWriter& end();
    // Room for a text of about `bytes`.
    void reserve(std::size_t bytes) { out_.reserve(bytes); }
    // The name of the next member of an object: one of the program's own
    // plain ASCII names, written as it stands.
    JsonWriter& key(std::string_view name);

    JsonWriter& text(std::string_view value);
    JsonWriter& integer(std::int64_t value);
    // A single as the shortest text that reads back as the same single;
    // not-a-number and the infinities as null.
    JsonWriter& single(float value);
    JsonWriter& boolean(bool value);
    // A value written before (by `jsonText`, or a writer of its own).
    JsonWriter& raw(std::string_view json);

    std::string take() { return std::move(out_); }

  private:
    JsonWriter& open(char bracket, char closer);
    // Whether a comma goes before the next value: before every value of a
    // container but its first, never right after a key.
    bool comma();
    // Puts that comma.
    void item();

    std::string out_;
    std::vector<char> closers_;
    bool first_ = true;
    bool afterKey_ = false;
};

}  // namespace v36::phone
