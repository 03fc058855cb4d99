#include "link/unit_selector.h"

#include <algorithm>
#include <charconv>

#include "link/link.h"

namespace v36 {

UnitSelection selectUnit(const std::vector<UnitListing>& units, std::string_view selector) {
    UnitSelection selection;
    if (selector.empty()) {
        selection.message = "an empty selector names no unit";
        return selection;
    }
    std::vector<std::size_t> matches;
    auto match = [&](std::size_t position) {
        if (std::find(matches.begin(), matches.end(), position) == matches.end())
            matches.push_back(position);
    };
    const bool digits =
        std::all_of(selector.begin(), selector.end(), [](char c) { return c >= '0' && c <= '9'; });
    std::size_t index = 0;
    const char* end = selector.data() + selector.size();
    if (digits && std::from_chars(selector.data(), end, index).ptr == end && index >= 1 &&
        index <= units.size()) {
        match(index - 1);
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        const UnitListing& u = units[i];
        if (!u.serial.empty() && samePathIgnoringAsciiCase(u.serial, selector)) match(i);
        if (samePathIgnoringAsciiCase(u.path, selector)) match(i);
    }
    const std::string quoted = "\"" + std::string(selector) + "\"";
    if (matches.empty()) {
        selection.message = "no unit has the index, serial number or path " + quoted;
        return selection;
    }
    if (matches.size() > 1) {
        std::sort(matches.begin(), matches.end());
        std::string which;
        for (std::size_t m : matches)
            which += (which.empty() ? "" : ", ") + std::to_string(m + 1);
        selection.outcome = UnitSelection::Outcome::Ambiguous;
        selection.message =
            quoted + " fits the units " + which + ": choose one by its index or path";
        return selection;
    }
    selection.outcome = UnitSelection::Outcome::Chosen;
    selection.position = matches.front();
    return selection;
}

}  // namespace v36
