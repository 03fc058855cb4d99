#pragma once

// Helpers of the tool dialog tests: slider gestures, what the unit received.
#include <QApplication>
#include <QCoreApplication>
#include <optional>
#include <vector>

#include "controls/bmp_slider.h"
#include "protocol/bytes.h"
#include "shell_fixture.h"

namespace v36::test {

// One step of a gesture on a slider: the thumb moves to `position` and the
// slider reports it, as a drag does.
inline void moveSlider(CXBmpSlider* slider, int position) {
    slider->setPosition(position);
    emit slider->sliderChanged(slider->controlId(), slider->position());
}

// The reports with `code` that the unit received since the traffic was cleared.
inline std::vector<Report> receivedWith(VirtualUnit& unit, std::uint8_t code) {
    std::vector<Report> out;
    for (const Report& r : unit.received()) {
        if (r[1] == code) out.push_back(r);
    }
    return out;
}

// The first word of parameter block.index as the unit received it last
// (command 9), if it did.
inline std::optional<std::uint32_t> lastParamWord(VirtualUnit& unit, int block, int index) {
    std::optional<std::uint32_t> word;
    for (const Report& r : receivedWith(unit, 9)) {
        if (r[3] == block && r[4] == index) word = getBE32(r.data() + 6);
    }
    return word;
}

}  // namespace v36::test
