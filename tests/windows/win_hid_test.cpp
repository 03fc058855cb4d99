// The Win32 side of the Windows backend, run on Windows (under Wine in the
// cross build): overlapped reads and writes with their timeouts, interrupts
// and failures (on a named pipe standing in for the HID interface), the
// system's HID list, the errors of opening, and device-change messages.
#include <windows.h>
// clang-format off
#include <dbt.h>
// MinGW-w64's HID header declares C functions without saying so.
extern "C" {
#include <hidsdi.h>
}
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "context/device_context.h"
#include "link/hid_backend.h"
#include "link/win_device_notifier.h"
#include "link/win_hid.h"
#include "link/win_text.h"

namespace v36 {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A message pipe: the server end plays the unit, the client end (opened
// overlapped, as the backend opens a HID interface) goes to the handle.
class PipeUnit {
  public:
    explicit PipeUnit(std::size_t inputLength = 65, std::size_t outputLength = 65) {
        static std::atomic<int> count{0};
        const std::wstring name = L"\\\\.\\pipe\\v36-hid-test-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(count++);
        server_ = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                   4096, 0, nullptr);
        HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (client != INVALID_HANDLE_VALUE)
            handle = makeWinHidHandle(client, inputLength, outputLength);
    }
    ~PipeUnit() { unplug(); }

    // The unit sends one input report.
    void send(const std::vector<std::uint8_t>& bytes) {
        DWORD put = 0;
        ASSERT_TRUE(
            WriteFile(server_, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr));
    }
    // The next report the unit received.
    std::vector<std::uint8_t> received() {
        std::vector<std::uint8_t> bytes(256);
        DWORD got = 0;
        if (!ReadFile(server_, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
            return {};
        bytes.resize(got);
        return bytes;
    }
    void unplug() {
        if (server_ != INVALID_HANDLE_VALUE) CloseHandle(server_);
        server_ = INVALID_HANDLE_VALUE;
    }

    std::unique_ptr<HidHandle> handle;

  private:
    HANDLE server_ = INVALID_HANDLE_VALUE;
};

std::vector<std::uint8_t> inputReport(std::size_t length, std::uint8_t first) {
    std::vector<std::uint8_t> bytes(length);
    bytes[0] = 2;
    for (std::size_t i = 1; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

TEST(WinHidHandle, ReadsWaitAtMostTheirTimeAndKeepThePendingRead) {
    PipeUnit unit;
    ASSERT_TRUE(unit.handle);
    std::uint8_t out[61];
    const auto start = Clock::now();
    EXPECT_EQ(unit.handle->read(out, sizeof out, 50), 0);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 40ms);
    EXPECT_LT(waited, 2s);

    // The report that completes the read started before: as the device
    // sent it (65 bytes here), cut to the link's 61.
    unit.send(inputReport(65, 0x10));
    ASSERT_EQ(unit.handle->read(out, sizeof out, 2000), 61);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 0x11);
    EXPECT_EQ(out[60], 0x10 + 60);

    // A shorter report is padded with zeros.
    unit.send(inputReport(9, 0x40));
    std::memset(out, 0xEE, sizeof out);
    ASSERT_EQ(unit.handle->read(out, sizeof out, 2000), 9);
    EXPECT_EQ(out[8], 0x48);
    EXPECT_EQ(out[9], 0);
    EXPECT_EQ(out[60], 0);
}

TEST(WinHidHandle, WritesTakeTheDevicesOutputLength) {
    PipeUnit unit(65, 65);
    ASSERT_TRUE(unit.handle);
    std::uint8_t report[61] = {2, 9, 0, 5, 0x1C, 1};
    EXPECT_EQ(unit.handle->write(report, sizeof report), 61);
    const std::vector<std::uint8_t> got = unit.received();
    ASSERT_EQ(got.size(), 65u);
    EXPECT_TRUE(std::equal(report, report + 61, got.begin()));
    EXPECT_EQ(got[61], 0);
    EXPECT_EQ(got[64], 0);
}

TEST(WinHidHandle, AWriteTheUnitNeverTakesFailsInBoundedTime) {
    PipeUnit unit;  // the unit takes no report: the pipe fills up
    ASSERT_TRUE(unit.handle);
    std::uint8_t report[61] = {2, 14};
    int result = 0;
    auto slowest = Clock::duration::zero();
    for (int i = 0; i < 1000 && result != -1; ++i) {
        const auto start = Clock::now();
        result = unit.handle->write(report, sizeof report);
        slowest = std::max(slowest, Clock::now() - start);
    }
    EXPECT_EQ(result, -1);
    EXPECT_GE(slowest, 900ms);  // it waited its second
    EXPECT_LT(slowest, 5s);
}

TEST(WinHidHandle, InterruptEndsAWaitingReadAtOnceWithoutAFailure) {
    PipeUnit unit;
    ASSERT_TRUE(unit.handle);
    std::uint8_t out[61];
    std::thread closer([&] {
        std::this_thread::sleep_for(100ms);
        unit.handle->interrupt();
    });
    const auto start = Clock::now();
    EXPECT_EQ(unit.handle->read(out, sizeof out, 10000), 0);
    EXPECT_LT(Clock::now() - start, 5s);
    closer.join();
    // Interrupted for good: the next read does not wait.
    const auto again = Clock::now();
    EXPECT_EQ(unit.handle->read(out, sizeof out, 10000), 0);
    EXPECT_LT(Clock::now() - again, 1s);
}

TEST(WinHidHandle, AUnitThatGoesFailsTheReadAndTheWrite) {
    PipeUnit unit;
    ASSERT_TRUE(unit.handle);
    std::uint8_t out[61];
    EXPECT_EQ(unit.handle->read(out, sizeof out, 20), 0);  // a read is pending
    unit.unplug();
    EXPECT_EQ(unit.handle->read(out, sizeof out, 2000), -1);
    std::uint8_t report[61] = {2};
    EXPECT_EQ(unit.handle->write(report, sizeof report), -1);
}

TEST(WinHidHandle, AHandleClosedUnderAPendingReadLetsGoSafely) {
    PipeUnit unit;
    ASSERT_TRUE(unit.handle);
    std::uint8_t out[61];
    EXPECT_EQ(unit.handle->read(out, sizeof out, 20), 0);
    // Cancels the read and waits for it to end before its buffer goes.
    const auto start = Clock::now();
    unit.handle.reset();
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST(WinHid, TheSystemsListIsReadAndHoldsOnlyUnits) {
    auto hid = makeWinHid();
    const auto units = hid->enumerate(HidBackend::kVendorId, HidBackend::kProductId);
    ASSERT_TRUE(units.has_value());
    for (const HidInterface& u : *units) {
        EXPECT_EQ(u.vendor, HidBackend::kVendorId) << u.path;
        EXPECT_EQ(u.product, HidBackend::kProductId) << u.path;
    }

    HidBackend backend(makeWinHid());
    DebugTrace trace;
    const UnitList list = backend.listUnits(trace);
    ASSERT_TRUE(list.ok()) << list.message;
    EXPECT_EQ(list.units.size(), units->size());
    if (list.units.empty()) {
        const DeviceOpenResult r = backend.openDevice(trace);
        EXPECT_EQ(r.error, OpenError::NotFound);
        EXPECT_EQ(r.message, notFoundMessage());
    }
    const std::string nowhere =
        R"(\\?\hid#vid_2010&pid_1031#0&0&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    const DeviceOpenResult r = backend.openDevice(trace, nowhere);
    EXPECT_EQ(r.error, OpenError::NotFound);
    EXPECT_NE(r.message.find(nowhere), std::string::npos);
}

TEST(WinHid, TheContextOpensAndWatchesThroughTheWindowsBackend) {
    DeviceContext ctx;
    const UnitList list = ctx.backend().listUnits(ctx.trace);
    ASSERT_TRUE(list.ok()) << list.message;
    if (!list.units.empty()) GTEST_SKIP() << "a unit is attached: " << list.units[0].path;
    const OpenResult r = ctx.openLink();
    EXPECT_EQ(r.error, OpenError::NotFound);
    EXPECT_EQ(r.message, notFoundMessage());
    // No descriptor to watch on Windows: the list is polled on a thread.
    auto watcher = ctx.watchHotplug([](const HotplugEvent&) {}, HotplugDelivery::FileDescriptor);
    ASSERT_TRUE(watcher);
    EXPECT_EQ(watcher->fd(), -1);
}

TEST(WinHid, OpeningSaysWhenTheUnitIsGoneOrInUse) {
    auto hid = makeWinHid();
    HidOpenFailure gone;
    EXPECT_FALSE(hid->open(
        R"(\\?\hid#vid_2010&pid_1031#0&0&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030})", gone));
    EXPECT_NE(gone.reason.find("no longer attached"), std::string::npos) << gone.reason;

    // Another program holds the node without sharing it (a file stands in
    // for the interface: the same call refuses the same way).
    wchar_t folder[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring node =
        std::wstring(folder) + L"v36-held-" + std::to_wstring(GetCurrentProcessId()) + L".bin";
    HANDLE held = CreateFileW(node.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HidOpenFailure inUse;
    EXPECT_FALSE(hid->open(utf8FromWide(node.c_str()), inUse));
    CloseHandle(held);
    EXPECT_NE(inUse.reason.find("in use by another program"), std::string::npos) << inUse.reason;
    EXPECT_FALSE(inUse.permissionDenied);
}

// A device-interface record as the system hands it with WM_DEVICECHANGE.
struct DeviceRecord {
    explicit DeviceRecord(const std::wstring& name, bool hidClass = true) {
        const std::size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                 (name.size() + 1) * sizeof(wchar_t);
        bytes.assign(size, 0);
        auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
        record->dbcc_size = static_cast<DWORD>(size);
        record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        if (hidClass) HidD_GetHidGuid(&record->dbcc_classguid);
        std::memcpy(record->dbcc_name, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    }
    std::intptr_t lParam() { return reinterpret_cast<std::intptr_t>(bytes.data()); }
    std::vector<std::uint8_t> bytes;
};

TEST(WinDeviceChange, ArrivalsOfTheUnitAndRemovalsOfAnyHidInterface) {
    const std::wstring unitName =
        L"\\\\?\\HID#VID_2010&PID_1031#7&1f2b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const std::wstring mouseName =
        L"\\\\?\\HID#VID_046D&PID_C52B&MI_01#7&2&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    DeviceRecord unitRecord(unitName);
    DeviceRecord mouseRecord(mouseName);
    DeviceRecord otherClass(unitName, false);
    DEV_BROADCAST_HDR volume{};
    volume.dbch_size = sizeof volume;
    volume.dbch_devicetype = DBT_DEVTYP_VOLUME;

    struct Case {
        const char* name;
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        const char* event;  // "" for none
    };
    const std::string unitPath = utf8FromWide(unitName.c_str());
    const std::string mousePath = utf8FromWide(mouseName.c_str());
    const std::string unitArrival = "+" + unitPath;
    const std::string unitRemoval = "-" + unitPath;
    const std::string mouseRemoval = "-" + mousePath;
    const Case cases[] = {
        {"unit arrives", WM_DEVICECHANGE, DBT_DEVICEARRIVAL, unitRecord.lParam(),
         unitArrival.c_str()},
        {"unit leaves", WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, unitRecord.lParam(),
         unitRemoval.c_str()},
        {"mouse arrives", WM_DEVICECHANGE, DBT_DEVICEARRIVAL, mouseRecord.lParam(), ""},
        {"mouse leaves", WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, mouseRecord.lParam(),
         mouseRemoval.c_str()},
        {"removal asked, not done", WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, unitRecord.lParam(),
         ""},
        {"another interface class", WM_DEVICECHANGE, DBT_DEVICEARRIVAL, otherClass.lParam(), ""},
        {"a volume", WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
         reinterpret_cast<std::intptr_t>(&volume), ""},
        {"nodes changed", WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, ""},
        {"another message", WM_PAINT, DBT_DEVICEARRIVAL, unitRecord.lParam(), ""},
    };
    for (const Case& c : cases) {
        const auto event = hidDeviceChange(c.message, c.wParam, c.lParam, 0x2010, 0x1031);
        std::string text;
        if (event) text = (event->kind == HotplugEvent::Kind::Arrival ? "+" : "-") + event->path;
        EXPECT_EQ(text, c.event) << c.name;
    }
}

// A message-only window whose messages go to a notifier, as the Qt
// program's native event filter hands them on.
class NotifiedWindow {
  public:
    NotifiedWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &NotifiedWindow::procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"v36-notifier-test";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, windowClass.hInstance, nullptr);
    }
    ~NotifiedWindow() {
        if (window != nullptr) DestroyWindow(window);
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (notifier != nullptr && notifier->handleMessage(message, wParam, lParam)) return TRUE;
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window = nullptr;
    static inline WinDeviceNotifier* notifier = nullptr;
};

TEST(WinDeviceChange, AWindowsNotifierHandsItsDeviceMessagesToTheHandler) {
    NotifiedWindow host;
    ASSERT_NE(host.window, nullptr);
    std::vector<std::string> events;
    std::string error;
    auto notifier = WinDeviceNotifier::create(
        host.window,
        [&](const HotplugEvent& e) {
            events.push_back((e.kind == HotplugEvent::Kind::Arrival ? "+" : "-") + e.path);
        },
        0x2010, 0x1031, &error);
    ASSERT_TRUE(notifier) << error;
    NotifiedWindow::notifier = notifier.get();
    DeviceRecord unit(
        L"\\\\?\\hid#vid_2010&pid_1031#1&2&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}");
    SendMessageW(host.window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, unit.lParam());
    SendMessageW(host.window, WM_PAINT, 0, 0);
    SendMessageW(host.window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, unit.lParam());
    NotifiedWindow::notifier = nullptr;
    const std::string path =
        R"(\\?\hid#vid_2010&pid_1031#1&2&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    EXPECT_EQ(events, (std::vector<std::string>{"+" + path, "-" + path}));
    // The notifier is dropped (unregistered) before the window goes.
    notifier.reset();

    // The system refuses a registration without a window.
    EXPECT_FALSE(WinDeviceNotifier::create(
        nullptr, [](const HotplugEvent&) {}, 0x2010, 0x1031, &error));
    EXPECT_NE(error.find("Can't register device notification"), std::string::npos) << error;
}

TEST(WinText, Utf8AndUtf16RoundTrip) {
    for (const char* text : {"", "plain", "模式 ü.ev36", "😀 Ñandú"}) {
        const std::wstring wide = wideFromUtf8(text);
        EXPECT_EQ(utf8FromWide(wide.c_str()), text);
        EXPECT_EQ(utf8FromWide(wide.c_str(), static_cast<int>(wide.size())), text);
    }
    EXPECT_EQ(wideFromUtf8("😀").size(), 2u);  // a surrogate pair
}

}  // namespace
}  // namespace v36
