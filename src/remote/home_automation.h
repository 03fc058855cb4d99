#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <utility>

#include "link/debug_trace.h"
#include "protocol/report.h"

namespace v36 {

// The unit's home-control memory as mirrored here, by unit address.
namespace home {
constexpr std::size_t kNodes = 233;  // node numbers 0..232
constexpr std::size_t kDeviceEntrySize = 28;
constexpr std::size_t kDeviceTableAddress = 0;
constexpr std::size_t kDeviceTableSize = kNodes * kDeviceEntrySize;  // 6524
constexpr std::size_t kGroupRecordSize = 56;
constexpr std::size_t kGroups = 4;
constexpr std::size_t kGroupTableAddress = kDeviceTableAddress + kDeviceTableSize;  // 6524
constexpr std::size_t kGroupTableSize = kGroups * kGroupRecordSize;                 // 224
constexpr std::size_t kHomeAreaAAddress = kGroupTableAddress + kGroupTableSize;     // 6748
constexpr std::size_t kHomeAreaASize = 1280;
constexpr std::size_t kHomeAreaBAddress = kHomeAreaAAddress + kHomeAreaASize;  // 8028
constexpr std::size_t kHomeAreaBSize = 7168;
constexpr std::size_t kMemorySize = kHomeAreaBAddress + kHomeAreaBSize;  // 15196

// Function codes of the module's frames.
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNodeList = 0x02;
constexpr std::uint8_t kNodeReport = 0x04;
constexpr std::uint8_t kSendConfirm = 0x13;
constexpr std::uint8_t kResetDone = 0x42;
constexpr std::uint8_t kNodeAdded = 0x4A;
constexpr std::uint8_t kNodeRemoved = 0x4B;
}  // namespace home

// A module event for the main view (window message 3024): wParam is the
// function code, lParam the parameter.
struct HomeAutomationEvent {
    std::uint8_t functionCode = 0;
    std::uint32_t param = 0;
    bool operator==(const HomeAutomationEvent&) const = default;
};

// Pair n: (n when node n is known, else 0; the last value node n reported).
using NodeTable = std::array<std::pair<std::uint8_t, std::uint8_t>, home::kNodes>;

// The home-automation module behind the unit: acknowledges every module frame
// (response 18), mirrors the node table and the unit's home-control memory
// (response 20), and reports module events.
//
// The read thread writes the mirror while the GUI reads it; a small lock
// guards it and is never held while acknowledging or reporting an event.
class HomeAutomation {
  public:
    // Called with the acknowledgement report to write (through the paced
    // write path); called with each event to post to the main view.
    using AckSender = std::function<void(const Report&)>;
    using EventCallback = std::function<void(const HomeAutomationEvent&)>;

    explicit HomeAutomation(DebugTrace* trace = nullptr) : trace_(trace) {}
    HomeAutomation(const HomeAutomation&) = delete;
    HomeAutomation& operator=(const HomeAutomation&) = delete;

    // Everything back to zero (start-up).
    void reset();

    // The bare acknowledgement 02 12 01 06.
    static Report acknowledgement();

    // Response 18: one module frame (byte 3 start byte or 0x06, byte 4
    // length, byte 5 type, byte 6 function code, parameters from byte 7).
    // An acknowledgement from the module is neither answered nor
    // interpreted; every other frame is acknowledged first. Either callback
    // may be empty.
    void handleFrame(const Report& report, const AckSender& ack, const EventCallback& onEvent);

    // Response 20: bytes 2..3 the address (big-endian), byte 4 the length,
    // data from byte 5. Device-table and group-table pieces go to the start
    // of the entry or record holding the address; the two areas take them
    // at the exact address. Nothing is written past the end of the table
    // a piece starts in (the two areas count as one range here), nor past
    // the report's end.
    void handleMemory(const Report& report);

    // Copies of the mirror.
    NodeTable nodeTable() const;
    std::array<std::uint8_t, home::kDeviceEntrySize> deviceEntry(std::size_t node) const;
    std::array<std::uint8_t, home::kDeviceTableSize> deviceTable() const;
    std::array<std::uint8_t, home::kGroupTableSize> groupTable() const;
    std::array<std::uint8_t, home::kHomeAreaASize> homeAreaA() const;
    std::array<std::uint8_t, home::kHomeAreaBSize> homeAreaB() const;

  private:
    template <std::size_t N>
    std::array<std::uint8_t, N> copyOut(std::size_t address) const;

    DebugTrace* trace_;
    mutable std::mutex mutex_;
    NodeTable nodes_{};
    std::array<std::uint8_t, home::kMemorySize> memory_{};
};

// Fuzz entry: feeds arbitrary bytes, 61 at a time, as responses 18 and 20.
void fuzzHomeAutomation(std::span<const std::uint8_t> data);

}  // namespace v36
