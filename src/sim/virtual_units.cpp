#include "sim/virtual_units.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>

#include "link/link.h"

namespace v36 {

namespace {

std::string padded(int number, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, number);
    return buf;
}

// Every unit's watcher, kept for as long as the events are wanted.
class UnitsHotplugWatcher : public HotplugWatcher {
  public:
    explicit UnitsHotplugWatcher(std::vector<std::unique_ptr<HotplugWatcher>> watchers)
        : watchers_(std::move(watchers)) {}

  private:
    std::vector<std::unique_ptr<HotplugWatcher>> watchers_;
};

}  // namespace

std::vector<VirtualUnitConfig> virtualUnitConfigs(int count, const VirtualUnitConfig& base) {
    std::vector<VirtualUnitConfig> configs;
    if (count <= 1) {
        configs.push_back(base);
        return configs;
    }
    const int width = static_cast<int>(std::to_string(count).size());
    for (int n = 1; n <= count; ++n) {
        VirtualUnitConfig config = base;
        config.path = base.path + "/" + padded(n, width);
        config.serial = "SIM" + padded(n, 4);
        configs.push_back(std::move(config));
    }
    return configs;
}

std::string parseSimUnits(std::string_view text, int& count) {
    const auto n = wholeNumber(text, 1, kMaxVirtualUnits);
    if (!n) return "the number of virtual units runs from 1 to " + std::to_string(kMaxVirtualUnits);
    count = *n;
    return {};
}

std::string applySimFault(std::vector<VirtualUnitConfig>& units, std::string_view fault) {
    // "N:FAULT" names one unit; a fault itself never starts with a digit.
    const std::size_t colon = fault.find(':');
    const bool numbered = colon != std::string_view::npos && colon > 0 &&
                          std::all_of(fault.begin(), fault.begin() + static_cast<long>(colon),
                                      [](char c) { return c >= '0' && c <= '9'; });
    if (!numbered) {
        for (VirtualUnitConfig& config : units) {
            const std::string why = applySimFault(config, fault);
            if (!why.empty()) return why;
        }
        return {};
    }
    const auto n = wholeNumber(fault.substr(0, colon), 1, static_cast<int>(units.size()));
    if (!n) {
        return "there is no virtual unit " + std::string(fault.substr(0, colon)) +
               (units.size() == 1 ? std::string(": there is one")
                                  : ": they are numbered 1 to " + std::to_string(units.size()));
    }
    return applySimFault(units[static_cast<std::size_t>(*n - 1)], fault.substr(colon + 1));
}

VirtualUnits::VirtualUnits(std::vector<VirtualUnitConfig> configs) {
    std::stable_sort(
        configs.begin(), configs.end(),
        [](const VirtualUnitConfig& a, const VirtualUnitConfig& b) { return a.path < b.path; });
    units_.reserve(configs.size());
    for (VirtualUnitConfig& config : configs)
        units_.push_back(std::make_unique<VirtualUnit>(std::move(config)));
}

VirtualUnit* VirtualUnits::find(std::string_view path) {
    for (const auto& unit : units_)
        if (samePathIgnoringAsciiCase(unit->path(), path)) return unit.get();
    return nullptr;
}

UnitList VirtualUnits::listUnits(DebugTrace& trace) {
    UnitList list;
    for (const auto& unit : units_) {
        UnitList one = unit->listUnits(trace);
        for (UnitListing& listing : one.units)
            list.units.push_back(std::move(listing));
    }
    return list;
}

DeviceOpenResult VirtualUnits::openDevice(DebugTrace& trace) {
    DeviceOpenResult result;
    result.error = OpenError::NotFound;
    result.message = "No virtual unit is plugged in.";
    for (const auto& unit : units_) {
        result = unit->openDevice(trace);
        if (result.device) return result;
    }
    return result;
}

DeviceOpenResult VirtualUnits::openDevice(DebugTrace& trace, std::string_view path) {
    if (VirtualUnit* unit = find(path)) return unit->openDevice(trace);
    DeviceOpenResult result;
    result.error = OpenError::NotFound;
    result.path = std::string(path);
    result.message = "No unit is attached at " + std::string(path) + ".";
    return result;
}

std::unique_ptr<HotplugWatcher> VirtualUnits::watchHotplug(HotplugHandler handler,
                                                           HotplugDelivery delivery,
                                                           std::string* error) {
    // Each unit reports on its own thread; the handler sees one event at a time.
    struct Shared {
        std::mutex mutex;
        HotplugHandler handler;
    };
    auto shared = std::make_shared<Shared>();
    shared->handler = std::move(handler);
    std::vector<std::unique_ptr<HotplugWatcher>> watchers;
    for (const auto& unit : units_) {
        auto watcher = unit->watchHotplug(
            [shared](const HotplugEvent& e) {
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->handler(e);
            },
            delivery, error);
        if (!watcher) return nullptr;
        watchers.push_back(std::move(watcher));
    }
    return std::make_unique<UnitsHotplugWatcher>(std::move(watchers));
}

}  // namespace v36
