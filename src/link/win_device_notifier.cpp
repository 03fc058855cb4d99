#include "link/win_device_notifier.h"

#include <windows.h>
// clang-format off
#include <dbt.h>
// MinGW-w64's HID header declares C functions without saying so.
extern "C" {
#include <hidsdi.h>
}
// clang-format on

#include <cstddef>
#include <utility>

#include "link/win_hid_rules.h"
#include "link/win_text.h"

namespace v36 {

namespace {

GUID hidClass() {
    GUID guid;
    HidD_GetHidGuid(&guid);
    return guid;
}

}  // namespace

std::optional<HotplugEvent> hidDeviceChange(unsigned message, std::uintptr_t wParam,
                                            std::intptr_t lParam, std::uint16_t vendor,
                                            std::uint16_t product) {
    if (message != WM_DEVICECHANGE) return std::nullopt;
    if (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE) return std::nullopt;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return std::nullopt;
    const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    if (!IsEqualGUID(device->dbcc_classguid, hidClass())) return std::nullopt;
    // The name runs to the end of the record, or to its terminating zero.
    const std::size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    const std::size_t room =
        header->dbch_size > nameOffset ? (header->dbch_size - nameOffset) / sizeof(wchar_t) : 0;
    std::size_t length = 0;
    while (length < room && device->dbcc_name[length] != L'\0')
        ++length;
    const std::string path = utf8FromWide(device->dbcc_name, static_cast<int>(length));
    if (path.empty()) return std::nullopt;
    if (wParam == DBT_DEVICEREMOVECOMPLETE) return HotplugEvent{HotplugEvent::Kind::Removal, path};
    if (!winhid::pathNamesDevice(path, vendor, product)) return std::nullopt;
    return HotplugEvent{HotplugEvent::Kind::Arrival, path};
}

std::unique_ptr<WinDeviceNotifier> WinDeviceNotifier::create(void* window, HotplugHandler handler,
                                                             std::uint16_t vendor,
                                                             std::uint16_t product,
                                                             std::string* error) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = hidClass();
    HDEVNOTIFY registration = RegisterDeviceNotificationW(static_cast<HWND>(window), &filter,
                                                          DEVICE_NOTIFY_WINDOW_HANDLE);
    if (registration == nullptr) {
        if (error != nullptr) {
            *error = "Can't register device notification: Windows error " +
                     std::to_string(GetLastError()) +
                     "; the arrival and removal of the unit may go unnoticed";
        }
        return nullptr;
    }
    return std::unique_ptr<WinDeviceNotifier>(
        new WinDeviceNotifier(registration, std::move(handler), vendor, product));
}

WinDeviceNotifier::WinDeviceNotifier(void* registration, HotplugHandler handler,
                                     std::uint16_t vendor, std::uint16_t product)
    : registration_(registration),
      handler_(std::move(handler)),
      vendor_(vendor),
      product_(product) {}

WinDeviceNotifier::~WinDeviceNotifier() {
    UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(registration_));
}

bool WinDeviceNotifier::handleMessage(unsigned message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    const auto event = hidDeviceChange(message, wParam, lParam, vendor_, product_);
    if (!event) return false;
    if (handler_) handler_(*event);
    return true;
}

}  // namespace v36
