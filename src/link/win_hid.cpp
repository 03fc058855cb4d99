#include "link/win_hid.h"

// windows.h first: the HID and SetupAPI headers need its types.
#include <windows.h>
// clang-format off
#include <setupapi.h>
// MinGW-w64's HID headers declare C functions without saying so.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on

#include <vector>

#include "link/win_hid_rules.h"
#include "link/win_text.h"

namespace v36 {

namespace {

static_assert(winhid::kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(winhid::kErrorPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(winhid::kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(winhid::kErrorSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(winhid::kErrorOperationAborted == ERROR_OPERATION_ABORTED);
static_assert(winhid::kErrorDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED);
static_assert(winhid::kInterfaceActive == SPINT_ACTIVE);
static_assert(winhid::kInterfaceDefault == SPINT_DEFAULT);
static_assert(winhid::kInterfaceRemoved == SPINT_REMOVED);

// How long a write may take before it counts as failed: a unit that takes
// no more reports must not hang the writer for ever.
constexpr DWORD kWriteTimeoutMs = 1000;

// A handle closed when it goes.
class OwnedHandle {
  public:
    explicit OwnedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~OwnedHandle() {
        if (valid()) CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

  private:
    HANDLE handle_;
};

class WinHidHandle : public HidHandle {
  public:
    WinHidHandle(HANDLE file, std::size_t inputLength, std::size_t outputLength)
        : file_(file),
          outputLength_(outputLength),
          readBuffer_(inputLength == 0 ? 61 : inputLength),
          readEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          writeEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          interruptEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    ~WinHidHandle() override {
        // The system writes into the buffer until a pending read ends.
        if (pending_) {
            CancelIoEx(file_.get(), &readOverlapped_);
            DWORD ignored = 0;
            GetOverlappedResult(file_.get(), &readOverlapped_, &ignored, TRUE);
        }
    }
    WinHidHandle(const WinHidHandle&) = delete;
    WinHidHandle& operator=(const WinHidHandle&) = delete;

    int read(std::uint8_t* data, std::size_t length, int timeoutMs) override {
        if (interrupted()) return 0;
        if (!pending_) {
            readOverlapped_ = {};
            ResetEvent(readEvent_.get());
            readOverlapped_.hEvent = readEvent_.get();
            DWORD got = 0;
            if (ReadFile(file_.get(), readBuffer_.data(), static_cast<DWORD>(readBuffer_.size()),
                         &got, &readOverlapped_)) {
                return winhid::fitInputReport(readBuffer_.data(), got, data, length);
            }
            if (GetLastError() != ERROR_IO_PENDING) return -1;
            pending_ = true;
        }
        const HANDLE events[2] = {readEvent_.get(), interruptEvent_.get()};
        const DWORD waited = WaitForMultipleObjects(
            2, events, FALSE, static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs));
        if (waited == WAIT_TIMEOUT || waited == WAIT_OBJECT_0 + 1) return 0;
        if (waited != WAIT_OBJECT_0) return -1;
        pending_ = false;
        DWORD got = 0;
        if (!GetOverlappedResult(file_.get(), &readOverlapped_, &got, FALSE)) {
            // Cancelled by interrupt(): not a failure of the unit.
            if (GetLastError() == ERROR_OPERATION_ABORTED && interrupted()) return 0;
            return -1;
        }
        return winhid::fitInputReport(readBuffer_.data(), got, data, length);
    }

    int write(const std::uint8_t* data, std::size_t length) override {
        const std::vector<std::uint8_t> bytes =
            winhid::fitOutputReport(data, length, outputLength_);
        writeOverlapped_ = {};
        ResetEvent(writeEvent_.get());
        writeOverlapped_.hEvent = writeEvent_.get();
        DWORD put = 0;
        if (!WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put,
                       &writeOverlapped_)) {
            if (GetLastError() != ERROR_IO_PENDING) return -1;
            if (WaitForSingleObject(writeEvent_.get(), kWriteTimeoutMs) != WAIT_OBJECT_0) {
                CancelIoEx(file_.get(), &writeOverlapped_);
                GetOverlappedResult(file_.get(), &writeOverlapped_, &put, TRUE);
                return -1;
            }
            if (!GetOverlappedResult(file_.get(), &writeOverlapped_, &put, FALSE)) return -1;
        }
        return put == bytes.size() ? static_cast<int>(length) : -1;
    }

    void interrupt() override {
        SetEvent(interruptEvent_.get());
        CancelIoEx(file_.get(), &readOverlapped_);
    }

  private:
    bool interrupted() const {
        return WaitForSingleObject(interruptEvent_.get(), 0) == WAIT_OBJECT_0;
    }

    OwnedHandle file_;
    std::size_t outputLength_;
    std::vector<std::uint8_t> readBuffer_;
    OwnedHandle readEvent_;
    OwnedHandle writeEvent_;
    OwnedHandle interruptEvent_;
    OVERLAPPED readOverlapped_{};
    OVERLAPPED writeOverlapped_{};
    bool pending_ = false;  // a read was started and has not been collected
};

// The paths of the present, usable HID interfaces; nullopt when the
// system's list cannot be read.
std::optional<std::vector<std::string>> hidInterfacePaths() {
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO set =
        SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<std::string> paths;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &data)) break;
        if (!winhid::interfaceUsable(data.Flags)) continue;
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
        std::vector<std::uint8_t> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr)) continue;
        paths.push_back(utf8FromWide(detail->DevicePath));
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

// Asks an interface for its ids and serial through a handle opened without
// access rights: enough for both, and possible while another program holds
// the unit.
std::optional<winhid::InterfaceIdentity> identify(const std::string& path) {
    OwnedHandle query(CreateFileW(wideFromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!query.valid() || !HidD_GetAttributes(query.get(), &attributes)) return std::nullopt;
    winhid::InterfaceIdentity identity;
    identity.vendor = attributes.VendorID;
    identity.product = attributes.ProductID;
    // A USB string descriptor holds at most 126 characters.
    wchar_t serial[128] = {};
    if (HidD_GetSerialNumberString(query.get(), serial, sizeof serial)) {
        serial[127] = L'\0';
        identity.serial = utf8FromWide(serial);
    }
    return identity;
}

class WinHid : public HidApi {
  public:
    std::optional<std::vector<HidInterface>> enumerate(std::uint16_t vendor,
                                                       std::uint16_t product) override {
        const auto paths = hidInterfacePaths();
        if (!paths) return std::nullopt;
        return winhid::selectInterfaces(*paths, identify, vendor, product);
    }

    std::unique_ptr<HidHandle> open(const std::string& path, HidOpenFailure& failure) override {
        HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            failure = winhid::openFailure(GetLastError());
            return nullptr;
        }
        // The report lengths the device declares (report id included).
        std::size_t inputLength = 0;
        std::size_t outputLength = 0;
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        if (HidD_GetPreparsedData(file, &preparsed)) {
            HIDP_CAPS caps{};
            if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
                inputLength = caps.InputReportByteLength;
                outputLength = caps.OutputReportByteLength;
            }
            HidD_FreePreparsedData(preparsed);
        }
        return makeWinHidHandle(file, inputLength, outputLength);
    }

    // Whether another program holds the unit shows only when opening it.
    bool mayOpen(const std::string&) override { return true; }
};

}  // namespace

std::unique_ptr<HidHandle> makeWinHidHandle(void* file, std::size_t inputLength,
                                            std::size_t outputLength) {
    return std::make_unique<WinHidHandle>(static_cast<HANDLE>(file), inputLength, outputLength);
}

std::unique_ptr<HidApi> makeWinHid() {
    return std::make_unique<WinHid>();
}

std::unique_ptr<HidApi> makeSystemHid() {
    return makeWinHid();
}

}  // namespace v36
