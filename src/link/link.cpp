#include "link/link.h"

#include <array>
#include <cstring>

namespace v36 {

int Link::WriteUsbData(const std::uint8_t* report, std::size_t length) {
    if (!linkOpen.load()) return 0;
    if (readThreadEnd.load()) {
        trace_.write("g_bReadThreadEnd == TRUE ,WriteUsbData return \n");
        return 0;
    }
    std::array<std::uint8_t, kReportSize> buffer{};
    std::memcpy(buffer.data(), report, length < kReportSize ? length : kReportSize);

    // Pace to the unit: the outcome of the wait is not examined.
    responseEvent.waitFor(responseWait());

    int written = 0;
    {
        std::lock_guard<std::mutex> lock(writeLock_);
        if (transport_ != nullptr) written = transport_->writeReport(buffer.data(), kReportSize);
    }
    if (written != static_cast<int>(kReportSize)) trace_.write("usb数据写入出错");
    return written;
}

void Link::attach(ReportTransport& transport) {
    std::lock_guard<std::mutex> lock(writeLock_);
    transport_ = &transport;
    responseEvent.set();
    readThreadEnd.store(false);
    linkOpen.store(true);
}

void Link::detach() {
    linkOpen.store(false);
    std::lock_guard<std::mutex> lock(writeLock_);
    transport_ = nullptr;
}

}  // namespace v36
