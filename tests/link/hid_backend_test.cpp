#include "link/hid_backend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/hotplug.h"
#include "link/udev_watcher.h"

namespace v36 {
namespace {

using namespace std::chrono_literals;

struct FakeHandle : HidHandle {
    explicit FakeHandle(std::vector<int>* reads) : reads_(reads) {}
    int read(std::uint8_t* data, std::size_t length, int) override {
        if (reads_->empty()) return 0;
        const int n = reads_->front();
        reads_->erase(reads_->begin());
        for (int i = 0; i < n && static_cast<std::size_t>(i) < length; ++i)
            data[i] = static_cast<std::uint8_t>(i == 0 ? 2 : 0x10 + i);
        return n;
    }
    int write(const std::uint8_t*, std::size_t length) override { return static_cast<int>(length); }
    std::vector<int>* reads_;
};

// A system's HID interfaces, each openable or not.
struct FakeHid : HidApi {
    struct Entry {
        HidInterface hid;
        bool permissionDenied = false;
        bool fails = false;
    };
    std::optional<std::vector<HidInterface>> enumerate(std::uint16_t, std::uint16_t) override {
        if (broken) return std::nullopt;
        std::vector<HidInterface> list;
        for (const auto& e : entries)
            list.push_back(e.hid);
        return list;
    }
    std::unique_ptr<HidHandle> open(const std::string& path, HidOpenFailure& failure) override {
        opened.push_back(path);
        for (const auto& e : entries) {
            if (e.hid.path != path) continue;
            if (e.permissionDenied) {
                failure.permissionDenied = true;
                failure.reason = "permission denied";
                return nullptr;
            }
            if (e.fails) {
                failure.reason = "Input/output error";
                return nullptr;
            }
            return std::make_unique<FakeHandle>(&reads);
        }
        return nullptr;
    }
    bool mayOpen(const std::string& path) override {
        for (const auto& e : entries)
            if (e.hid.path == path) return !e.permissionDenied;
        return true;
    }

    std::vector<Entry> entries;
    bool broken = false;
    std::vector<std::string> opened;
    std::vector<int> reads;
};

HidInterface unit(const std::string& path, std::string serial = {}) {
    return {path, HidBackend::kVendorId, HidBackend::kProductId, 0, std::move(serial)};
}
HidInterface other(const std::string& path) {
    return {path, 0x046D, 0xC52B, 0, {}};
}

struct HidBackendTest : ::testing::Test {
    HidBackendTest() {
        auto api = std::make_unique<FakeHid>();
        hid = api.get();
        backend = std::make_unique<HidBackend>(std::move(api));
        trace.setEnabled(true);
        trace.setSink([this](std::string_view t) { traces.emplace_back(t); });
    }
    FakeHid* hid;
    std::unique_ptr<HidBackend> backend;
    DebugTrace trace;
    std::vector<std::string> traces;
};

TEST_F(HidBackendTest, FindsTheUnitAfterOtherDevicesWithoutOpeningThem) {
    hid->entries = {{other("/dev/hidraw0")}, {other("/dev/hidraw1")}, {unit("/dev/hidraw2")}};
    const DeviceOpenResult r = backend->openDevice(trace);
    ASSERT_TRUE(r.device);
    EXPECT_EQ(r.device->path(), "/dev/hidraw2");
    EXPECT_EQ(hid->opened, (std::vector<std::string>{"/dev/hidraw2"}));
    EXPECT_EQ(traces.front(), "开始枚举usb设备");
    EXPECT_EQ(traces.back(), "连接目标设备成功!");
}

TEST_F(HidBackendTest, ExaminesOnlyTheFirst32Interfaces) {
    for (int i = 0; i < 31; ++i)
        hid->entries.push_back({other("/dev/hidraw" + std::to_string(i))});
    hid->entries.push_back({unit("/dev/hidraw31")});
    EXPECT_TRUE(backend->openDevice(trace).device);

    hid->entries.insert(hid->entries.begin(), {other("/dev/hidraw99")});
    const DeviceOpenResult r = backend->openDevice(trace);
    EXPECT_FALSE(r.device);
    EXPECT_EQ(r.error, OpenError::NotFound);
}

TEST_F(HidBackendTest, AnInterfaceThatFailsIsSkipped) {
    hid->entries = {{unit("/dev/hidraw4"), false, true}, {unit("/dev/hidraw5")}};
    const DeviceOpenResult r = backend->openDevice(trace);
    ASSERT_TRUE(r.device);
    EXPECT_EQ(r.path, "/dev/hidraw5");
}

TEST_F(HidBackendTest, FailuresSayWhatHappened) {
    // Nothing there.
    DeviceOpenResult r = backend->openDevice(trace);
    EXPECT_EQ(r.error, OpenError::NotFound);
    EXPECT_EQ(r.message, notFoundMessage());
    EXPECT_EQ(traces.back(), "连接目标设备失败，没有找到目标设备");

    // Present but not ours to open: the node, the cause and the fix.
    hid->entries = {{unit("/dev/hidraw7"), false, true}, {unit("/dev/hidraw8"), true}};
    r = backend->openDevice(trace);
    EXPECT_FALSE(r.device);
    EXPECT_EQ(r.error, OpenError::PermissionDenied);
    EXPECT_EQ(r.path, "/dev/hidraw8");
    for (const char* part : {"/dev/hidraw8", "permission denied", "70-dsp-v36.rules",
                             "udevadm control --reload-rules && sudo udevadm trigger", "plug"}) {
        EXPECT_NE(r.message.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(r.message.find("No unit"), std::string::npos);

    // Present but failing otherwise.
    hid->entries = {{unit("/dev/hidraw7"), false, true}};
    r = backend->openDevice(trace);
    EXPECT_EQ(r.error, OpenError::OpenFailed);
    EXPECT_NE(r.message.find("/dev/hidraw7"), std::string::npos);
    EXPECT_NE(r.message.find("Input/output error"), std::string::npos);

    // No list at all.
    hid->broken = true;
    r = backend->openDevice(trace);
    EXPECT_EQ(r.error, OpenError::EnumerationFailed);
    EXPECT_EQ(traces.back(), "获取Hid设备信息失败");
}

TEST_F(HidBackendTest, ListsEveryUnitSortedByPathWithoutOpeningAny) {
    hid->entries = {{unit("/dev/hidraw9", "A2")},
                    {other("/dev/hidraw0")},
                    {unit("/dev/hidraw3", "")},
                    {unit("/dev/hidraw3", "")},  // a second interface of one unit
                    {unit("/dev/hidraw12", "A1"), true}};
    const UnitList list = backend->listUnits(trace);
    ASSERT_TRUE(list.ok());
    ASSERT_EQ(list.units.size(), 3u);
    EXPECT_EQ(list.units[0].path, "/dev/hidraw12");
    EXPECT_EQ(list.units[0].serial, "A1");
    EXPECT_EQ(list.units[0].problem, OpenError::PermissionDenied);
    EXPECT_NE(list.units[0].message.find("/dev/hidraw12"), std::string::npos);
    EXPECT_EQ(list.units[1].path, "/dev/hidraw3");
    EXPECT_EQ(list.units[1].serial, "");  // no serial never merges two units
    EXPECT_EQ(list.units[2].path, "/dev/hidraw9");
    EXPECT_EQ(list.units[2].problem, OpenError::None);
    EXPECT_TRUE(hid->opened.empty());

    hid->broken = true;
    EXPECT_EQ(backend->listUnits(trace).error, OpenError::EnumerationFailed);
}

TEST_F(HidBackendTest, OpensTheUnitAtAPath) {
    hid->entries = {{unit("/dev/hidraw3")}, {unit("/dev/hidraw9")}};
    DeviceOpenResult r = backend->openDevice(trace, "/dev/hidraw9");
    ASSERT_TRUE(r.device);
    EXPECT_EQ(r.device->path(), "/dev/hidraw9");
    EXPECT_EQ(hid->opened, (std::vector<std::string>{"/dev/hidraw9"}));
    r = backend->openDevice(trace, "/dev/hidraw4");
    EXPECT_FALSE(r.device);
    EXPECT_EQ(r.error, OpenError::NotFound);
    EXPECT_NE(r.message.find("/dev/hidraw4"), std::string::npos);
}

TEST_F(HidBackendTest, DeviceReadsMapToDataTimeoutAndFailure) {
    hid->entries = {{unit("/dev/hidraw2")}};
    hid->reads = {61, 0, -1, 9};
    const auto device = backend->openDevice(trace).device;
    ASSERT_TRUE(device);
    Report r{};
    EXPECT_EQ(device->read(r, 10ms), LinkDevice::ReadStatus::Data);
    EXPECT_EQ(r[0], 2);
    EXPECT_EQ(r[60], 0x10 + 60);
    EXPECT_EQ(device->read(r, 10ms), LinkDevice::ReadStatus::Timeout);
    EXPECT_EQ(device->read(r, 10ms), LinkDevice::ReadStatus::Failed);
    // A short report is padded with zeros.
    EXPECT_EQ(device->read(r, 10ms), LinkDevice::ReadStatus::Data);
    EXPECT_EQ(r[8], 0x18);
    EXPECT_EQ(r[9], 0);
    EXPECT_EQ(device->writeReport(r.data(), r.size()), 61);
}

TEST(HotplugTest, PollingReportsWhatCameAndWent) {
    std::vector<std::string> present = {"/dev/hidraw2"};
    std::vector<std::string> events;
    PollingHotplugWatcher watcher(
        [&] { return present; },
        [&](const HotplugEvent& e) {
            events.push_back((e.kind == HotplugEvent::Kind::Arrival ? "+" : "-") + e.path);
        },
        false);
    watcher.tick();
    EXPECT_TRUE(events.empty());  // present from the start
    present = {"/dev/hidraw2", "/dev/hidraw5"};
    watcher.tick();
    present = {"/dev/hidraw5"};
    watcher.tick();
    watcher.tick();
    EXPECT_EQ(events, (std::vector<std::string>{"+/dev/hidraw5", "-/dev/hidraw2"}));
}

TEST(HotplugTest, PollingThreadStopsWithTheWatcher) {
    std::atomic<int> polls{0};
    {
        PollingHotplugWatcher watcher(
            [&] {
                ++polls;
                return std::vector<std::string>{};
            },
            [](const HotplugEvent&) {}, true, 5ms);
        while (polls.load() < 3)
            std::this_thread::sleep_for(1ms);
    }
    const int after = polls.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(polls.load(), after);
}

TEST(HotplugTest, HidIdNamesVendorAndProduct) {
    EXPECT_TRUE(hidIdMatches("0003:00002010:00001031", 0x2010, 0x1031));
    EXPECT_FALSE(hidIdMatches("0003:00002010:00001032", 0x2010, 0x1031));
    EXPECT_FALSE(hidIdMatches("0003:0000046D:00001031", 0x2010, 0x1031));
    EXPECT_FALSE(hidIdMatches("garbage", 0x2010, 0x1031));
    EXPECT_FALSE(hidIdMatches("0003:2010", 0x2010, 0x1031));
    EXPECT_FALSE(hidIdMatches(nullptr, 0x2010, 0x1031));
}

TEST(HotplugTest, UdevWatcherOffersItsDescriptorWhereUdevWorks) {
    std::string error;
    auto watcher = makeUdevHotplugWatcher([](const HotplugEvent&) {},
                                          HotplugDelivery::FileDescriptor, 0x2010, 0x1031, &error);
    if (!watcher) GTEST_SKIP() << "no udev here: " << error;
    EXPECT_GE(watcher->fd(), 0);
    watcher->processEvents();  // nothing waiting: returns at once
}

}  // namespace
}  // namespace v36
