#include "link/hid_backend.h"

#include <algorithm>
#include <utility>

#include "link/hotplug.h"
#include "link/link.h"
#include "link/udev_watcher.h"

namespace v36 {

namespace {

// An open HID interface of the unit.
class HidDevice : public LinkDevice {
  public:
    HidDevice(std::unique_ptr<HidHandle> handle, std::string path)
        : handle_(std::move(handle)), path_(std::move(path)) {}

    int writeReport(const std::uint8_t* report, std::size_t length) override {
        const int n = handle_->write(report, length);
        return n < 0 ? 0 : n;
    }

    ReadStatus read(Report& out, std::chrono::milliseconds timeout) override {
        out.fill(0);
        const int n = handle_->read(out.data(), out.size(), static_cast<int>(timeout.count()));
        if (n < 0) return ReadStatus::Failed;
        if (n == 0) return ReadStatus::Timeout;
        return ReadStatus::Data;
    }

    void interrupt() override { handle_->interrupt(); }

    std::string path() const override { return path_; }

  private:
    std::unique_ptr<HidHandle> handle_;
    std::string path_;
};

}  // namespace

std::string notFoundMessage() {
    return "No unit found (USB HID 2010:1031). Check the cable and that the unit is switched on.";
}

std::string permissionDeniedMessage(const std::string& node) {
    return "The unit was found at " + node +
           " but it cannot be opened: permission denied. Install the udev rule (copy "
           "resources/linux/70-dsp-v36.rules to /etc/udev/rules.d/), run "
           "\"sudo udevadm control --reload-rules && sudo udevadm trigger\", then unplug the "
           "unit and plug it in again.";
}

HidBackend::HidBackend(std::unique_ptr<HidApi> api) : api_(std::move(api)) {}

std::optional<std::vector<HidInterface>> HidBackend::unitInterfaces() {
    auto interfaces = api_->enumerate(kVendorId, kProductId);
    if (!interfaces) return std::nullopt;
    std::vector<HidInterface> units;
    int examined = 0;
    for (HidInterface& hid : *interfaces) {
        if (examined == kMaxInterfaces) break;
        ++examined;
        if (hid.vendor != kVendorId || hid.product != kProductId) continue;
        // A unit with several interfaces is one unit: its first path counts.
        if (std::any_of(units.begin(), units.end(),
                        [&](const HidInterface& u) { return u.path == hid.path; }))
            continue;
        units.push_back(std::move(hid));
    }
    std::sort(units.begin(), units.end(),
              [](const HidInterface& a, const HidInterface& b) { return a.path < b.path; });
    return units;
}

UnitList HidBackend::listUnits(DebugTrace& trace) {
    std::lock_guard<std::mutex> lock(apiMutex_);
    UnitList list;
    const auto units = unitInterfaces();
    if (!units) {
        trace.write("获取Hid设备信息失败");
        list.error = OpenError::EnumerationFailed;
        list.message = "The list of HID devices could not be read.";
        return list;
    }
    for (const HidInterface& hid : *units) {
        UnitListing unit{hid.path, hid.serial, OpenError::None, {}};
        if (!api_->mayOpen(hid.path)) {
            unit.problem = OpenError::PermissionDenied;
            unit.message = permissionDeniedMessage(hid.path);
        }
        list.units.push_back(std::move(unit));
    }
    return list;
}

DeviceOpenResult HidBackend::openInterface(DebugTrace& trace, const HidInterface& hid) {
    trace.write("设备路径:\r\n" + hid.path);
    trace.write("尝试打开通信端口....");
    DeviceOpenResult result;
    result.path = hid.path;
    HidOpenFailure failure;
    std::unique_ptr<HidHandle> handle = api_->open(hid.path, failure);
    if (!handle) {
        trace.write("无法打开通信端口。不能读取设备信息!(设备连接可能不正确?)\n");
        if (failure.permissionDenied) {
            result.error = OpenError::PermissionDenied;
            result.message = permissionDeniedMessage(hid.path);
        } else {
            result.error = OpenError::OpenFailed;
            result.message = "The unit was found at " + hid.path + " but it cannot be opened" +
                             (failure.reason.empty() ? "." : ": " + failure.reason + ".");
        }
        return result;
    }
    trace.write("打开通信端口成功!\n");
    trace.write("正在读取设备的标识...\n");
    result.device = std::make_shared<HidDevice>(std::move(handle), hid.path);
    trace.write("连接目标设备成功!");
    return result;
}

DeviceOpenResult HidBackend::openDevice(DebugTrace& trace) {
    std::lock_guard<std::mutex> lock(apiMutex_);
    DeviceOpenResult result;
    const auto units = unitInterfaces();
    if (!units) {
        trace.write("获取Hid设备信息失败");
        result.error = OpenError::EnumerationFailed;
        result.message = "The list of HID devices could not be read.";
        return result;
    }
    trace.write("开始枚举usb设备");
    // The first failure on a unit's node explains a failed open better than
    // "not found"; a permission problem explains it best.
    std::optional<DeviceOpenResult> firstFailure;
    for (const HidInterface& hid : *units) {
        trace.write("枚举usb设备成功");
        DeviceOpenResult opened = openInterface(trace, hid);
        if (opened.device) return opened;
        if (!firstFailure || (opened.error == OpenError::PermissionDenied &&
                              firstFailure->error != OpenError::PermissionDenied)) {
            firstFailure = std::move(opened);
        }
    }
    trace.write("连接目标设备失败，没有找到目标设备");
    if (firstFailure) return std::move(*firstFailure);
    result.error = OpenError::NotFound;
    result.message = notFoundMessage();
    return result;
}

DeviceOpenResult HidBackend::openDevice(DebugTrace& trace, std::string_view path) {
    std::lock_guard<std::mutex> lock(apiMutex_);
    DeviceOpenResult result;
    const auto units = unitInterfaces();
    if (!units) {
        result.error = OpenError::EnumerationFailed;
        result.message = "The list of HID devices could not be read.";
        return result;
    }
    for (const HidInterface& hid : *units) {
        if (samePathIgnoringAsciiCase(hid.path, path)) return openInterface(trace, hid);
    }
    result.error = OpenError::NotFound;
    result.path = std::string(path);
    result.message = "No unit is attached at " + std::string(path) + ".";
    return result;
}

std::vector<std::string> HidBackend::presentUnits() {
    std::lock_guard<std::mutex> lock(apiMutex_);
    std::vector<std::string> paths;
    if (const auto units = unitInterfaces()) {
        for (const auto& hid : *units)
            paths.push_back(hid.path);
    }
    return paths;
}

std::unique_ptr<HotplugWatcher> HidBackend::watchHotplug(HotplugHandler handler,
                                                         HotplugDelivery delivery,
                                                         std::string* error) {
    std::string udevError;
    if (auto watcher =
            makeUdevHotplugWatcher(handler, delivery, kVendorId, kProductId, &udevError)) {
        return watcher;
    }
    if (error != nullptr) *error = udevError;
    // Portable fallback: compare the list of units once a second.
    return std::make_unique<PollingHotplugWatcher>([this] { return presentUnits(); },
                                                   std::move(handler));
}

}  // namespace v36
