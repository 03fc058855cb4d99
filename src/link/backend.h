#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/debug_trace.h"

namespace v36 {

// One report in either direction (the protocol layer names the same type).
using Report = std::array<std::uint8_t, 61>;

// The write side of whatever carries reports to the unit (the HID device,
// the virtual unit, a recording fake in tests).
class ReportTransport {
  public:
    virtual ~ReportTransport() = default;
    // Writes one report; returns the number of bytes written, 0 on failure.
    virtual int writeReport(const std::uint8_t* report, std::size_t length) = 0;
};

// An open unit: writes from any thread (the link serialises them), reads
// only from the link's read thread.
class LinkDevice : public ReportTransport {
  public:
    enum class ReadStatus { Data, Timeout, Failed };

    // Waits at most `timeout` for one input report. On Data, `out` holds
    // it (byte 0 the report id, unused bytes zero).
    virtual ReadStatus read(Report& out, std::chrono::milliseconds timeout) = 0;
    // Makes a read that is waiting return soon (closing the link).
    virtual void interrupt() {}
    // The interface path, kept to recognise the unit's removal.
    virtual std::string path() const = 0;
};

// Why opening failed.
enum class OpenError {
    None,
    AlreadyOpen,       // a unit is open already; nothing was changed
    NotFound,          // no unit present
    PermissionDenied,  // the unit is present but its node may not be opened
    OpenFailed,        // the unit is present but opening failed otherwise
    EnumerationFailed  // the list of HID devices could not be read
};

// What a backend's discovery found.
struct DeviceOpenResult {
    std::shared_ptr<LinkDevice> device;  // set on success
    OpenError error = OpenError::None;
    std::string message;  // for the user, when nothing was opened
    std::string path;     // the node that was opened, or the one that failed
};

// One unit that discovery found, before it is opened.
struct UnitListing {
    std::string path;    // the node: tells two units apart within a run
    std::string serial;  // the USB serial number string; empty when the unit has none
    // PermissionDenied when the node may not be opened (`message` says how
    // to grant it); None otherwise.
    OpenError problem = OpenError::None;
    std::string message;
};

// Every unit attached now, sorted by path.
struct UnitList {
    std::vector<UnitListing> units;
    OpenError error = OpenError::None;  // EnumerationFailed when the system's list failed
    std::string message;
    bool ok() const { return error == OpenError::None; }
};

// The answer of openLink: value 1 when a unit was opened and the read
// thread started, 0 otherwise with the reason.
struct OpenResult {
    int value = 0;
    OpenError error = OpenError::None;
    std::string message;
    std::string path;

    bool ok() const { return value == 1; }
    explicit operator bool() const { return ok(); }
};

// Arrival and removal of a unit (or, for removals, of any HID node: the
// link compares the path with the one it holds open).
struct HotplugEvent {
    enum class Kind { Arrival, Removal };
    Kind kind = Kind::Arrival;
    std::string path;
};
using HotplugHandler = std::function<void(const HotplugEvent&)>;

// Watches for arrival and removal. Events are delivered on the watcher's
// own thread, or, when fd() is not -1, by processEvents() which the owner
// calls whenever fd() is readable (a GUI event loop watches it).
class HotplugWatcher {
  public:
    virtual ~HotplugWatcher() = default;
    virtual int fd() const { return -1; }
    virtual void processEvents() {}
};

// How the owner wants hotplug events: on a thread of the watcher's own, or
// through a file descriptor it watches (where the platform has one).
enum class HotplugDelivery { OwnThread, FileDescriptor };

// Where units come from: the HID devices of the system, or the virtual unit.
class LinkBackend {
  public:
    virtual ~LinkBackend() = default;
    // Lists every attached unit without opening any.
    virtual UnitList listUnits(DebugTrace& trace) = 0;
    // Finds and opens the first unit that opens.
    virtual DeviceOpenResult openDevice(DebugTrace& trace) = 0;
    // Opens the unit at `path` (as listed); NotFound when it is not attached.
    virtual DeviceOpenResult openDevice(DebugTrace& trace, std::string_view path) = 0;
    // Starts watching for arrival and removal; null when that is impossible
    // (`error` then says why).
    virtual std::unique_ptr<HotplugWatcher> watchHotplug(HotplugHandler handler,
                                                         HotplugDelivery delivery,
                                                         std::string* error = nullptr) = 0;
};

}  // namespace v36
