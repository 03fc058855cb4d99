#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/backend.h"

namespace v36 {

// The event-driven watcher of Linux: a udev monitor on the hidraw
// subsystem. Arrivals are reported for nodes of the given vendor and
// product; removals for every hidraw node (the link compares the path).
// Null (with `error` filled) where udev is not available.
std::unique_ptr<HotplugWatcher> makeUdevHotplugWatcher(HotplugHandler handler,
                                                       HotplugDelivery delivery,
                                                       std::uint16_t vendor, std::uint16_t product,
                                                       std::string* error);

// Whether a udev HID_ID property ("0003:00002010:00001031") names the
// vendor and product.
bool hidIdMatches(const char* hidId, std::uint16_t vendor, std::uint16_t product);

}  // namespace v36
