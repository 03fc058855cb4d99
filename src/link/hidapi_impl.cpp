// The HID operations over the hidapi library.
#include <hidapi.h>

#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <string>

#include "link/hid_backend.h"

#if defined(__linux__)
#include <unistd.h>
#endif

namespace v36 {

namespace {

std::string narrow(const wchar_t* text) {
    std::string out;
    if (text == nullptr) return out;
    for (; *text != L'\0'; ++text) {
        const auto c = static_cast<unsigned long>(*text);
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

// A serial number as UTF-8 (wchar_t holds UTF-32 here, UTF-16 on Windows).
std::string utf8(const wchar_t* text) {
    std::string out;
    if (text == nullptr) return out;
    for (; *text != L'\0'; ++text) {
        auto c = static_cast<std::uint32_t>(*text);
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c < 0xDC00 && text[1] != L'\0') {
                const auto low = static_cast<std::uint32_t>(text[1]);
                if (low >= 0xDC00 && low < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++text;
                }
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

class HidapiHandle : public HidHandle {
  public:
    explicit HidapiHandle(hid_device* device) : device_(device) {}
    ~HidapiHandle() override { hid_close(device_); }
    HidapiHandle(const HidapiHandle&) = delete;
    HidapiHandle& operator=(const HidapiHandle&) = delete;

    int read(std::uint8_t* data, std::size_t length, int timeoutMs) override {
        return hid_read_timeout(device_, data, length, timeoutMs);
    }
    int write(const std::uint8_t* data, std::size_t length) override {
        return hid_write(device_, data, length);
    }

  private:
    hid_device* device_;
};

class Hidapi : public HidApi {
  public:
    std::optional<std::vector<HidInterface>> enumerate(std::uint16_t vendor,
                                                       std::uint16_t product) override {
        if (hid_init() != 0) return std::nullopt;
        std::vector<HidInterface> list;
        hid_device_info* all = hid_enumerate(vendor, product);
        for (hid_device_info* d = all; d != nullptr; d = d->next) {
            list.push_back({d->path != nullptr ? d->path : "", d->vendor_id, d->product_id,
                            d->interface_number, utf8(d->serial_number)});
        }
        hid_free_enumeration(all);
        return list;
    }

    std::unique_ptr<HidHandle> open(const std::string& path, HidOpenFailure& failure) override {
        hid_device* device = hid_open_path(path.c_str());
        if (device != nullptr) return std::make_unique<HidapiHandle>(device);
        failure.reason = narrow(hid_error(nullptr));
#if defined(__linux__)
        // hidraw nodes belong to root unless a udev rule grants access.
        errno = 0;
        if (::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
            failure.permissionDenied = true;
            failure.reason = "permission denied";
        }
#endif
        if (failure.reason.empty()) failure.reason = "the device refused to open";
        return nullptr;
    }

    bool mayOpen(const std::string& path) override {
#if defined(__linux__)
        errno = 0;
        return !(::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES);
#else
        (void)path;
        return true;
#endif
    }
};

}  // namespace

std::unique_ptr<HidApi> makeHidapi() {
    return std::make_unique<Hidapi>();
}

std::unique_ptr<HidApi> makeSystemHid() {
    return makeHidapi();
}

}  // namespace v36
