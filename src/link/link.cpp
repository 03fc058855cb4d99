#include "link/link.h"

#include <array>
#include <cstring>
#include <utility>

namespace v36 {

bool samePathIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

Link::~Link() {
    closeLink();
    joinReadThread();
}

int Link::WriteUsbData(const std::uint8_t* report, std::size_t length) {
    if (!linkOpen.load()) return 0;
    if (readThreadEnd.load()) {
        trace_.write("g_bReadThreadEnd == TRUE ,WriteUsbData return \n");
        return 0;
    }
    Report buffer{};
    std::memcpy(buffer.data(), report, length < kReportSize ? length : kReportSize);

    if (gaveUp()) return 0;
    // Pace to the unit. Only the count of unanswered writes looks at the
    // outcome; the write goes either way.
    if (responseEvent.waitFor(responseWait())) {
        unanswered_.store(0);
    } else {
        unanswered_.fetch_add(1);
        missed_.fetch_add(1);
        trace_.write("no answer from the unit\n");
        if (gaveUp()) return 0;
    }

    return writeNow(buffer);
}

int Link::writeUnpaced(const std::uint8_t* report, std::size_t length) {
    if (!linkOpen.load()) return 0;
    Report buffer{};
    std::memcpy(buffer.data(), report, length < kReportSize ? length : kReportSize);
    return writeNow(buffer);
}

int Link::writeNow(const Report& buffer) {
    int written = 0;
    {
        std::lock_guard<std::mutex> lock(writeLock_);
        // Closed while this write waited: refused like any write to a
        // closed link.
        if (transport_ == nullptr) return 0;
        observe(true, buffer);
        written = transport_->writeReport(buffer.data(), kReportSize);
    }
    if (written != static_cast<int>(kReportSize)) trace_.write("usb数据写入出错");
    return written;
}

void Link::attach(ReportTransport& transport) {
    std::lock_guard<std::mutex> lock(writeLock_);
    transport_ = &transport;
    responseEvent.set();
    readThreadEnd.store(false);
    unanswered_.store(0);
    missed_.store(0);
    linkOpen.store(true);
}

void Link::detach() {
    linkOpen.store(false);
    std::lock_guard<std::mutex> lock(writeLock_);
    transport_ = nullptr;
}

void Link::setReportHandler(ReportHandler handler) {
    auto next = handler ? std::make_shared<const ReportHandler>(std::move(handler)) : nullptr;
    std::lock_guard<std::mutex> lock(hooks_);
    handler_ = std::move(next);
}

void Link::setReportObserver(ReportObserver observer) {
    auto next = observer ? std::make_shared<const ReportObserver>(std::move(observer)) : nullptr;
    std::lock_guard<std::mutex> lock(hooks_);
    observer_ = std::move(next);
}

void Link::observe(bool outgoing, const Report& report) {
    std::shared_ptr<const ReportObserver> observer;
    {
        std::lock_guard<std::mutex> lock(hooks_);
        observer = observer_;
    }
    if (observer) (*observer)(outgoing, report);
}

std::string Link::devicePath() const {
    std::lock_guard<std::mutex> lock(lifecycle_);
    return devicePath_;
}

bool Link::isOpenDevice(std::string_view path) const {
    std::lock_guard<std::mutex> lock(lifecycle_);
    return device_ != nullptr && samePathIgnoringAsciiCase(devicePath_, path);
}

OpenResult Link::openLink(LinkBackend& backend, std::string_view path) {
    std::unique_lock<std::mutex> lock(lifecycle_);
    if (linkOpen.load()) {
        return {0, OpenError::AlreadyOpen, "The unit is already connected.", devicePath_};
    }
    // A read thread that outlived the last close ends within its read slice
    // (or its last dispatch); it must be gone before the events are renewed.
    if (readThread_.joinable()) readThread_.join();

    // Fresh link objects on every call.
    responseEvent.set();
    threadEnd_.reset();

    DeviceOpenResult found =
        path.empty() ? backend.openDevice(trace_) : backend.openDevice(trace_, path);
    if (!found.device) {
        return {0, found.error == OpenError::None ? OpenError::NotFound : found.error,
                std::move(found.message), std::move(found.path)};
    }

    device_ = found.device;
    devicePath_ = device_->path();
    {
        std::lock_guard<std::mutex> writeLock(writeLock_);
        transport_ = device_.get();
    }
    readThreadEnd.store(false);
    unanswered_.store(0);
    missed_.store(0);
    linkOpen.store(true);
    readThread_ = std::thread(&Link::ReadUsbThreadProc, this, device_);
    readThreadId_.store(readThread_.get_id());
    return {1, OpenError::None, {}, devicePath_};
}

int Link::closeLink() {
    std::unique_lock<std::mutex> lock(lifecycle_);
    if (!linkOpen.load()) return 1;
    linkOpen.store(false);
    {
        std::lock_guard<std::mutex> writeLock(writeLock_);
        transport_ = nullptr;
    }
    if (device_) device_->interrupt();
    // Release a writer waiting for an answer that will not come (the read
    // thread's own acknowledgement among them); it finds the link closed.
    responseEvent.set();

    const bool onReadThread = readThreadId_.load() == std::this_thread::get_id();
    if (readThread_.joinable() && !onReadThread) {
        if (threadEnd_.waitFor(kCloseWait)) {
            readThread_.join();
        } else {
            trace_.write("wait read thread exited time out !\n");
        }
    }
    // The device closes here, or, if the read thread is still inside a read
    // or a dispatch, when that thread lets go of it: never under a read.
    device_.reset();
    devicePath_.clear();
    return 1;
}

void Link::joinReadThread() {
    std::lock_guard<std::mutex> lock(lifecycle_);
    if (readThread_.joinable() && readThreadId_.load() != std::this_thread::get_id()) {
        readThread_.join();
    }
}

void Link::ReadUsbThreadProc(std::shared_ptr<LinkDevice> device) {
    readThreadEnd.store(false);
    trace_.write("start thread: ReadUsbThreadProc \n");
    while (linkOpen.load()) {
        if (readReport(*device) == 0) {
            pollingEnabled.store(false);
            readThreadEnd.store(true);
            // No writer may wait for an answer that cannot come.
            responseEvent.set();
            break;
        }
    }
    device.reset();
    threadEnd_.set();
}

int Link::readReport(LinkDevice& device) {
    Report buffer{};
    for (;;) {
        const LinkDevice::ReadStatus status = device.read(buffer, kReadSlice);
        if (status == LinkDevice::ReadStatus::Data) break;
        if (status == LinkDevice::ReadStatus::Failed) {
            trace_.write("Read Usb Error will return !\n");
            return 0;
        }
        // Nothing yet: a closed link ends the thread without a failure.
        if (!linkOpen.load()) return 1;
    }
    observe(false, buffer);
    std::shared_ptr<const ReportHandler> handler;
    {
        std::lock_guard<std::mutex> lock(hooks_);
        handler = handler_;
    }
    if (handler) {
        (*handler)(buffer);
    } else {
        responseEvent.set();
    }
    return 1;
}

}  // namespace v36
