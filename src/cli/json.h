#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace v36::cli {

// A JSON value as v36ctl prints it: members keep the order they were added
// in, and numbers that are singles on the unit are held as singles, so that
// they print as the shortest text that reads back as the same single.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                  std::int64_t, std::uint64_t, float>;

// The compact text of `value`. Bytes that are not UTF-8 (in a name the unit
// sent) are written as U+FFFD instead of making the output invalid.
std::string jsonText(const Json& value);

// Shortest text that reads back as the same float ("%.9g" trimmed).
std::string formatFloat(double v);

}  // namespace v36::cli
