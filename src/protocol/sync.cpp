#include "protocol/sync.h"

#include <algorithm>
#include <array>
#include <string>

#include "protocol/codecs.h"
#include "protocol/report.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36 {

namespace {

// The parameters the pull asks for, in the unit's order.
std::vector<UnitAddress> buildReadList() {
    auto read = [](int word, std::size_t k = 0) { return wordInfo(word).readFrom.at(k); };
    auto sent = [](int word, std::size_t k) { return wordInfo(word).sendTo.at(k); };
    auto trim = [](int k) { return speakerTrimAddress(k); };
    // An address the store has no word for: answered and ignored.
    auto unnamed = [](int block, int index, int count) {
        return UnitAddress{static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(index),
                           static_cast<std::uint8_t>(count)};
    };
    return {read(w::micVolume),
            read(w::effectVolume),
            read(w::micRouteA),
            read(w::micRouteA + 1),
            read(w::micRouteA + 2),
            read(w::micRouteA + 3),
            read(w::micVolume, 1),
            read(w::effectVolume, 1),
            read(w::micRouteB),
            read(w::micRouteB + 1),
            read(w::micRouteB + 2),
            read(w::micRouteB + 3),
            unnamed(1, 66, 2),
            read(w::echoAParam15),
            read(w::echoBParam22),
            read(w::echoVolume),
            read(w::reverbAParam15),
            read(w::reverbBParam21),
            read(w::reverbVolume),
            read(w::musicVolume),
            read(outMain.level(0)),
            read(outMain.level(1)),
            read(outMain.level(2)),
            read(outMain.level(3)),
            trim(0),
            trim(1),
            read(outRear.level(0)),
            read(outRear.level(1)),
            read(outRear.level(2)),
            read(outRear.level(3)),
            trim(2),
            trim(3),
            read(outTop.level(0)),
            read(outTop.level(1)),
            read(outTop.level(2)),
            read(outTop.level(3)),
            trim(6),
            trim(7),
            read(outCenter.level(0)),
            read(outCenter.level(1)),
            read(outCenter.level(2)),
            read(outCenter.level(3)),
            trim(4),
            read(outSub.level(0)),
            read(outSub.level(1)),
            read(outSub.level(2)),
            read(outSub.level(3)),
            trim(5),
            read(w::micAEqBypass),
            read(w::micAFreq),
            sent(w::micAFreq, 1),
            read(w::micAFreqMode),
            read(w::micGateThreshold),
            read(w::micGateThreshold + 1),
            read(w::micGateThreshold + 2),
            read(w::micGateThreshold + 3),
            read(w::micGateAttack),
            read(w::micGateRelease),
            read(w::micLevel),
            read(w::micLevel + 1),
            read(w::micLevel + 2),
            read(w::micLevel + 3),
            read(w::micMute),
            read(w::micBEqBypass),
            read(w::micBFreq),
            sent(w::micBFreq, 1),
            read(w::micBFreqMode),
            read(w::micMute, 1),
            read(w::reverbAEqBypass),
            read(w::reverbATime),
            read(w::reverbATime + 1),
            read(w::reverbAParam18),
            sent(w::reverbAParam18, 1),
            read(w::reverbMute),
            read(w::reverbBEqBypass),
            read(w::reverbBTime),
            read(w::reverbBTime + 1),
            read(w::reverbBParam24),
            sent(w::reverbBParam24, 1),
            read(w::echoAEqBypass),
            read(w::echoATime),
            read(w::echoATime + 1),
            read(w::echoMute),
            read(w::echoBEqBypass),
            read(w::echoBTime),
            read(w::echoBTime + 1),
            read(w::musicEqBypass),
            read(w::musicAgcEnable),
            read(w::musicAgcLevel),
            read(w::musicPitch),
            read(w::musicMute),
            read(w::musicGateThreshold),
            read(w::musicGateAttack),
            read(w::musicGateRelease),
            read(outMain.eqBypass()),
            read(outMain.compBypass()),
            read(outMain.delayMs(0)),
            read(outMain.delayMs(1)),
            read(outMain.compThreshold()),
            read(outMain.delayBypass(0)),
            read(outMain.delayBypass(1)),
            read(outMain.delayFilterMode(0)),
            read(outMain.delayFilterMode(1)),
            read(outMain.mute()),
            read(outRear.eqBypass()),
            read(outRear.compBypass()),
            read(outRear.delayMs(0)),
            read(outRear.delayMs(1)),
            read(outRear.compThreshold()),
            read(outRear.delayBypass(0)),
            read(outRear.delayBypass(1)),
            read(outRear.delayFilterMode(0)),
            read(outRear.delayFilterMode(1)),
            read(outRear.mute()),
            read(outTop.eqBypass()),
            read(outTop.compBypass()),
            read(outTop.delayMs(0)),
            read(outTop.delayMs(1)),
            read(outTop.compThreshold()),
            read(outTop.delayBypass(0)),
            read(outTop.delayBypass(1)),
            read(outTop.delayFilterMode(0)),
            read(outTop.delayFilterMode(1)),
            read(outTop.mute()),
            read(outCenter.eqBypass()),
            read(outCenter.compBypass()),
            read(outCenter.delayMs(0)),
            read(outCenter.compThreshold()),
            read(outCenter.delayBypass(0)),
            read(outCenter.delayFilterMode(0)),
            read(outCenter.mute()),
            read(outSub.eqBypass()),
            read(outSub.compBypass()),
            read(outSub.delayMs(0)),
            read(outSub.compThreshold()),
            read(outSub.delayBypass(0)),
            read(outSub.delayFilterMode(0)),
            read(outSub.mute()),
            read(w::micAPhase),
            read(w::micBPhase),
            read(w::autoSubEnable),
            read(w::autoSubLevel),
            read(w::echoATime + 2),
            read(w::echoAParam19),
            read(w::echoAParam20),
            read(w::echoBTime + 2),
            read(w::echoBParam26),
            read(w::echoBParam27)};
}

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

const std::vector<UnitAddress>& pullReadList() {
    static const std::vector<UnitAddress> list = buildReadList();
    return list;
}

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
    for (const UnitAddress& a : pullReadList())
        senders_.sendCommand({cmd::kReadParam, 0, a.block, a.index, a.count, -1});
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
