#pragma once

// The decisions of the Windows HID backend that need no Windows call, so
// that they build and are tested on every system: what an error code means
// to the user, which device interfaces count, and how the device's report
// lengths meet the link's 61 bytes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/hid_backend.h"

namespace v36::winhid {

// The Windows error codes the backend tells apart (their winerror.h values).
enum WinError : unsigned long {
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorAccessDenied = 5,
    kErrorSharingViolation = 32,
    kErrorNoSuchDevice = 433,  // ERROR_NO_SUCH_DEVICE, newer than MinGW-w64 10's headers
    kErrorOperationAborted = 995,
    kErrorDeviceNotConnected = 1167,
};

// Why an interface could not be opened for reading and writing, in words
// for the user: a unit held by another program, one that was unplugged, or
// the bare error code.
HidOpenFailure openFailure(unsigned long error);

// Device interface flags (SPINT_*): an interface counts when it is active
// and not removed; other bits (the class default) do not matter.
enum InterfaceFlag : unsigned long {
    kInterfaceActive = 1,
    kInterfaceDefault = 2,
    kInterfaceRemoved = 4
};
bool interfaceUsable(unsigned long flags);

// Whether a device interface path ("\\?\hid#vid_2010&pid_1031#...") names
// the vendor and product; letters in any case.
bool pathNamesDevice(std::string_view path, std::uint16_t vendor, std::uint16_t product);

// What a handle without access rights tells of one interface; nullopt when
// it could not be opened or asked.
struct InterfaceIdentity {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string serial;  // UTF-8; empty when the device has none
};
using IdentifyInterface = std::function<std::optional<InterfaceIdentity>(const std::string& path)>;

// The interfaces among `paths` with the vendor and product (0, 0: every
// one), in the system's order. One that cannot be asked counts when its
// path names the unit: it is listed without a serial, and opening it then
// says why it failed (another program may hold it).
std::vector<HidInterface> selectInterfaces(const std::vector<std::string>& paths,
                                           const IdentifyInterface& identify, std::uint16_t vendor,
                                           std::uint16_t product);

// An input report as Windows delivers it (`got` bytes, the report id
// first, as long as the device's input report) copied into the link's
// buffer of `length` bytes: cut or padded with zeros. Returns the bytes
// copied.
int fitInputReport(const std::uint8_t* report, std::size_t got, std::uint8_t* out,
                   std::size_t length);

// The bytes WriteFile takes for a report: exactly the device's output
// report length (from its capabilities), the report cut or padded with
// zeros; the report as given when the length is unknown (0).
std::vector<std::uint8_t> fitOutputReport(const std::uint8_t* report, std::size_t length,
                                          std::size_t outputLength);

}  // namespace v36::winhid
