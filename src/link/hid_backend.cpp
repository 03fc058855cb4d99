#include "link/hid_backend.h"

#include <utility>

#include "link/hotplug.h"
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

DeviceOpenResult HidBackend::openDevice(DebugTrace& trace) {
    std::lock_guard<std::mutex> lock(apiMutex_);
    DeviceOpenResult result;
    const auto interfaces = api_->enumerate(kVendorId, kProductId);
    if (!interfaces) {
        trace.write("获取Hid设备信息失败");
        result.error = OpenError::EnumerationFailed;
        result.message = "The list of HID devices could not be read.";
        return result;
    }

    trace.write("开始枚举usb设备");
    // The first failure on a unit's node explains a failed open better than
    // "not found".
    std::optional<DeviceOpenResult> firstFailure;
    int examined = 0;
    for (const HidInterface& hid : *interfaces) {
        if (examined == kMaxInterfaces) break;
        ++examined;
        trace.write("枚举usb设备成功");
        if (hid.vendor != kVendorId || hid.product != kProductId) continue;

        trace.write("设备路径:\r\n" + hid.path);
        trace.write("尝试打开通信端口....");
        HidOpenFailure failure;
        std::unique_ptr<HidHandle> handle = api_->open(hid.path, failure);
        if (!handle) {
            trace.write("无法打开通信端口。不能读取设备信息!(设备连接可能不正确?)\n");
            if (!firstFailure ||
                (failure.permissionDenied && firstFailure->error != OpenError::PermissionDenied)) {
                DeviceOpenResult failed;
                failed.path = hid.path;
                if (failure.permissionDenied) {
                    failed.error = OpenError::PermissionDenied;
                    failed.message = permissionDeniedMessage(hid.path);
                } else {
                    failed.error = OpenError::OpenFailed;
                    failed.message = "The unit was found at " + hid.path +
                                     " but it cannot be opened" +
                                     (failure.reason.empty() ? "." : ": " + failure.reason + ".");
                }
                firstFailure = std::move(failed);
            }
            continue;
        }
        trace.write("打开通信端口成功!\n");
        trace.write("正在读取设备的标识...\n");
        result.device = std::make_shared<HidDevice>(std::move(handle), hid.path);
        result.path = hid.path;
        trace.write("连接目标设备成功!");
        return result;
    }
    if (examined < kMaxInterfaces) trace.write("枚举usb设备出错,usb设备接口可能枚举完成了");
    trace.write("连接目标设备失败，没有找到目标设备");
    if (firstFailure) return std::move(*firstFailure);
    result.error = OpenError::NotFound;
    result.message = notFoundMessage();
    return result;
}

std::vector<std::string> HidBackend::presentUnits() {
    std::lock_guard<std::mutex> lock(apiMutex_);
    std::vector<std::string> paths;
    if (auto interfaces = api_->enumerate(kVendorId, kProductId)) {
        for (const auto& hid : *interfaces) {
            if (hid.vendor == kVendorId && hid.product == kProductId) paths.push_back(hid.path);
        }
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
