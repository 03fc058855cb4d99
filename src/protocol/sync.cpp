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

SyncWorker::SyncWorker(ParamStore& store, Link& link, Dispatcher& dispatcher)
    : store_(store),
      link_(link),
      dispatcher_(dispatcher),
      paramsChanged_(dispatcher.paramsChanged),
      senders_(store, link) {
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
    const ReadReport report = pullUnit();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastPull_ = report;
    }
    sleep(t.beforeDone);
    notifyDone(SyncKind::Pull);
    sleep(t.afterDone);
    setPolling(true);
}

ReadReport SyncWorker::lastPull() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastPull_;
}

namespace {
constexpr std::chrono::microseconds kLongestAnswerWait{250000};
}  // namespace

std::chrono::microseconds SyncWorker::answerWait() const {
    // Four times the usual answer and a little more; never so short that a
    // slow answer counts as missing, never as long as the unit's own pace.
    const double wait = 4.0 * answerMicros_ + 10000.0;
    return std::chrono::microseconds(
        static_cast<std::int64_t>(std::clamp(wait, 15000.0, 500000.0)));
}

bool SyncWorker::ask(std::initializer_list<int> command, Dispatcher::ExpectedAnswer expected,
                     ReadReport& report) {
    ++report.asked;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!link_.linkOpen.load() || link_.readThreadEnd.load()) return false;
        if (attempt > 0) ++report.retries;
        dispatcher_.expectAnswer(expected);
        const auto sent = std::chrono::steady_clock::now();
        if (senders_.sendCommand(command) == 0) {
            dispatcher_.waitAnswer(std::chrono::microseconds(0));
            continue;
        }
        // Each attempt waits twice as long as the one before: a unit that is
        // only slow (a busy hub, a loaded computer) is given the time.
        const Dispatcher::AnswerSeen seen =
            dispatcher_.waitAnswer(std::min(answerWait() * (1 << attempt), kLongestAnswerWait));
        if (seen == Dispatcher::AnswerSeen::Answer) {
            const double took =
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - sent)
                    .count();
            answerMicros_ = 0.8 * answerMicros_ + 0.2 * took;
            return true;
        }
        if (seen == Dispatcher::AnswerSeen::Garbled) ++report.garbled;
        // The answer will not come: the next write need not wait for it.
        link_.responseEvent.set();
    }
    ++report.missing;
    return false;
}

bool SyncWorker::identifyInto(ReadReport& report) {
    ParamStore& target = dispatcher_.target();
    // The model and the protocol must be read: without them nothing is known.
    target.deviceModel.set(u"");
    auto failed = [&report] {
        report.status =
            report.garbled > 0 ? ReadReport::Status::Garbled : ReadReport::Status::NoAnswer;
        return false;
    };
    auto closed = [&report, this] {
        if (link_.linkOpen.load() && !link_.readThreadEnd.load()) return false;
        report.status = ReadReport::Status::Closed;
        return true;
    };
    // A model other than ours is asked once more: a unit just switched on
    // may tell another at first.
    for (int query = 0; query < 2; ++query) {
        if (query > 0) sleep(timings().modelAnswer);
        if (!ask({cmd::kQueryModel, -1}, {cmd::kQueryModel, -1}, report))
            return closed() ? false : failed();
        if (modelMatches(target.deviceModel.get())) break;
    }
    report.model = target.deviceModel.utf8();
    if (!modelMatches(target.deviceModel.get())) {
        report.status = ReadReport::Status::WrongModel;
        return false;
    }
    // A protocol other than ours is asked once more before the unit is
    // refused: one garbled answer must not send the user away.
    for (int query = 0; query < 2; ++query) {
        if (!ask({cmd::kQueryProtocol, -1}, {cmd::kQueryProtocol, -1}, report))
            return closed() ? false : failed();
        if (target.protocolVersion.load() == kProtocolVersion) break;
    }
    report.protocol = target.protocolVersion.load();
    if (report.protocol != kProtocolVersion) {
        report.status = ReadReport::Status::WrongProtocol;
        return false;
    }
    for (const std::uint8_t code : {cmd::kQueryMcuVersion, cmd::kQueryMode, cmd::kQueryHdmi,
                                    cmd::kQueryMusicSource, cmd::kQueryDspVersion}) {
        ask({code, -1}, {code, -1}, report);
    }
    return !closed();
}

void SyncWorker::readValuesInto(ReadReport& report) {
    // A unit that leaves several reads in a row unanswered, each asked again
    // and again, has stopped answering: the rest is not asked for.
    constexpr int kMissingInARow = 3;
    int inARow = 0;
    const auto read = [&](std::initializer_list<int> command, Dispatcher::ExpectedAnswer expected) {
        if (inARow >= kMissingInARow) {
            ++report.asked;
            ++report.missing;
            return;
        }
        inARow = ask(command, expected, report) ? 0 : inARow + 1;
    };
    for (const UnitAddress& a : pullReadList()) {
        read({cmd::kReadParam, 0, a.block, a.index, a.count, -1},
             {cmd::kReadParam, (a.block << 8) | a.index});
    }
    for (const auto& [offset, length] : Senders::registerReadPieces()) {
        read({cmd::kReadRegisters, offset >> 8, offset & 0xFF, length, -1},
             {cmd::kReadRegisters, offset});
    }
    read({cmd::kQuerySettings, -1}, {cmd::kQuerySettings, -1});
    read({cmd::kQueryKeys, -1}, {cmd::kQueryKeys, -1});
}

namespace {

// While it lives the dispatcher's answers go to a scratch copy of the store.
class Staging {
  public:
    Staging(ParamStore& store, Dispatcher& dispatcher) : dispatcher_(dispatcher) {
        scratch_.resetToDefaults();
        copyUnitState(store, scratch_);
        dispatcher_.setTarget(&scratch_);
    }
    ~Staging() { dispatcher_.setTarget(nullptr); }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;
    const ParamStore& scratch() const { return scratch_; }

  private:
    Dispatcher& dispatcher_;
    ParamStore scratch_;
};

ReadReport::Status statusAfterValues(const ReadReport& r, const Link& link) {
    if (!link.linkOpen.load() || link.readThreadEnd.load()) return ReadReport::Status::Closed;
    if (r.missing == 0) return ReadReport::Status::Complete;
    // Nothing at all came back: the unit stopped answering.
    if (r.missing == r.asked) {
        return r.garbled > 0 ? ReadReport::Status::Garbled : ReadReport::Status::NoAnswer;
    }
    return ReadReport::Status::Incomplete;
}

}  // namespace

ReadReport SyncWorker::identifyUnit() {
    ReadReport report;
    {
        Staging staging(store_, dispatcher_);
        if (identifyInto(report)) report.status = statusAfterValues(report, link_);
        if (report.complete()) {
            copyUnitState(staging.scratch(), store_);
        } else if (report.status == ReadReport::Status::WrongModel ||
                   report.status == ReadReport::Status::WrongProtocol) {
            copyIdentity(staging.scratch(), store_);
        }
    }
    return report;
}

ReadReport SyncWorker::pullUnit() {
    const SyncTimings t = timings();
    ReadReport report;
    {
        Staging staging(store_, dispatcher_);
        if (identifyInto(report)) {
            readValuesInto(report);
            report.status = statusAfterValues(report, link_);
        }
        if (report.complete()) {
            paramsChanged_ = 0;
            copyUnitState(staging.scratch(), store_);
        } else if (report.status == ReadReport::Status::WrongModel ||
                   report.status == ReadReport::Status::WrongProtocol) {
            copyIdentity(staging.scratch(), store_);
        }
    }
    sleep(t.afterRead);
    return report;
}

std::string ReadReport::message(int language) const {
    const bool en = language == 1;
    switch (status) {
        case Status::Complete:
            return {};
        case Status::NoAnswer:
            return en ? "the unit does not answer" : "设备无应答";
        case Status::Garbled:
            return en ? "the unit's answers arrive garbled: check the cable or the USB port"
                      : "设备的应答数据错误，请检查连接线或USB接口";
        case Status::Incomplete:
            return en ? std::to_string(missing) + " of " + std::to_string(asked) +
                            " values could not be read from the unit"
                      : "有" + std::to_string(missing) + "/" + std::to_string(asked) +
                            "个参数未能从设备读取";
        case Status::WrongModel:
            return en ? "the unit reports model \"" + model +
                            "\", not V36; this program controls V36 units only"
                      : "机器型号与软件不匹配!";
        case Status::WrongProtocol:
            return en ? "the unit speaks protocol " + std::to_string(protocol) +
                            "; this program speaks protocol 12"
                      : "机器与软件通信版本不匹配，请使用机器配套软件!";
        case Status::Closed:
            return en ? "the unit was disconnected" : "设备已断开!";
    }
    return {};
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
