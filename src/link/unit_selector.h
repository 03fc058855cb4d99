#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "link/backend.h"

namespace v36 {

// What a selector picked among the attached units.
struct UnitSelection {
    enum class Outcome { Chosen, Unknown, Ambiguous };
    Outcome outcome = Outcome::Unknown;
    std::size_t position = 0;  // in the list, when Chosen
    std::string message;       // for the user, when nothing was chosen

    bool ok() const { return outcome == Outcome::Chosen; }
};

// Picks one of `units` (as listed: sorted by path) by a selector: its index
// in the list counted from 1, its serial number or its node path (both with
// ASCII case ignored). A selector that fits several units (two units with
// the same serial, or a number that is one unit's index and another's
// serial) is ambiguous; an empty one names no unit, whatever serials are
// empty.
UnitSelection selectUnit(const std::vector<UnitListing>& units, std::string_view selector);

}  // namespace v36
