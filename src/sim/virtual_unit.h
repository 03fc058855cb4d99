#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/backend.h"
#include "protocol/mode_file.h"

namespace v36 {

namespace sim {
class UnitCore;
}

// What the virtual unit is and how it behaves; everything may also be
// changed while it runs.
struct VirtualUnitConfig {
    // Time from a report to its answer.
    std::chrono::microseconds latency{1000};
    std::string model = "V36";
    std::uint8_t protocolVersion = 12;
    std::string dspVersion = "2013-06-18";
    std::string mcuVersion = "2013-06-21";
    // Time from "learn key k" to the captured code.
    std::chrono::milliseconds learnDelay{400};
    // Time a restart keeps the unit away (removal to arrival).
    std::chrono::milliseconds restartDelay{1500};
    std::string path = "virtual:v36";
    // The USB serial number string the unit reports (may be empty).
    std::string serial = "SIM0001";
    std::array<std::u16string, 4> modeNames{u"KTV", u"Cinema", u"Music", u"Party"};
    // Keep every report in both directions (tests); off for long runs.
    bool recording = true;
    // Faults from the start: the share of answers left out or replaced by
    // random bytes (0..100), and the number of received reports after
    // which the unit is pulled out (0: never).
    int dropPercent = 0;
    int garbagePercent = 0;
    int unplugAfter = 0;
    // The set the unit holds when it starts (a mode file), else its factory set.
    std::optional<ModeImage> startState;
};

// A whole number within low..high written in `text` and nothing else, or
// nothing (the numbers of the virtual units' options).
std::optional<int> wholeNumber(std::string_view text, int low, int high);
// Applies one fault named as on the command line: "silent", "drop=PERCENT",
// "garbage=PERCENT", "unplug-after=N", "model=TEXT" or "protocol=N".
// Returns an empty string, or what is wrong with `fault`.
std::string applySimFault(VirtualUnitConfig& config, std::string_view fault);
// Sets the time from a report to its answer from whole milliseconds
// (0..10000); returns an empty string or the error.
std::string applySimLatency(VirtualUnitConfig& config, std::string_view milliseconds);

// The unit's stand-in: a link backend that answers every report the way
// the unit does, keeps its own parameter and register spaces, memory
// modes, machine settings and learned remote keys, and can be made slow,
// silent, wrong or unplugged. Thread-safe: the link's writers and its read
// thread use it at once.
class VirtualUnit : public LinkBackend {
  public:
    static constexpr int kRegisterSpace = 1193;
    static constexpr int kMaxWords = 13;

    struct Traffic {
        bool toUnit = false;  // true: written by the application
        Report report{};
    };

    explicit VirtualUnit(VirtualUnitConfig config = {});
    ~VirtualUnit() override;
    VirtualUnit(const VirtualUnit&) = delete;
    VirtualUnit& operator=(const VirtualUnit&) = delete;

    // --- LinkBackend --------------------------------------------------------
    // The unit, while it is plugged in.
    UnitList listUnits(DebugTrace& trace) override;
    // Opens a session when the unit is plugged in; the unit then sends the
    // names of its four memory modes.
    DeviceOpenResult openDevice(DebugTrace& trace) override;
    DeviceOpenResult openDevice(DebugTrace& trace, std::string_view path) override;
    // Events come on the unit's own thread.
    std::unique_ptr<HotplugWatcher> watchHotplug(HotplugHandler handler, HotplugDelivery delivery,
                                                 std::string* error = nullptr) override;

    // --- Behaviour ------------------------------------------------------------
    void setLatency(std::chrono::microseconds latency);
    void setModel(std::string model);
    void setProtocolVersion(std::uint8_t version);
    void setLearnDelay(std::chrono::milliseconds delay);
    void setRestartDelay(std::chrono::milliseconds delay);
    // The code the next learned keys get (default: 0x40 + key number).
    void setLearnedCode(std::uint8_t code);
    void setModeName(int mode, std::u16string name);
    void setRecording(bool on);

    // --- Faults -----------------------------------------------------------------
    // Keep receiving but send nothing.
    void setDropAnswers(bool on);
    // Answer every report with random bytes (the report id stays 2).
    void setGarbageAnswers(bool on);
    // Leave out, or answer with random bytes, this share (0..100) of answers.
    void setDropPercent(int percent);
    void setGarbagePercent(int percent);
    // Pulled out (as unplug()) once `reports` more reports have come in;
    // 0 cancels.
    void unplugAfter(int reports);
    // Pulled out now: reads of the open session fail, writes fail, and a
    // removal is reported. plugIn() brings it back with an arrival.
    void unplug();
    void plugIn();
    // Unplugged now and plugged in again after `away`.
    void unplugFor(std::chrono::milliseconds away);
    bool pluggedIn() const;
    // The node path and the USB serial number string it is listed with.
    std::string path() const;
    std::string serial() const;

    // Sends a report as if the unit sent it by itself (module frames,
    // memory data, status bytes).
    void sendReport(const Report& report);

    // --- Inspection ---------------------------------------------------------------
    // The words of DSP parameter block.index as the unit holds them.
    std::vector<std::uint32_t> paramWords(int block, int index) const;
    std::array<std::uint8_t, kRegisterSpace> registers() const;
    int currentMode() const;
    std::array<std::uint8_t, 12> settings() const;
    std::array<std::uint8_t, 18> keyTable() const;
    std::uint8_t musicSource() const;
    std::uint8_t hdmiInput() const;

    std::vector<Traffic> traffic() const;
    // Only the reports the application wrote, or only those the unit sent.
    std::vector<Report> received() const;
    std::vector<Report> sent() const;
    void clearTraffic();
    // Waits until the unit has received `count` reports with `code` since
    // the traffic was last cleared.
    bool waitForReceived(std::uint8_t code, std::size_t count, std::chrono::milliseconds timeout);

  private:
    std::shared_ptr<sim::UnitCore> core_;
};

}  // namespace v36
