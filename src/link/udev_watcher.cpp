#include "link/udev_watcher.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <utility>

#if defined(V36_HAVE_UDEV)
#include <libudev.h>
#include <poll.h>

#include <atomic>
#endif

namespace v36 {

bool hidIdMatches(const char* hidId, std::uint16_t vendor, std::uint16_t product) {
    if (hidId == nullptr) return false;
    // bus:vendor:product, each in hexadecimal.
    const char* first = std::strchr(hidId, ':');
    if (first == nullptr) return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(first + 1, &end, 16);
    if (end == nullptr || *end != ':') return false;
    const unsigned long p = std::strtoul(end + 1, &end, 16);
    if (end == nullptr || *end != '\0') return false;
    return v == vendor && p == product;
}

#if defined(V36_HAVE_UDEV)

namespace {

class UdevHotplugWatcher : public HotplugWatcher {
  public:
    UdevHotplugWatcher(HotplugHandler handler, std::uint16_t vendor, std::uint16_t product)
        : handler_(std::move(handler)), vendor_(vendor), product_(product) {}

    ~UdevHotplugWatcher() override {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
        if (monitor_ != nullptr) udev_monitor_unref(monitor_);
        if (udev_ != nullptr) udev_unref(udev_);
    }

    bool start(HotplugDelivery delivery, std::string* error) {
        udev_ = udev_new();
        if (udev_ == nullptr) return fail(error, "udev is not available");
        // Events from udev itself come after its rules ran, so the node's
        // permissions are final when an arrival is reported.
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (monitor_ == nullptr) return fail(error, "the udev monitor could not be created");
        if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor_) < 0) {
            return fail(error, "the udev monitor could not be started");
        }
        fd_ = udev_monitor_get_fd(monitor_);
        if (delivery == HotplugDelivery::OwnThread) {
            thread_ = std::thread(&UdevHotplugWatcher::run, this);
        }
        return true;
    }

    int fd() const override { return thread_.joinable() ? -1 : fd_; }

    void processEvents() override {
        while (udev_device* device = udev_monitor_receive_device(monitor_)) {
            deliver(device);
            udev_device_unref(device);
        }
    }

  private:
    static bool fail(std::string* error, const char* text) {
        if (error != nullptr) *error = text;
        return false;
    }

    void deliver(udev_device* device) {
        const char* action = udev_device_get_action(device);
        const char* node = udev_device_get_devnode(device);
        if (action == nullptr || node == nullptr) return;
        const std::string_view what(action);
        if (what == "remove") {
            handler_({HotplugEvent::Kind::Removal, node});
        } else if (what == "add") {
            udev_device* hid =
                udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
            const char* hidId =
                hid != nullptr ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
            // Without the parent's identity the arrival is passed on: opening
            // then finds out whether it is the unit.
            if (hidId == nullptr || hidIdMatches(hidId, vendor_, product_)) {
                handler_({HotplugEvent::Kind::Arrival, node});
            }
        }
    }

    void run() {
        while (!stop_.load()) {
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, 200);
            if (ready > 0 && (p.revents & POLLIN) != 0) processEvents();
        }
    }

    HotplugHandler handler_;
    std::uint16_t vendor_;
    std::uint16_t product_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<HotplugWatcher> makeUdevHotplugWatcher(HotplugHandler handler,
                                                       HotplugDelivery delivery,
                                                       std::uint16_t vendor, std::uint16_t product,
                                                       std::string* error) {
    auto watcher = std::make_unique<UdevHotplugWatcher>(std::move(handler), vendor, product);
    if (!watcher->start(delivery, error)) return nullptr;
    return watcher;
}

#else

std::unique_ptr<HotplugWatcher> makeUdevHotplugWatcher(HotplugHandler, HotplugDelivery,
                                                       std::uint16_t, std::uint16_t,
                                                       std::string* error) {
    if (error != nullptr) *error = "udev is not available on this platform";
    return nullptr;
}

#endif

}  // namespace v36
