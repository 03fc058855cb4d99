#pragma once

// What the pages' tests expect on the wire, built from the unit's report
// layout: the two reports of one filter section, and the values of the
// set-parameter reports the virtual unit received.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "dsp/filter_design.h"
#include "protocol/bytes.h"
#include "protocol/report.h"
#include "protocol/senders.h"
#include "sim/virtual_unit.h"

namespace v36::test {

// One section as the unit takes it: its 7-byte record into the register
// space (command 133), then its coefficients (command 9 to bank.section).
inline std::vector<Report> sectionReports(int bank, int section, int type, float gain, int freq,
                                          float q) {
    Report record = makeReport(cmd::kWriteRegisters);
    putBE16(record.data() + 2, static_cast<std::uint16_t>(recordOffset(bank, section)));
    record[4] = BandRecord::kSize;
    const auto bytes = BandRecord{gain, freq, q, type}.encode();
    std::copy(bytes.begin(), bytes.end(), record.begin() + 5);
    const Report coefficients = Senders::buildParam(
        bank, section, coefficientWords(DesignSection(type, freq, q, gain, kSampleRate)));
    return {record, coefficients};
}

inline std::vector<Report> receivedWith(VirtualUnit& unit, std::uint8_t code) {
    std::vector<Report> out;
    for (const Report& r : unit.received()) {
        if (r[1] == code) out.push_back(r);
    }
    return out;
}

// The filter-section reports (register writes and coefficients) the unit
// received, without the level poll and other traffic.
inline std::vector<Report> sectionTraffic(VirtualUnit& unit) {
    std::vector<Report> out;
    for (const Report& r : unit.received()) {
        const bool coefficients = r[1] == cmd::kSetParam && r[5] == 5;
        if (r[1] == cmd::kWriteRegisters || coefficients) out.push_back(r);
    }
    return out;
}

// Set-parameter reports to block.index, in order.
inline std::vector<Report> paramReports(VirtualUnit& unit, int block, int index) {
    std::vector<Report> out;
    for (const Report& r : receivedWith(unit, cmd::kSetParam)) {
        if (r[3] == block && r[4] == index) out.push_back(r);
    }
    return out;
}

// The first word of a set-parameter report, as a single or as an integer.
inline float firstFloat(const Report& r) {
    return bitsFloat(getBE32(r.data() + 6));
}
inline std::uint32_t firstWord(const Report& r) {
    return getBE32(r.data() + 6);
}

// The block.index of each set-parameter report, in order.
inline std::vector<std::pair<int, int>> paramAddresses(VirtualUnit& unit) {
    std::vector<std::pair<int, int>> out;
    for (const Report& r : receivedWith(unit, cmd::kSetParam))
        out.emplace_back(r[3], r[4]);
    return out;
}

}  // namespace v36::test
