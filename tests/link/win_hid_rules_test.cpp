// The Windows backend's decisions that need no Windows call: what its
// errors tell the user, which interfaces count, how report lengths fit.
#include "link/win_hid_rules.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace v36::winhid {
namespace {

TEST(WinHidRules, OpenFailuresSayWhyInTheUsersWords) {
    struct Case {
        unsigned long error;
        const char* says;
    };
    const Case cases[] = {
        {kErrorSharingViolation, "in use by another program"},
        {kErrorAccessDenied, "another program may hold the unit"},
        {kErrorFileNotFound, "no longer attached"},
        {kErrorPathNotFound, "no longer attached"},
        {kErrorNoSuchDevice, "no longer attached"},
        {kErrorDeviceNotConnected, "no longer attached"},
        {87, "Windows error 87"},
    };
    for (const Case& c : cases) {
        const HidOpenFailure f = openFailure(c.error);
        EXPECT_NE(f.reason.find(c.says), std::string::npos) << c.error << ": " << f.reason;
        // The udev advice of Linux never applies here.
        EXPECT_FALSE(f.permissionDenied) << c.error;
    }
}

TEST(WinHidRules, AnActiveInterfaceCountsWhateverItsOtherFlags) {
    EXPECT_TRUE(interfaceUsable(kInterfaceActive));
    EXPECT_TRUE(interfaceUsable(kInterfaceActive | kInterfaceDefault));
    EXPECT_FALSE(interfaceUsable(0));
    EXPECT_FALSE(interfaceUsable(kInterfaceDefault));
    EXPECT_FALSE(interfaceUsable(kInterfaceActive | kInterfaceRemoved));
}

TEST(WinHidRules, PathsNameTheVendorAndProductInAnyCase) {
    struct Case {
        const char* path;
        bool unit;
    };
    const Case cases[] = {
        {R"(\\?\hid#vid_2010&pid_1031#7&1f2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})",
         true},
        {R"(\\?\HID#VID_2010&PID_1031&MI_00#8&2a&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})",
         true},
        {R"(\\?\hid#vid_2010&pid_1032#7&1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})", false},
        {R"(\\?\hid#vid_046d&pid_c52b&mi_01#7&2&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})",
         false},
        {"/dev/hidraw3", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pathNamesDevice(c.path, 0x2010, 0x1031), c.unit) << c.path;
}

TEST(WinHidRules, InterfacesAreTheUnitsByTheirIdsOrElseByTheirPath) {
    const std::string guid = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const std::string unit = R"(\\?\hid#vid_2010&pid_1031#7&a&0&0000)" + guid;
    const std::string held = R"(\\?\hid#vid_2010&pid_1031#7&b&0&0000)" + guid;
    const std::string mouse = R"(\\?\hid#vid_046d&pid_c52b&mi_01#7&c&0&0000)" + guid;
    const std::string gone = R"(\\?\hid#vid_046d&pid_0001#7&d&0&0000)" + guid;
    const std::string bridged = R"(\\?\hid#{00001124-0000-1000-8000-00805f9b34fb}_vid&0002)" + guid;
    const std::vector<std::string> paths = {mouse, unit, gone, held, bridged};
    // The unit answers; so does the mouse; `held` and `gone` cannot be
    // asked; `bridged` answers as the unit under a path that does not say so.
    const IdentifyInterface identify =
        [&](const std::string& path) -> std::optional<InterfaceIdentity> {
        if (path == unit) return InterfaceIdentity{0x2010, 0x1031, "A1"};
        if (path == mouse) return InterfaceIdentity{0x046D, 0xC52B, ""};
        if (path == bridged) return InterfaceIdentity{0x2010, 0x1031, "B7"};
        return std::nullopt;
    };
    auto line = [](const std::string& path, int vendor, int product, const std::string& serial) {
        return path + " " + std::to_string(vendor) + ":" + std::to_string(product) + " [" + serial +
               "]";
    };
    auto described = [&](const std::vector<HidInterface>& list) {
        std::vector<std::string> out;
        for (const HidInterface& h : list)
            out.push_back(line(h.path, h.vendor, h.product, h.serial));
        return out;
    };
    EXPECT_EQ(
        described(selectInterfaces(paths, identify, 0x2010, 0x1031)),
        (std::vector<std::string>{line(unit, 0x2010, 0x1031, "A1"), line(held, 0x2010, 0x1031, ""),
                                  line(bridged, 0x2010, 0x1031, "B7")}));
    // Every interface that answers, in the system's order.
    EXPECT_EQ(
        described(selectInterfaces(paths, identify, 0, 0)),
        (std::vector<std::string>{line(mouse, 0x046D, 0xC52B, ""), line(unit, 0x2010, 0x1031, "A1"),
                                  line(bridged, 0x2010, 0x1031, "B7")}));
}

std::vector<std::uint8_t> report(std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{2});  // report id 2 first
    return bytes;
}

TEST(WinHidRules, InputReportsReachTheLinkAsSixtyOneBytes) {
    struct Case {
        std::size_t got;  // as long as the device's input report
        int copied;       // bytes the link sees
    };
    for (const Case c : {Case{61, 61}, Case{65, 61}, Case{33, 33}}) {
        const std::vector<std::uint8_t> in = report(c.got);
        std::vector<std::uint8_t> out(61, 0xEE);
        EXPECT_EQ(fitInputReport(in.data(), in.size(), out.data(), out.size()), c.copied);
        EXPECT_EQ(out[0], 2) << c.got;
        for (std::size_t i = 0; i < out.size(); ++i)
            EXPECT_EQ(out[i], i < in.size() ? in[i] : 0) << c.got << " byte " << i;
    }
}

TEST(WinHidRules, OutputReportsTakeTheDevicesLength) {
    const std::vector<std::uint8_t> r = report(61);
    struct Case {
        std::size_t outputLength;
        std::size_t written;
    };
    for (const Case c : {Case{61, 61}, Case{65, 65}, Case{0, 61}, Case{33, 33}}) {
        const std::vector<std::uint8_t> bytes = fitOutputReport(r.data(), r.size(), c.outputLength);
        ASSERT_EQ(bytes.size(), c.written) << c.outputLength;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            EXPECT_EQ(bytes[i], i < r.size() ? r[i] : 0) << c.outputLength << " byte " << i;
    }
}

}  // namespace
}  // namespace v36::winhid
