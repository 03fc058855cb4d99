#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
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

}  // namespace v36::phone
