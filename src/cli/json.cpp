#include "cli/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace v36::cli {

std::string jsonText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
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

}  // namespace v36::cli
