#include "link/win_hid_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace v36::winhid {

HidOpenFailure openFailure(unsigned long error) {
    HidOpenFailure failure;
    switch (error) {
        case kErrorSharingViolation:
            failure.reason =
                "it is in use by another program (sharing violation); close the other program "
                "that uses the unit and try again";
            break;
        case kErrorAccessDenied:
            failure.reason =
                "access denied; another program may hold the unit (close it and try again), or "
                "this user may not open it";
            break;
        case kErrorFileNotFound:
        case kErrorPathNotFound:
        case kErrorNoSuchDevice:
        case kErrorDeviceNotConnected:
            failure.reason = "it is no longer attached (Windows error " + std::to_string(error) +
                             "); plug it in again";
            break;
        default:
            failure.reason = "Windows error " + std::to_string(error);
            break;
    }
    return failure;
}

bool interfaceUsable(unsigned long flags) {
    return (flags & kInterfaceActive) != 0 && (flags & kInterfaceRemoved) == 0;
}

bool pathNamesDevice(std::string_view path, std::uint16_t vendor, std::uint16_t product) {
    char wanted[24];
    std::snprintf(wanted, sizeof wanted, "vid_%04x&pid_%04x", static_cast<unsigned>(vendor),
                  static_cast<unsigned>(product));
    std::string lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower.find(wanted) != std::string::npos;
}

std::vector<HidInterface> selectInterfaces(const std::vector<std::string>& paths,
                                           const IdentifyInterface& identify, std::uint16_t vendor,
                                           std::uint16_t product) {
    const bool all = vendor == 0 && product == 0;
    std::vector<HidInterface> list;
    for (const std::string& path : paths) {
        HidInterface hid;
        hid.path = path;
        if (auto identity = identify(path)) {
            hid.vendor = identity->vendor;
            hid.product = identity->product;
            hid.serial = std::move(identity->serial);
        } else if (!all && pathNamesDevice(path, vendor, product)) {
            hid.vendor = vendor;
            hid.product = product;
        } else {
            continue;
        }
        if (all || (hid.vendor == vendor && hid.product == product)) list.push_back(std::move(hid));
    }
    return list;
}

int fitInputReport(const std::uint8_t* report, std::size_t got, std::uint8_t* out,
                   std::size_t length) {
    const std::size_t n = std::min(got, length);
    std::memcpy(out, report, n);
    std::memset(out + n, 0, length - n);
    return static_cast<int>(n);
}

std::vector<std::uint8_t> fitOutputReport(const std::uint8_t* report, std::size_t length,
                                          std::size_t outputLength) {
    const std::size_t size = outputLength == 0 ? length : outputLength;
    std::vector<std::uint8_t> bytes(size, 0);
    std::memcpy(bytes.data(), report, std::min(length, size));
    return bytes;
}

}  // namespace v36::winhid
