#include "remote/home_automation.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "protocol/bytes.h"

namespace v36 {

using namespace home;

namespace {

// Report bytes of a module frame.
constexpr std::size_t kStartByte = 3;
constexpr std::size_t kFunction = 6;
constexpr std::size_t kParam7 = 7;
constexpr std::size_t kParam8 = 8;
constexpr std::size_t kParam9 = 9;
constexpr std::size_t kMaskStart = 10;

// Report bytes of a memory piece.
constexpr std::size_t kMemAddress = 2;
constexpr std::size_t kMemLength = 4;
constexpr std::size_t kMemData = 5;

std::uint32_t nodeParam(std::uint8_t node, std::uint8_t low) {
    return (std::uint32_t{node} << 16) | low;
}

}  // namespace

void HomeAutomation::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    nodes_.fill({0, 0});
    memory_.fill(0);
}

Report HomeAutomation::acknowledgement() {
    Report r = makeReport(cmd::kHomeFrame);
    r[2] = 1;
    r[3] = kAck;
    return r;
}

void HomeAutomation::handleFrame(const Report& r, const AckSender& ack,
                                 const EventCallback& onEvent) {
    if (r[kStartByte] == kAck) return;  // the module acknowledges one of ours
    if (ack) ack(acknowledgement());

    std::optional<HomeAutomationEvent> event;
    std::optional<std::uint8_t> removed;
    const std::uint8_t function = r[kFunction];
    {
        std::lock_guard<std::mutex> lock(mutex_);
        switch (function) {
            case kNodeList: {
                // A bit mask of the known nodes: bit j of mask byte i is node 8i + j + 1.
                nodes_.fill({0, 0});
                const std::size_t length = std::min<std::size_t>(r[kParam9], r.size() - kMaskStart);
                for (std::size_t i = 0; i < length; ++i) {
                    for (std::size_t j = 0; j < 8; ++j) {
                        const std::size_t n = 8 * i + j + 1;
                        if ((r[kMaskStart + i] & (1u << j)) != 0 && n < kNodes)
                            nodes_[n].first = static_cast<std::uint8_t>(n);
                    }
                }
                break;
            }
            case kNodeReport: {
                // The value is the last byte of the node's command.
                const std::uint8_t node = r[kParam8];
                const std::size_t last = kParam9 + r[kParam9];
                if (last >= r.size()) break;  // a command longer than the report
                const std::uint8_t value = r[last];
                if (node < kNodes) nodes_[node].second = value;
                event = HomeAutomationEvent{function, nodeParam(node, value)};
                break;
            }
            case kSendConfirm: {
                const std::uint8_t status = r[kParam8];
                const std::uint8_t callback = r[kParam7];
                if (status == 0 || status == 1)
                    event = HomeAutomationEvent{function, nodeParam(callback, status)};
                break;
            }
            case kResetDone:
                event = HomeAutomationEvent{function, 0};
                break;
            case kNodeAdded: {
                const std::uint8_t status = r[kParam8];
                if (status == 1) {
                    event = HomeAutomationEvent{function, 1};
                } else if (status == 5) {
                    const std::uint8_t node = r[kParam9];
                    if (node < kNodes) {
                        nodes_[node].first = node;
                        std::memset(memory_.data() + node * kDeviceEntrySize, 0, kDeviceEntrySize);
                    }
                    event = HomeAutomationEvent{function, nodeParam(node, 5)};
                }
                break;
            }
            case kNodeRemoved: {
                const std::uint8_t status = r[kParam8];
                if (status == 6) {
                    const std::uint8_t node = r[kParam9];
                    if (node < kNodes) nodes_[node].first = 0;
                    removed = node;
                    event = HomeAutomationEvent{function, nodeParam(node, 6)};
                } else {
                    event = HomeAutomationEvent{function, status};
                }
                break;
            }
            default:
                break;
        }
    }
    if (removed && trace_ != nullptr)
        trace_->write("REMOVE ID= " + std::to_string(*removed) + "\n");
    if (event && onEvent) onEvent(*event);
}

void HomeAutomation::handleMemory(const Report& r) {
    const std::size_t address = getBE16(r.data() + kMemAddress);
    const std::size_t length = std::min<std::size_t>(r[kMemLength], r.size() - kMemData);
    std::size_t start = 0;
    std::size_t end = 0;  // the end of the range the piece may fill
    if (address < kGroupTableAddress) {
        start = address - address % kDeviceEntrySize;
        end = kGroupTableAddress;
    } else if (address < kHomeAreaAAddress) {
        start = address - (address - kGroupTableAddress) % kGroupRecordSize;
        end = kHomeAreaAAddress;
    } else if (address < kMemorySize) {
        start = address;
        end = kMemorySize;
    } else {
        return;
    }
    const std::size_t n = std::min(length, end - start);
    if (n == 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::memcpy(memory_.data() + start, r.data() + kMemData, n);
}

NodeTable HomeAutomation::nodeTable() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return nodes_;
}

template <std::size_t N>
std::array<std::uint8_t, N> HomeAutomation::copyOut(std::size_t address) const {
    std::array<std::uint8_t, N> out{};
    std::lock_guard<std::mutex> lock(mutex_);
    std::memcpy(out.data(), memory_.data() + address, N);
    return out;
}

std::array<std::uint8_t, kDeviceEntrySize> HomeAutomation::deviceEntry(std::size_t node) const {
    if (node >= kNodes) return {};
    return copyOut<kDeviceEntrySize>(kDeviceTableAddress + node * kDeviceEntrySize);
}

std::array<std::uint8_t, kDeviceTableSize> HomeAutomation::deviceTable() const {
    return copyOut<kDeviceTableSize>(kDeviceTableAddress);
}

std::array<std::uint8_t, kGroupTableSize> HomeAutomation::groupTable() const {
    return copyOut<kGroupTableSize>(kGroupTableAddress);
}

std::array<std::uint8_t, kHomeAreaASize> HomeAutomation::homeAreaA() const {
    return copyOut<kHomeAreaASize>(kHomeAreaAAddress);
}

std::array<std::uint8_t, kHomeAreaBSize> HomeAutomation::homeAreaB() const {
    return copyOut<kHomeAreaBSize>(kHomeAreaBAddress);
}

void fuzzHomeAutomation(std::span<const std::uint8_t> data) {
    HomeAutomation ha;
    std::size_t acks = 0;
    const auto ack = [&](const Report&) { ++acks; };
    const auto onEvent = [](const HomeAutomationEvent&) {};
    for (std::size_t at = 0; at < data.size(); at += kReportSize) {
        Report r{};
        const std::size_t n = std::min(kReportSize, data.size() - at);
        std::memcpy(r.data(), data.data() + at, n);
        r[0] = kReportId;
        if ((r[1] & 1) != 0) {
            r[1] = cmd::kHomeFrame;
            ha.handleFrame(r, ack, onEvent);
        } else {
            r[1] = cmd::kHomeMemory;
            ha.handleMemory(r);
        }
    }
    (void)ha.nodeTable();
    (void)ha.deviceTable();
    (void)ha.homeAreaB();
}

}  // namespace v36
