#include "protocol/sync.h"

#include <algorithm>
#include <array>
#include <string>

#include "protocol/codecs.h"
#include "protocol/report.h"
#include "protocol/words.h"

namespace v36 {

namespace {

struct ReadRequest {
    std::uint8_t block, index, count;
};

// The parameters the pull asks for, in the unit's order. Addresses the
// store has no word for are answered and ignored.
constexpr std::array<ReadRequest, 148> kReadBackList{{
    {1, 30, 1}, {1, 32, 1}, {1, 33, 1}, {1, 34, 1}, {1, 35, 1}, {1, 36, 1}, {1, 43, 1}, {1, 45, 1},
    {1, 46, 1}, {1, 47, 1}, {1, 48, 1}, {1, 49, 1}, {1, 66, 2}, {2, 15, 1}, {2, 22, 1}, {2, 28, 2},
    {3, 15, 1}, {3, 21, 1}, {3, 26, 2}, {4, 15, 2}, {5, 28, 1}, {5, 29, 1}, {5, 30, 1}, {5, 31, 1},
    {5, 42, 6}, {5, 43, 6}, {6, 14, 1}, {6, 15, 1}, {6, 16, 1}, {6, 17, 1}, {6, 28, 6}, {6, 29, 6},
    {9, 14, 1}, {9, 15, 1}, {9, 16, 1}, {9, 17, 1}, {9, 28, 6}, {9, 29, 6}, {7, 12, 1}, {7, 13, 1},
    {7, 14, 1}, {7, 15, 1}, {7, 23, 6}, {8, 22, 1}, {8, 23, 1}, {8, 24, 1}, {8, 25, 1}, {8, 33, 6},
    {1, 37, 1}, {1, 38, 1}, {1, 39, 1}, {1, 40, 1}, {1, 60, 1}, {1, 61, 1}, {1, 62, 1}, {1, 63, 1},
    {1, 64, 1}, {1, 65, 1}, {1, 56, 1}, {1, 57, 1}, {1, 58, 1}, {1, 59, 1}, {1, 42, 1}, {1, 50, 1},
    {1, 51, 1}, {1, 52, 1}, {1, 53, 1}, {1, 55, 1}, {3, 14, 1}, {3, 16, 1}, {3, 17, 1}, {3, 18, 1},
    {3, 19, 1}, {3, 27, 2}, {3, 20, 1}, {3, 22, 1}, {3, 23, 1}, {3, 24, 1}, {3, 25, 1}, {2, 14, 1},
    {2, 16, 1}, {2, 17, 1}, {2, 29, 2}, {2, 21, 1}, {2, 23, 1}, {2, 24, 1}, {4, 17, 1}, {4, 18, 1},
    {4, 19, 1}, {4, 20, 1}, {4, 16, 2}, {4, 21, 1}, {4, 22, 1}, {4, 23, 1}, {5, 32, 1}, {5, 34, 1},
    {5, 35, 1}, {5, 36, 1}, {5, 33, 7}, {5, 37, 1}, {5, 38, 1}, {5, 39, 2}, {5, 40, 2}, {5, 41, 2},
    {6, 18, 1}, {6, 20, 1}, {6, 21, 1}, {6, 22, 1}, {6, 19, 7}, {6, 23, 1}, {6, 24, 1}, {6, 25, 2},
    {6, 26, 2}, {6, 27, 2}, {9, 18, 1}, {9, 20, 1}, {9, 21, 1}, {9, 22, 1}, {9, 19, 7}, {9, 23, 1},
    {9, 24, 1}, {9, 25, 2}, {9, 26, 2}, {9, 27, 2}, {7, 16, 1}, {7, 18, 1}, {7, 19, 1}, {7, 17, 7},
    {7, 20, 1}, {7, 21, 2}, {7, 22, 1}, {8, 26, 1}, {8, 28, 1}, {8, 29, 1}, {8, 27, 7}, {8, 30, 1},
    {8, 31, 2}, {8, 32, 1}, {1, 41, 1}, {1, 54, 1}, {1, 67, 1}, {1, 68, 1}, {2, 18, 1}, {2, 19, 1},
    {2, 20, 1}, {2, 25, 1}, {2, 26, 1}, {2, 27, 1},
}};

// Counts reports without sending them anywhere.
class CountingTransport : public ReportTransport {
  public:
    explicit CountingTransport(Event& answer) : answer_(answer) {}
    int writeReport(const std::uint8_t*, std::size_t length) override {
        ++count;
        answer_.set();
        return static_cast<int>(length);
    }
    int count = 0;

  private:
    Event& answer_;
};

}  // namespace

bool modelMatches(const std::u16string& model) {
    static constexpr char16_t kModel[] = u"V36";
    if (model.size() != 3) return false;
    for (std::size_t i = 0; i < 3; ++i) {
        char16_t c = model[i];
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
        if (c != kModel[i]) return false;
    }
    return true;
}

bool identityAccepted(const ParamStore& store) {
    return modelMatches(store.deviceModel.get()) &&
           store.protocolVersion.load() == kProtocolVersion;
}

SyncWorker::SyncWorker(ParamStore& store, Link& link, std::atomic<int>& paramsChanged)
    : store_(store), link_(link), paramsChanged_(paramsChanged), senders_(store, link) {
    sleeper_ = [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); };
    senders_.setSleeper([this](std::chrono::milliseconds ms) { sleep(ms); });
    senders_.setWriteHook([this] { progress(currentKind_); });
}

SyncWorker::~SyncWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void SyncWorker::setDoneHandler(DoneHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = std::move(handler);
}

void SyncWorker::setProgressHandler(ProgressHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    progress_ = std::move(handler);
}

void SyncWorker::setTimings(const SyncTimings& timings) {
    std::lock_guard<std::mutex> lock(mutex_);
    timings_ = timings;
}

void SyncWorker::setSleeper(Senders::Sleeper sleeper) {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeper_ = std::move(sleeper);
}

SyncTimings SyncWorker::timings() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timings_;
}

void SyncWorker::notifyDone(SyncKind kind) {
    DoneHandler done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done = done_;
    }
    if (done) done(kind);
}

void SyncWorker::sleep(std::chrono::milliseconds ms) {
    Senders::Sleeper sleeper;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sleeper = sleeper_;
    }
    sleeper(ms);
}

void SyncWorker::startPull() {
    link_.trace().write("Start thread:SynchronizeData\n");
    enqueue(SyncKind::Pull);
}

void SyncWorker::startPush() {
    link_.trace().write("Start thread:SynchronizeData\n");
    enqueue(SyncKind::Push);
}

void SyncWorker::enqueue(SyncKind kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    queue_.push_back(kind);
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    cv_.notify_all();
}

bool SyncWorker::busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ || !queue_.empty();
}

void SyncWorker::waitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return !running_ && queue_.empty(); });
}

void SyncWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) break;
        const SyncKind kind = queue_.front();
        queue_.pop_front();
        running_ = true;
        lock.unlock();
        if (kind == SyncKind::Pull) {
            syncFromUnit();
        } else {
            pushToUnit();
        }
        lock.lock();
        running_ = false;
        cv_.notify_all();
    }
    running_ = false;
    cv_.notify_all();
}

void SyncWorker::progress(SyncKind kind) {
    ProgressHandler handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handler = progress_;
    }
    ++doneCount_;
    if (doneCount_ > total_) total_ = doneCount_;
    if (handler) handler(kind, doneCount_, total_);
}

void SyncWorker::setPolling(bool on) {
    link_.pollingEnabled = on;
    link_.trace().write(on ? "pollingEnabled = 1\n" : "pollingEnabled = 0\n");
}

// ---------------------------------------------------------------------------
// Pull

void SyncWorker::syncFromUnit() {
    const SyncTimings t = timings();
    currentKind_ = SyncKind::Pull;
    doneCount_ = 0;
    total_ = kPullReports;

    setPolling(false);
    sleep(t.pullStart);
    identifyAndRead();
    sleep(t.beforeDone);
    notifyDone(SyncKind::Pull);
    sleep(t.afterDone);
    setPolling(true);
}

bool SyncWorker::identifyAndRead() {
    if (!identify()) return false;
    readEverything();
    return true;
}

bool SyncWorker::identify() {
    const SyncTimings t = timings();
    // The model, asked twice at most.
    bool matched = false;
    for (int attempt = 0; attempt < 2 && !matched; ++attempt) {
        if (attempt == 1) ++total_;
        senders_.sendCommand({cmd::kQueryModel, -1});
        sleep(t.modelAnswer);
        matched = modelMatches(store_.deviceModel.get());
    }
    missedAtModel_ = link_.missedAnswers();
    if (!matched) return false;

    // Each write waits for the previous answer, so the protocol byte is
    // current once the second query has gone out.
    senders_.sendCommand({cmd::kQueryProtocol, -1});
    senders_.sendCommand({cmd::kQueryMcuVersion, -1});
    if (store_.protocolVersion.load() != kProtocolVersion) return false;

    senders_.sendCommand({cmd::kQueryMode, -1});
    senders_.sendCommand({cmd::kQueryHdmi, -1});
    senders_.sendCommand({cmd::kQueryMusicSource, -1});
    senders_.sendCommand({cmd::kQueryDspVersion, -1});
    return true;
}

void SyncWorker::readEverything() {
    const SyncTimings t = timings();
    for (const ReadRequest& r : kReadBackList) {
        senders_.sendCommand({cmd::kReadParam, 0, r.block, r.index, r.count, -1});
    }
    senders_.readAllRegisters();

    senders_.sendCommand({cmd::kQuerySettings, -1});
    senders_.sendCommand({cmd::kQueryKeys, -1});

    paramsChanged_ = 0;
    sleep(t.afterRead);
}

// ---------------------------------------------------------------------------
// Push

void SyncWorker::pushToUnit() {
    const SyncTimings t = timings();
    currentKind_ = SyncKind::Push;
    doneCount_ = 0;
    total_ = pushReportCount();

    store_.liveStatus.fill(0);
    setPolling(false);
    sleep(t.pushStart);
    fullPush();
    notifyDone(SyncKind::Push);
    store_.liveStatus.fill(0);
    setPolling(true);
}

void SyncWorker::fullPush() {
    const SyncTimings t = timings();
    const bool volumeSaveByMode = store_.settingsApplied.at(settings::kVolumeSaveByMode) == 1;

    senders_.sendFullSet(volumeSaveByMode);
    senders_.writeAllRegisters();
    senders_.sendAllBands();

    std::int32_t source = store_.musicSource.load();
    if (source < 0 || source > 4) {
        source = 0;
        store_.musicSource.store(0);
    }
    senders_.sendCommand({cmd::kSetMusicSource, source, -1});
    senders_.sendCommand({cmd::kSetHdmi, store_.hdmiInput.load(), -1});

    if (volumeSaveByMode) {
        const std::int32_t mic = store_.params.getInt(w::micVolume);
        for (int index : {30, 43}) {
            if (mic < 80) {
                senders_.sendParam(1, index, levelToUnit(mic), 1);
            } else {
                for (std::int32_t v = 80; v <= mic; ++v)
                    senders_.sendParam(1, index, levelToUnit(v), 1);
            }
        }
        const std::int32_t music = store_.params.getInt(w::musicVolume);
        if (music < 70) {
            senders_.sendParam(4, 15, levelToUnit(music), 2);
        } else {
            for (std::int32_t v = 70; v <= music; ++v) {
                senders_.sendParam(4, 15, levelToUnit(v), 2);
                sleep(t.musicFadeStep);
            }
        }
    }

    // What the unit now plays.
    senders_.sendCommand({cmd::kReadParam, 0, 1, 30, 1, -1});
    senders_.sendCommand({cmd::kReadParam, 0, 1, 43, 1, -1});
    senders_.sendCommand({cmd::kReadParam, 0, 4, 15, 2, -1});

    sleep(t.pushEnd);
    paramsChanged_ = 0;
}

int SyncWorker::pushReportCount() {
    // A dry run of the push against a counting transport: the same code
    // decides what goes, so the count cannot drift from what is sent.
    DebugTrace quiet;
    quiet.setEnabled(false);
    Link dry(quiet);
    CountingTransport counter(dry.responseEvent);
    dry.attach(counter);
    Senders s(store_, dry);
    s.setSleeper([](std::chrono::milliseconds) {});
    const bool volumeSaveByMode = store_.settingsApplied.at(settings::kVolumeSaveByMode) == 1;
    // The full set also stores whole reverb times back; that is harmless
    // here since the real push does the same.
    s.sendFullSet(volumeSaveByMode);
    s.writeAllRegisters();
    s.sendAllBands();
    int count = counter.count + 2 + 3;
    if (volumeSaveByMode) {
        const std::int32_t mic = store_.params.getInt(w::micVolume);
        const std::int32_t music = store_.params.getInt(w::musicVolume);
        count += 2 * (mic < 80 ? 1 : mic - 79);
        count += music < 70 ? 1 : music - 69;
    }
    return count;
}

}  // namespace v36
