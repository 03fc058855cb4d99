#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/backend.h"

namespace v36 {

// The few HID operations the link needs, so that discovery can be tested
// without hardware. makeHidapi() gives the real one (hidapi).
struct HidInterface {
    std::string path;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    int interfaceNumber = -1;
    std::string serial;  // UTF-8; empty when the device reports none
};

class HidHandle {
  public:
    virtual ~HidHandle() = default;  // closes the handle
    // Bytes read (report id first), 0 when nothing came within the time, -1 on failure.
    virtual int read(std::uint8_t* data, std::size_t length, int timeoutMs) = 0;
    // Bytes written, -1 on failure.
    virtual int write(const std::uint8_t* data, std::size_t length) = 0;
    // Makes a read that is waiting return soon (closing); later reads
    // return 0 at once.
    virtual void interrupt() {}
};

struct HidOpenFailure {
    bool permissionDenied = false;
    std::string reason;
};

class HidApi {
  public:
    virtual ~HidApi() = default;
    // The HID interfaces with the given ids (0, 0: all); nullopt when the
    // system's list cannot be read.
    virtual std::optional<std::vector<HidInterface>> enumerate(std::uint16_t vendor,
                                                               std::uint16_t product) = 0;
    // Opens one interface for reading and writing; null with `failure`
    // filled when that is impossible.
    virtual std::unique_ptr<HidHandle> open(const std::string& path, HidOpenFailure& failure) = 0;
    // Whether `path` could be opened, found without opening it (the
    // permissions of the node); true where the platform cannot tell.
    virtual bool mayOpen(const std::string& path) = 0;
};

std::unique_ptr<HidApi> makeHidapi();
// The system's HID access: Win32 HID and SetupAPI on Windows, hidapi
// elsewhere.
std::unique_ptr<HidApi> makeSystemHid();

// The unit among the system's HID devices.
class HidBackend : public LinkBackend {
  public:
    static constexpr std::uint16_t kVendorId = 0x2010;
    static constexpr std::uint16_t kProductId = 0x1031;
    // At most this many interfaces are examined.
    static constexpr int kMaxInterfaces = 32;

    explicit HidBackend(std::unique_ptr<HidApi> api = makeSystemHid());

    UnitList listUnits(DebugTrace& trace) override;
    DeviceOpenResult openDevice(DebugTrace& trace) override;
    DeviceOpenResult openDevice(DebugTrace& trace, std::string_view path) override;
    std::unique_ptr<HotplugWatcher> watchHotplug(HotplugHandler handler, HotplugDelivery delivery,
                                                 std::string* error = nullptr) override;

    // The paths of the units present now.
    std::vector<std::string> presentUnits();

  private:
    // The unit's interfaces, sorted by path, each once; nullopt when the
    // system's list cannot be read. Called with apiMutex_ held.
    std::optional<std::vector<HidInterface>> unitInterfaces();
    DeviceOpenResult openInterface(DebugTrace& trace, const HidInterface& hid);

    std::mutex apiMutex_;  // the HID library's discovery is not thread-safe
    std::unique_ptr<HidApi> api_;
};

// The texts of a failed open.
std::string notFoundMessage();
std::string permissionDeniedMessage(const std::string& node);

}  // namespace v36
