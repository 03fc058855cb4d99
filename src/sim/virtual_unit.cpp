#include "sim/virtual_unit.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "link/link.h"
#include "protocol/bytes.h"
#include "protocol/param_store.h"
#include "protocol/report.h"
#include "protocol/senders.h"
#include "protocol/words.h"

namespace v36 {

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBlocks = 10;
constexpr int kSlots = kBlocks * 256;
constexpr int kRegisterSpace = VirtualUnit::kRegisterSpace;
constexpr std::size_t kMaxWords = VirtualUnit::kMaxWords;
constexpr std::size_t kMaxPiece = 56;
constexpr std::uint16_t kModeNameBase = 0x0F00;

// The unit's memory: its DSP parameters (the words as received) and its
// register space.
struct Memory {
    std::array<std::array<std::uint32_t, kMaxWords>, kSlots> words{};
    std::array<std::uint8_t, kRegisterSpace> registers{};
};

int slotOf(int block, int index) {
    if (block < 0 || block >= kBlocks || index < 0 || index > 255) return -1;
    return block * 256 + index;
}

// Keeps what the application's own start-up state sends, so that the unit
// comes up with the values a fresh application would give it.
class CaptureTransport : public ReportTransport {
  public:
    explicit CaptureTransport(Event& answered) : answered_(answered) {}
    int writeReport(const std::uint8_t* report, std::size_t length) override {
        Report r{};
        std::memcpy(r.data(), report, std::min(length, r.size()));
        reports.push_back(r);
        answered_.set();
        return static_cast<int>(r.size());
    }
    std::vector<Report> reports;

  private:
    Event& answered_;
};

// The unit's memory holding what `store` holds: the store's whole set sent
// to a capture, as the unit would take it.
std::unique_ptr<Memory> memoryOf(ParamStore& store) {
    auto memory = std::make_unique<Memory>();
    DebugTrace trace;
    trace.setEnabled(false);
    Link link(trace);
    CaptureTransport capture(link.responseEvent);
    link.attach(capture);
    Senders senders(store, link);
    senders.setSleeper([](std::chrono::milliseconds) {});
    senders.sendWord(w::micVolume);
    senders.sendWord(w::musicVolume);
    senders.sendFullSet(false);
    for (int k = 0; k < 8; ++k)
        senders.sendSpeakerLevel(k, store.speakers.snapshot());
    link.detach();

    for (const Report& r : capture.reports) {
        if (r[1] != cmd::kSetParam) continue;
        const int slot = slotOf(r[3], r[4]);
        const std::size_t n = std::min<std::size_t>(r[5], kMaxWords);
        if (slot < 0) continue;
        auto& words = memory->words[static_cast<std::size_t>(slot)];
        for (std::size_t k = 0; k < n; ++k)
            words[k] = getBE32(r.data() + 6 + 4 * k);
    }
    store.registers.read(0, memory->registers.data(), kRegisterBlockSize);
    const auto soundField = store.encodeSoundField();
    std::copy(soundField.begin(), soundField.end(), memory->registers.begin() + kSoundFieldOffset);
    store.speakers.read(0, memory->registers.data() + kSpeakerOffset, kSpeakerBlockSize);
    return memory;
}

std::unique_ptr<Memory> factoryMemory() {
    ParamStore store;
    store.resetToDefaults();
    // What a unit out of the box plays: the start volumes of its machine
    // settings, unity mix levels, both microphone channels fed, moderate
    // effects, compressors at 1:1 and the shortest output delays.
    ParamBlock& p = store.params;
    p.setInt(w::micVolume, 60);
    p.setInt(w::musicVolume, 60);
    p.setInt(w::effectVolume, 80);
    for (int k = 0; k < 4; ++k) {
        p.setInt(w::micRouteA + k, 100);
        p.setInt(w::micRouteB + k, 100);
        p.setInt(w::micLevel + k, 100);
    }
    for (int word : {w::echoAParam15, w::echoBParam22, w::reverbAParam15, w::reverbBParam21}) {
        p.setInt(word, 50);
    }
    p.setInt(w::echoVolume, 100);
    p.setInt(w::reverbVolume, 100);
    p.setFloat(w::reverbAParam18, 50.0f);
    p.setFloat(w::reverbBParam24, 50.0f);
    p.setFloat(w::musicAgcLevel, -12.0f);
    for (const OutputGroup& g : kOutputGroups) {
        for (int k = 0; k < 4; ++k)
            p.setInt(g.level(k), 100);
        p.setFloat(g.compRatio(), 1.0f);
        p.setFloat(g.compAttack(), 10.0f);
        p.setFloat(g.compRelease(), 100.0f);
        for (int k = 0; k < g.channels(); ++k)
            p.setFloat(g.delayMs(k), 1.5f);
    }
    for (int k = 0; k < 8; ++k)
        store.setSpeakerLevel(k, 0.0f);
    return memoryOf(store);
}

// The memory of a unit that starts from a mode file: its factory state with
// the file's set over it.
std::unique_ptr<Memory> startMemory(const ModeImage& image) {
    ParamStore store;
    store.resetToDefaults();
    applyModeImage(store, image);
    return memoryOf(store);
}

std::uint8_t triangle(std::uint32_t t, std::uint32_t period, std::uint32_t phase, int low,
                      int high) {
    const std::uint32_t x = (t + phase) % period;
    const std::uint32_t half = period / 2;
    const std::uint32_t up = x < half ? x : period - x;
    return static_cast<std::uint8_t>(low +
                                     static_cast<int>(up) * (high - low) / static_cast<int>(half));
}

}  // namespace

class UnitCore : public std::enable_shared_from_this<UnitCore> {
  public:
    explicit UnitCore(VirtualUnitConfig config)
        : config_(std::move(config)), factory_(factoryMemory()) {
        live_ = config_.startState ? startMemory(*config_.startState)
                                   : std::make_unique<Memory>(*factory_);
        for (auto& mode : modes_)
            mode = std::make_unique<Memory>(*factory_);
        if (config_.startState) {
            source_ = config_.startState->musicSource >= 0 && config_.startState->musicSource <= 4
                          ? static_cast<std::uint8_t>(config_.startState->musicSource)
                          : 0;
            hdmi_ = static_cast<std::uint8_t>(config_.startState->hdmiInput & 3);
        }
        settings_ = {0, 0, 0, 60, 60, 99, 99, 0, 0, 0, 0, 0};
        recording_ = config_.recording;
        dropPercent_ = std::clamp(config_.dropPercent, 0, 100);
        garbagePercent_ = std::clamp(config_.garbagePercent, 0, 100);
        unplugAfter_ = std::max(config_.unplugAfter, 0);
        scheduler_ = std::thread(&UnitCore::runScheduler, this);
    }

    ~UnitCore() { shutdown(); }

    // Stops the unit's own thread: nothing scheduled runs any more.
    void shutdown() {
        {
            std::lock_guard<std::mutex> lock(schedMutex_);
            stopping_ = true;
            tasks_.clear();
        }
        schedCv_.notify_all();
        if (scheduler_.joinable() && scheduler_.get_id() != std::this_thread::get_id()) {
            scheduler_.join();
        }
    }

    // --- Sessions ------------------------------------------------------------------

    DeviceOpenResult open();

    int receive(std::uint64_t session, const std::uint8_t* data, std::size_t length) {
        bool pullOut = false;
        {
            std::lock_guard<std::mutex> lock(m_);
            if (session != session_ || !plugged_) return 0;
            Report r{};
            std::memcpy(r.data(), data, std::min(length, r.size()));
            if (recording_) traffic_.push_back({true, r});
            handle(r);
            pullOut = unplugAfter_ > 0 && --unplugAfter_ == 0;
        }
        cv_.notify_all();
        if (pullOut) unplug();
        return static_cast<int>(kReportSize);
    }

    LinkDevice::ReadStatus take(std::uint64_t session, Report& out,
                                std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_);
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            if (session != session_ || !plugged_) return LinkDevice::ReadStatus::Failed;
            if (interrupted_ == session) return LinkDevice::ReadStatus::Timeout;
            const auto now = Clock::now();
            auto wake = deadline;
            if (!queue_.empty()) {
                auto first = queue_.begin();
                if (first->first.first <= now) {
                    out = first->second;
                    queue_.erase(first);
                    if (recording_) traffic_.push_back({false, out});
                    return LinkDevice::ReadStatus::Data;
                }
                wake = std::min(wake, first->first.first);
            }
            if (now >= deadline) return LinkDevice::ReadStatus::Timeout;
            // The unit answers on time: a sleeping thread wakes up to a tenth
            // of a millisecond late, so the last stretch before an answer is
            // due is waited out awake.
            constexpr auto kAwake = std::chrono::microseconds(300);
            if (queue_.empty()) {
                cv_.wait_until(lock, wake);
            } else if (wake - now > kAwake) {
                cv_.wait_until(lock, wake - kAwake);
            } else {
                lock.unlock();
                std::this_thread::yield();
                lock.lock();
            }
        }
    }

    void interrupt(std::uint64_t session) {
        {
            std::lock_guard<std::mutex> lock(m_);
            interrupted_ = session;
        }
        cv_.notify_all();
    }

    // --- Faults and behaviour ---------------------------------------------------------

    template <typename F>
    void locked(F&& change) {
        {
            std::lock_guard<std::mutex> lock(m_);
            change();
        }
        cv_.notify_all();
    }

    template <typename F>
    auto read(F&& get) const {
        std::lock_guard<std::mutex> lock(m_);
        return get();
    }

    void unplug() {
        {
            std::lock_guard<std::mutex> lock(m_);
            if (!plugged_) return;
            plugged_ = false;
            queue_.clear();
            learnKey_ = 0;
        }
        cv_.notify_all();
        notifyHotplug(HotplugEvent::Kind::Removal);
    }

    void plugIn() {
        {
            std::lock_guard<std::mutex> lock(m_);
            if (plugged_) return;
            plugged_ = true;
        }
        notifyHotplug(HotplugEvent::Kind::Arrival);
    }

    void unplugFor(std::chrono::milliseconds away) {
        unplug();
        schedule(away, [this] { plugIn(); });
    }

    void send(const Report& r) {
        locked([&] { answer(r); });
    }

    bool waitForReceived(std::uint8_t code, std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, timeout, [&] {
            std::size_t n = 0;
            for (const auto& t : traffic_) {
                if (t.toUnit && t.report[1] == code) ++n;
            }
            return n >= count;
        });
    }

    // --- Hotplug -----------------------------------------------------------------------

    std::uint64_t addHandler(HotplugHandler handler) {
        std::lock_guard<std::recursive_mutex> delivery(deliveryMutex_);
        std::lock_guard<std::mutex> lock(handlersMutex_);
        const std::uint64_t id = ++nextHandler_;
        handlers_.emplace(id, std::move(handler));
        return id;
    }

    // Returns once no delivery to the handler is under way.
    void removeHandler(std::uint64_t id) {
        std::lock_guard<std::recursive_mutex> delivery(deliveryMutex_);
        std::lock_guard<std::mutex> lock(handlersMutex_);
        handlers_.erase(id);
    }

    // Unit state, all guarded by m_.
    VirtualUnitConfig config_;
    std::unique_ptr<Memory> factory_;
    std::unique_ptr<Memory> live_;
    std::array<std::unique_ptr<Memory>, 4> modes_;
    int currentMode_ = 0;
    std::uint8_t source_ = 0;
    std::uint8_t hdmi_ = 0;
    std::array<std::uint8_t, 12> settings_{};
    std::array<std::uint8_t, 18> keys_{};
    std::optional<std::uint8_t> learnedCode_;
    bool paired_ = false;
    int dropPercent_ = 0;     // answers left out, 0..100
    int garbagePercent_ = 0;  // answers replaced by random bytes, 0..100
    int unplugAfter_ = 0;     // received reports until the unit is pulled out
    bool plugged_ = true;
    bool recording_ = true;
    std::vector<VirtualUnit::Traffic> traffic_;

    mutable std::mutex m_;
    std::condition_variable cv_;

  private:
    using Key = std::pair<Clock::time_point, std::uint64_t>;

    // Queues one report to the application (m_ held).
    void answer(Report r, Clock::duration extra = Clock::duration::zero()) {
        if (dropPercent_ > 0 && static_cast<int>(nextRandom() % 100) < dropPercent_) return;
        if (garbagePercent_ > 0 && static_cast<int>(nextRandom() % 100) < garbagePercent_) {
            for (std::size_t i = 1; i < r.size(); ++i)
                r[i] = static_cast<std::uint8_t>(nextRandom());
            r[0] = kReportId;
        }
        queue_.emplace(Key{Clock::now() + config_.latency + extra, ++sequence_}, r);
    }

    void acknowledge(std::uint8_t code) {
        Report a = makeReport(code);
        a[2] = 1;
        a[3] = 6;
        answer(a);
    }

    void answerText(std::uint8_t code, const std::string& text) {
        Report a = makeReport(code);
        const std::size_t n = std::min(text.size(), kReportSize - 3);
        std::memcpy(a.data() + 2, text.data(), n);
        answer(a);
    }

    void sendModeNames() {
        for (std::size_t m = 0; m < 4; ++m) {
            Report a = makeReport(cmd::kModeName);
            putBE16(a.data() + 2, static_cast<std::uint16_t>(kModeNameBase + 0x40 * m));
            const std::u16string& name = config_.modeNames[m];
            if (name.empty()) {
                a[4] = 8;
                std::fill(a.begin() + 5, a.begin() + 9, 0xFF);  // blank memory
            } else {
                const std::size_t n = std::min<std::size_t>(name.size(), 23);
                a[4] = static_cast<std::uint8_t>(2 * n);
                for (std::size_t k = 0; k < n; ++k)
                    putBE16(a.data() + 5 + 2 * k, name[k]);
            }
            answer(a);
        }
    }

    void liveStatus() {
        const std::uint32_t t = ++statusTick_;
        Report a = makeReport(cmd::kQueryStatus);
        std::uint8_t* s = a.data() + 2;
        for (std::uint32_t k = 0; k < 6; ++k)
            s[k] = triangle(t, 16 + 2 * k, 5 * k, 0, 200);
        s[7] = static_cast<std::uint8_t>((source_ == 1 ? 0x01 : 0x00) |
                                         (source_ == 2 ? 0x10 : 0x00) | (paired_ ? 0x20 : 0x00));
        // Two wireless microphones: RF level, AF level, channel, battery.
        s[8] = triangle(t, 40, 0, 160, 250);
        s[9] = triangle(t, 10, 3, 0, 15);
        s[10] = 37;
        s[11] = 206;
        s[12] = triangle(t, 50, 11, 150, 240);
        s[13] = triangle(t, 14, 0, 0, 15);
        s[14] = 120;
        s[15] = 190;
        answer(a);
    }

    std::uint32_t nextRandom() {
        rng_ ^= rng_ << 13;
        rng_ ^= rng_ >> 17;
        rng_ ^= rng_ << 5;
        return rng_;
    }

    void handle(const Report& r);

    void schedule(std::chrono::milliseconds delay, std::function<void()> task) {
        {
            std::lock_guard<std::mutex> lock(schedMutex_);
            if (stopping_) return;
            tasks_.emplace(Key{Clock::now() + delay, ++taskSequence_}, std::move(task));
        }
        schedCv_.notify_all();
    }

    void notifyHotplug(HotplugEvent::Kind kind) {
        schedule(std::chrono::milliseconds(0), [this, kind] {
            std::lock_guard<std::recursive_mutex> delivery(deliveryMutex_);
            std::vector<HotplugHandler> handlers;
            {
                std::lock_guard<std::mutex> lock(handlersMutex_);
                for (const auto& [id, h] : handlers_)
                    handlers.push_back(h);
            }
            const std::string path = read([this] { return config_.path; });
            for (const auto& h : handlers)
                h(HotplugEvent{kind, path});
        });
    }

    void runScheduler() {
        std::unique_lock<std::mutex> lock(schedMutex_);
        while (!stopping_) {
            if (tasks_.empty()) {
                schedCv_.wait(lock);
                continue;
            }
            auto first = tasks_.begin();
            if (first->first.first > Clock::now()) {
                // A copy: the task may be gone (a shutdown clears them)
                // while the wait has let go of the lock.
                const auto when = first->first.first;
                schedCv_.wait_until(lock, when);
                continue;
            }
            auto task = std::move(first->second);
            tasks_.erase(first);
            lock.unlock();
            task();
            lock.lock();
        }
    }

    // Sessions and answers (m_).
    std::uint64_t session_ = 0;
    std::uint64_t nextSession_ = 0;
    std::uint64_t interrupted_ = 0;
    std::map<Key, Report> queue_;
    std::uint64_t sequence_ = 0;
    int learnKey_ = 0;
    std::uint64_t learnSequence_ = 0;
    std::uint32_t statusTick_ = 0;
    std::uint32_t rng_ = 0x2545F491u;

    // The unit's own thread for timed events.
    std::mutex schedMutex_;
    std::condition_variable schedCv_;
    std::map<Key, std::function<void()>> tasks_;
    std::uint64_t taskSequence_ = 0;
    bool stopping_ = false;
    std::thread scheduler_;

    std::recursive_mutex deliveryMutex_;
    std::mutex handlersMutex_;
    std::map<std::uint64_t, HotplugHandler> handlers_;
    std::uint64_t nextHandler_ = 0;

    friend class VirtualDevice;
};

// One open handle on the unit. A new open, or pulling the unit out, ends it.
class VirtualDevice : public LinkDevice {
  public:
    VirtualDevice(std::shared_ptr<UnitCore> core, std::uint64_t session, std::string path)
        : core_(std::move(core)), session_(session), path_(std::move(path)) {}

    int writeReport(const std::uint8_t* report, std::size_t length) override {
        return core_->receive(session_, report, length);
    }
    ReadStatus read(Report& out, std::chrono::milliseconds timeout) override {
        return core_->take(session_, out, timeout);
    }
    void interrupt() override { core_->interrupt(session_); }
    std::string path() const override { return path_; }

  private:
    std::shared_ptr<UnitCore> core_;
    std::uint64_t session_;
    std::string path_;
};

DeviceOpenResult UnitCore::open() {
    DeviceOpenResult result;
    {
        std::lock_guard<std::mutex> lock(m_);
        if (!plugged_) {
            result.error = OpenError::NotFound;
            result.message = "The virtual unit is unplugged.";
            return result;
        }
        session_ = ++nextSession_;
        queue_.clear();
        learnKey_ = 0;
        sendModeNames();
        result.path = config_.path;
        result.device = std::make_shared<VirtualDevice>(shared_from_this(), session_, config_.path);
    }
    cv_.notify_all();
    return result;
}

void UnitCore::handle(const Report& r) {
    const std::uint8_t code = r[1];
    switch (code) {
        case cmd::kSetMode:
            if (r[2] <= 3) currentMode_ = r[2];
            acknowledge(code);
            break;
        case cmd::kStoreMode:
            if (r[2] <= 3) *modes_[r[2]] = *live_;
            acknowledge(code);
            break;
        case cmd::kRecallMode:
            acknowledge(code);
            if (r[2] <= 3) {
                *live_ = *modes_[r[2]];
                currentMode_ = r[2];
                sendModeNames();
            }
            break;
        case cmd::kResetMode:
            if (r[2] <= 3) {
                *modes_[r[2]] = *factory_;
                if (r[2] == currentMode_) *live_ = *factory_;
            }
            acknowledge(code);
            break;
        case cmd::kQueryMode: {
            Report a = makeReport(code);
            a[2] = static_cast<std::uint8_t>(currentMode_);
            answer(a);
            break;
        }
        case cmd::kSetParam: {
            const int slot = slotOf(r[3], r[4]);
            const std::size_t n = std::min<std::size_t>(r[5], kMaxWords);
            if (slot >= 0) {
                auto& words = live_->words[static_cast<std::size_t>(slot)];
                for (std::size_t k = 0; k < n; ++k)
                    words[k] = getBE32(r.data() + 6 + 4 * k);
            }
            Report a = makeReport(code);
            std::copy(r.begin() + 2, r.begin() + 6, a.begin() + 2);
            answer(a);
            break;
        }
        case cmd::kReadParam: {
            const int slot = slotOf(r[3], r[4]);
            const std::size_t n = std::clamp<std::size_t>(r[5], 1, kMaxWords);
            Report a = makeReport(code);
            a[3] = r[3];
            a[4] = r[4];
            a[5] = static_cast<std::uint8_t>(n);
            if (slot >= 0) {
                const auto& words = live_->words[static_cast<std::size_t>(slot)];
                for (std::size_t k = 0; k < n; ++k)
                    putBE32(a.data() + 6 + 4 * k, words[k]);
            }
            answer(a);
            break;
        }
        case cmd::kSetMusicSource:
            source_ = r[2] <= 4 ? r[2] : 0;
            acknowledge(code);
            break;
        case cmd::kQueryMusicSource: {
            Report a = makeReport(code);
            a[2] = source_;
            answer(a);
            break;
        }
        case cmd::kQueryStatus:
            liveStatus();
            break;
        case cmd::kMicPair:
            paired_ = true;
            acknowledge(code);
            break;
        case cmd::kSetHdmi:
            hdmi_ = static_cast<std::uint8_t>(r[2] & 3);
            acknowledge(code);
            break;
        case cmd::kQueryHdmi: {
            Report a = makeReport(code);
            a[2] = hdmi_;
            answer(a);
            break;
        }
        case cmd::kLearnKey: {
            // No answer until a code has been captured.
            const int key = r[2];
            if (key < 1 || key > 17) break;
            learnKey_ = key;
            const std::uint64_t attempt = ++learnSequence_;
            schedule(config_.learnDelay, [this, key, attempt] {
                locked([&] {
                    if (learnKey_ != key || learnSequence_ != attempt || !plugged_) return;
                    const auto learned =
                        learnedCode_.value_or(static_cast<std::uint8_t>(0x40 + key));
                    keys_[0] = 1;
                    keys_[static_cast<std::size_t>(key)] = learned;
                    learnKey_ = 0;
                    Report a = makeReport(cmd::kLearnKey);
                    a[2] = 1;
                    a[3] = static_cast<std::uint8_t>(key);
                    a[4] = learned;
                    answer(a);
                });
            });
            break;
        }
        case cmd::kStopLearn:
            learnKey_ = 0;
            ++learnSequence_;
            acknowledge(code);
            break;
        case cmd::kQueryKeys: {
            Report a = makeReport(code);
            std::copy(keys_.begin(), keys_.begin() + 16, a.begin() + 2);
            answer(a);
            break;
        }
        case cmd::kStoreKeys:
            std::copy(r.begin() + 2, r.begin() + 20, keys_.begin());
            acknowledge(code);
            break;
        case cmd::kRestart:
            acknowledge(code);
            if (r[2] == 0xAA) {
                // Gone once the acknowledgement is out, back after the restart.
                const auto away = config_.restartDelay;
                schedule(std::chrono::duration_cast<std::chrono::milliseconds>(config_.latency) +
                             std::chrono::milliseconds(20),
                         [this, away] { unplugFor(away); });
            }
            break;
        case cmd::kQueryDspVersion:
            answerText(code, config_.dspVersion);
            break;
        case cmd::kQueryProtocol: {
            Report a = makeReport(code);
            a[2] = config_.protocolVersion;
            answer(a);
            break;
        }
        case cmd::kQueryModel:
            answerText(code, config_.model);
            break;
        case cmd::kQueryMcuVersion:
            answerText(code, config_.mcuVersion);
            break;
        case cmd::kWriteRegisters: {
            const std::size_t offset = getBE16(r.data() + 2);
            const std::size_t n = std::min<std::size_t>(r[4], kMaxPiece);
            for (std::size_t k = 0; k < n && offset + k < live_->registers.size(); ++k)
                live_->registers[offset + k] = r[5 + k];
            acknowledge(code);
            break;
        }
        case cmd::kReadRegisters: {
            const std::size_t offset = getBE16(r.data() + 2);
            const std::size_t n = std::min<std::size_t>(r[4], kMaxPiece);
            Report a = makeReport(code);
            std::copy(r.begin() + 2, r.begin() + 4, a.begin() + 2);
            a[4] = static_cast<std::uint8_t>(n);
            for (std::size_t k = 0; k < n && offset + k < live_->registers.size(); ++k)
                a[5 + k] = live_->registers[offset + k];
            answer(a);
            break;
        }
        case cmd::kWriteSettings:
            std::copy(r.begin() + 2, r.begin() + 14, settings_.begin());
            acknowledge(code);
            break;
        case cmd::kQuerySettings: {
            Report a = makeReport(code);
            std::copy(settings_.begin(), settings_.end(), a.begin() + 2);
            answer(a);
            break;
        }
        default:
            // Everything else (disconnect, module frames, ...) is acknowledged.
            acknowledge(code);
            break;
    }
}

}  // namespace sim

namespace {

class VirtualHotplugWatcher : public HotplugWatcher {
  public:
    VirtualHotplugWatcher(std::shared_ptr<sim::UnitCore> core, HotplugHandler handler)
        : core_(std::move(core)), id_(core_->addHandler(std::move(handler))) {}
    ~VirtualHotplugWatcher() override { core_->removeHandler(id_); }

  private:
    std::shared_ptr<sim::UnitCore> core_;
    std::uint64_t id_;
};

}  // namespace

VirtualUnit::VirtualUnit(VirtualUnitConfig config)
    : core_(std::make_shared<sim::UnitCore>(std::move(config))) {}

VirtualUnit::~VirtualUnit() {
    core_->shutdown();
}

DeviceOpenResult VirtualUnit::openDevice(DebugTrace& trace) {
    DeviceOpenResult result = core_->open();
    trace.write(result.device ? "连接目标设备成功!" : "连接目标设备失败，没有找到目标设备");
    return result;
}

UnitList VirtualUnit::listUnits(DebugTrace&) {
    UnitList list;
    core_->locked([&] {
        if (core_->plugged_)
            list.units.push_back({core_->config_.path, core_->config_.serial, OpenError::None, {}});
    });
    return list;
}

DeviceOpenResult VirtualUnit::openDevice(DebugTrace& trace, std::string_view path) {
    const std::string own = core_->read([this] { return core_->config_.path; });
    if (path != own) {
        DeviceOpenResult result;
        result.error = OpenError::NotFound;
        result.path = std::string(path);
        result.message = "No unit is attached at " + std::string(path) + ".";
        return result;
    }
    return openDevice(trace);
}

std::unique_ptr<HotplugWatcher> VirtualUnit::watchHotplug(HotplugHandler handler, HotplugDelivery,
                                                          std::string*) {
    return std::make_unique<VirtualHotplugWatcher>(core_, std::move(handler));
}

std::string VirtualUnit::path() const {
    return core_->read([this] { return core_->config_.path; });
}

std::string VirtualUnit::serial() const {
    return core_->read([this] { return core_->config_.serial; });
}

void VirtualUnit::setLatency(std::chrono::microseconds latency) {
    core_->locked([&] { core_->config_.latency = latency; });
}
void VirtualUnit::setModel(std::string model) {
    core_->locked([&] { core_->config_.model = std::move(model); });
}
void VirtualUnit::setProtocolVersion(std::uint8_t version) {
    core_->locked([&] { core_->config_.protocolVersion = version; });
}
void VirtualUnit::setLearnDelay(std::chrono::milliseconds delay) {
    core_->locked([&] { core_->config_.learnDelay = delay; });
}
void VirtualUnit::setRestartDelay(std::chrono::milliseconds delay) {
    core_->locked([&] { core_->config_.restartDelay = delay; });
}
void VirtualUnit::setLearnedCode(std::uint8_t code) {
    core_->locked([&] { core_->learnedCode_ = code; });
}
void VirtualUnit::setModeName(int mode, std::u16string name) {
    if (mode < 0 || mode > 3) return;
    core_->locked(
        [&] { core_->config_.modeNames.at(static_cast<std::size_t>(mode)) = std::move(name); });
}
void VirtualUnit::setRecording(bool on) {
    core_->locked([&] { core_->recording_ = on; });
}
void VirtualUnit::setDropAnswers(bool on) {
    core_->locked([&] { core_->dropPercent_ = on ? 100 : 0; });
}
void VirtualUnit::setGarbageAnswers(bool on) {
    core_->locked([&] { core_->garbagePercent_ = on ? 100 : 0; });
}
void VirtualUnit::setDropPercent(int percent) {
    core_->locked([&] { core_->dropPercent_ = std::clamp(percent, 0, 100); });
}
void VirtualUnit::setGarbagePercent(int percent) {
    core_->locked([&] { core_->garbagePercent_ = std::clamp(percent, 0, 100); });
}
void VirtualUnit::unplugAfter(int reports) {
    core_->locked([&] { core_->unplugAfter_ = std::max(reports, 0); });
}
void VirtualUnit::unplug() {
    core_->unplug();
}
void VirtualUnit::plugIn() {
    core_->plugIn();
}
void VirtualUnit::unplugFor(std::chrono::milliseconds away) {
    core_->unplugFor(away);
}
bool VirtualUnit::pluggedIn() const {
    return core_->read([this] { return core_->plugged_; });
}
void VirtualUnit::sendReport(const Report& report) {
    core_->send(report);
}

std::vector<std::uint32_t> VirtualUnit::paramWords(int block, int index) const {
    const int slot = sim::slotOf(block, index);
    if (slot < 0) return {};
    return core_->read([&] {
        const auto& w = core_->live_->words[static_cast<std::size_t>(slot)];
        return std::vector<std::uint32_t>(w.begin(), w.end());
    });
}
std::array<std::uint8_t, VirtualUnit::kRegisterSpace> VirtualUnit::registers() const {
    return core_->read([this] { return core_->live_->registers; });
}
int VirtualUnit::currentMode() const {
    return core_->read([this] { return core_->currentMode_; });
}
std::array<std::uint8_t, 12> VirtualUnit::settings() const {
    return core_->read([this] { return core_->settings_; });
}
std::array<std::uint8_t, 18> VirtualUnit::keyTable() const {
    return core_->read([this] { return core_->keys_; });
}
std::uint8_t VirtualUnit::musicSource() const {
    return core_->read([this] { return core_->source_; });
}
std::uint8_t VirtualUnit::hdmiInput() const {
    return core_->read([this] { return core_->hdmi_; });
}

std::vector<VirtualUnit::Traffic> VirtualUnit::traffic() const {
    return core_->read([this] { return core_->traffic_; });
}
std::vector<Report> VirtualUnit::received() const {
    std::vector<Report> out;
    for (const auto& t : traffic()) {
        if (t.toUnit) out.push_back(t.report);
    }
    return out;
}
std::vector<Report> VirtualUnit::sent() const {
    std::vector<Report> out;
    for (const auto& t : traffic()) {
        if (!t.toUnit) out.push_back(t.report);
    }
    return out;
}
void VirtualUnit::clearTraffic() {
    core_->locked([this] { core_->traffic_.clear(); });
}
bool VirtualUnit::waitForReceived(std::uint8_t code, std::size_t count,
                                  std::chrono::milliseconds timeout) {
    return core_->waitForReceived(code, count, timeout);
}

}  // namespace v36

namespace v36 {

std::optional<int> wholeNumber(std::string_view text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) return {};
    return value;
}

std::string applySimFault(VirtualUnitConfig& config, std::string_view fault) {
    const std::size_t eq = fault.find('=');
    const std::string_view name = fault.substr(0, eq);
    const std::string_view value = eq == std::string_view::npos ? "" : fault.substr(eq + 1);
    const bool hasValue = eq != std::string_view::npos;
    if (name == "silent" && !hasValue) {
        config.dropPercent = 100;
        return {};
    }
    if (name == "drop" || name == "garbage") {
        const auto percent = wholeNumber(value, 0, 100);
        if (!percent) return std::string(name) + " takes a percentage from 0 to 100";
        (name == "drop" ? config.dropPercent : config.garbagePercent) = *percent;
        return {};
    }
    if (name == "unplug-after") {
        const auto reports = wholeNumber(value, 1, 1000000000);
        if (!reports) return "unplug-after takes a number of reports (1 or more)";
        config.unplugAfter = *reports;
        return {};
    }
    if (name == "model") {
        if (!hasValue || value.size() > 29) return "model takes a text of up to 29 characters";
        config.model = std::string(value);
        return {};
    }
    if (name == "protocol") {
        const auto version = wholeNumber(value, 0, 255);
        if (!version) return "protocol takes a number from 0 to 255";
        config.protocolVersion = static_cast<std::uint8_t>(*version);
        return {};
    }
    return "unknown fault '" + std::string(fault) +
           "' (silent, drop=PERCENT, garbage=PERCENT, unplug-after=N, model=TEXT, protocol=N)";
}

std::string applySimLatency(VirtualUnitConfig& config, std::string_view milliseconds) {
    const auto ms = wholeNumber(milliseconds, 0, 10000);
    if (!ms) return "the latency is a whole number of milliseconds from 0 to 10000";
    config.latency = std::chrono::milliseconds(*ms);
    return {};
}

}  // namespace v36
