#pragma once

// Arrival and removal as a window of the Qt program hears them on Windows
// (Windows only): the window is registered for device notifications of the
// HID interface class, and the messages it receives are handed in through
// handleMessage (a QAbstractNativeEventFilter gets them as MSG).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/backend.h"

namespace v36 {

// The HotplugEvent a WM_DEVICECHANGE message carries, if any: an arrival of
// a HID interface named as the unit (vendor and product in its path), or
// the removal of any HID interface (the link compares the path).
std::optional<HotplugEvent> hidDeviceChange(unsigned message, std::uintptr_t wParam,
                                            std::intptr_t lParam, std::uint16_t vendor,
                                            std::uint16_t product);

class WinDeviceNotifier : public HotplugWatcher {
  public:
    // Registers `window` (an HWND) for HID interface arrivals and removals;
    // null with `error` filled when the system refuses.
    static std::unique_ptr<WinDeviceNotifier> create(void* window, HotplugHandler handler,
                                                     std::uint16_t vendor, std::uint16_t product,
                                                     std::string* error = nullptr);
    ~WinDeviceNotifier() override;
    WinDeviceNotifier(const WinDeviceNotifier&) = delete;
    WinDeviceNotifier& operator=(const WinDeviceNotifier&) = delete;

    // One message of the window (MSG's message, wParam and lParam); the
    // handler runs, on the calling thread, when it is an arrival or removal.
    // True when it was one.
    bool handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  private:
    WinDeviceNotifier(void* registration, HotplugHandler handler, std::uint16_t vendor,
                      std::uint16_t product);

    void* registration_;  // HDEVNOTIFY
    HotplugHandler handler_;
    std::uint16_t vendor_;
    std::uint16_t product_;
};

}  // namespace v36
