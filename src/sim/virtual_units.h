#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/backend.h"
#include "sim/virtual_unit.h"

namespace v36 {

// The most virtual units one program starts.
constexpr int kMaxVirtualUnits = 64;

// The configurations of `count` virtual units made from `base`. One unit
// keeps the base's path and serial; several are numbered from 1: serials
// SIM0001, SIM0002, ... and paths "<base path>/1", "/2", ..., the numbers
// zero-padded to the same width so that the paths sort in number order.
std::vector<VirtualUnitConfig> virtualUnitConfigs(int count, const VirtualUnitConfig& base);
// Reads the number of virtual units (1..kMaxVirtualUnits); returns an
// empty string or what is wrong with `text`.
std::string parseSimUnits(std::string_view text, int& count);
// Applies one fault named as on the command line to every unit, or, as
// "N:FAULT", to unit N (counted from 1) only. Returns an empty string or
// what is wrong with `fault`.
std::string applySimFault(std::vector<VirtualUnitConfig>& units, std::string_view fault);

// Several virtual units attached to one computer, as one backend: each has
// its own state, faults and serial, and several contexts may open them at
// once (each its own unit). The units are kept in path order. Thread-safe.
class VirtualUnits : public LinkBackend {
  public:
    // One unit for each configuration; their paths must differ.
    explicit VirtualUnits(std::vector<VirtualUnitConfig> configs);
    VirtualUnits(const VirtualUnits&) = delete;
    VirtualUnits& operator=(const VirtualUnits&) = delete;

    std::size_t size() const { return units_.size(); }
    // The unit at position `i` in path order.
    VirtualUnit& unit(std::size_t i) { return *units_.at(i); }
    const VirtualUnit& unit(std::size_t i) const { return *units_.at(i); }
    // The unit at `path` (ASCII case ignored, as the link compares paths), or null.
    VirtualUnit* find(std::string_view path);

    // --- LinkBackend --------------------------------------------------------
    // The units plugged in now, sorted by path.
    UnitList listUnits(DebugTrace& trace) override;
    // The first unit (in path order) that opens.
    DeviceOpenResult openDevice(DebugTrace& trace) override;
    DeviceOpenResult openDevice(DebugTrace& trace, std::string_view path) override;
    // Every unit's arrivals and removals, handed to `handler` one at a time
    // on the units' own threads.
    std::unique_ptr<HotplugWatcher> watchHotplug(HotplugHandler handler, HotplugDelivery delivery,
                                                 std::string* error = nullptr) override;

  private:
    std::vector<std::unique_ptr<VirtualUnit>> units_;
};

}  // namespace v36
