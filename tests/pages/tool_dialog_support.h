#pragma once

// Helpers of the tool dialog tests: slider gestures and the last value the
// unit received at an address.
#include <optional>

#include "controls/bmp_slider.h"
#include "page_wire.h"
#include "shell_fixture.h"

namespace v36::test {

// One step of a gesture on a slider: the thumb moves to `position` and the
// slider reports it, as a drag does.
inline void moveSlider(CXBmpSlider* slider, int position) {
    slider->setPosition(position);
    emit slider->sliderChanged(slider->controlId(), slider->position());
}

// The first word the unit last received for parameter block.index, if any.
inline std::optional<std::uint32_t> lastParamWord(VirtualUnit& unit, int block, int index) {
    const auto reports = paramReports(unit, block, index);
    if (reports.empty()) return std::nullopt;
    return firstWord(reports.back());
}

}  // namespace v36::test
