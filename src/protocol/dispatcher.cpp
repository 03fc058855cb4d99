#include "protocol/dispatcher.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "protocol/bytes.h"
#include "protocol/codecs.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36 {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr std::size_t kWordsAt = 6;  // first parameter word of a read-back
constexpr std::size_t kMaxWords = (kReportSize - kWordsAt) / 4;

// trunc(x) as a 32-bit integer; values the word cannot hold are clamped
// and NaN gives 0, so a wild answer never becomes undefined behaviour.
std::int32_t truncToInt32(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (x <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(x);
}

// v plus (minus, when negative) half a step, times the scale, truncated:
// rounding half away from zero.
std::int32_t scaled(float v, double halfStep, double scale) {
    const auto d = static_cast<double>(v);
    return truncToInt32((d >= 0.0 ? d + halfStep : d - halfStep) * scale);
}

template <std::size_t Room>
void setText(TextField<Room>& field, const Report& r) {
    std::u16string text;
    for (std::size_t i = 2; i < r.size() && r[i] != 0 && text.size() < TextField<Room>::kMaxChars;
         ++i) {
        text.push_back(static_cast<char16_t>(r[i]));
    }
    field.set(text);
}

}  // namespace

Dispatcher::Dispatcher(ParamStore& store, Link& link)
    : store_(store), target_(&store), link_(link), hooks_(std::make_shared<const Hooks>()) {}

namespace {

// The codes that answer a read: a report of these answers one request.
bool answersARead(std::uint8_t code) {
    switch (code) {
        case cmd::kReadParam:
        case cmd::kReadRegisters:
        case cmd::kQueryModel:
        case cmd::kQueryProtocol:
        case cmd::kQueryMcuVersion:
        case cmd::kQueryDspVersion:
        case cmd::kQueryMode:
        case cmd::kQueryHdmi:
        case cmd::kQueryMusicSource:
        case cmd::kQuerySettings:
        case cmd::kQueryKeys:
            return true;
        default:
            return false;
    }
}

// A code the unit sends: the answers and acknowledgements of the commands,
// and its own reports (modules, learned keys, mode names, states).
bool knownCode(std::uint8_t code) {
    switch (code) {
        case cmd::kSetMode:
        case cmd::kStoreMode:
        case cmd::kRecallMode:
        case cmd::kResetMode:
        case cmd::kSetParam:
        case cmd::kSetMusicSource:
        case cmd::kQueryStatus:
        case cmd::kMicPair:
        case cmd::kSetHdmi:
        case cmd::kHomeFrame:
        case cmd::kHomeMemory:
        case cmd::kAuxState:
        case cmd::kLearnKey:
        case cmd::kStopLearn:
        case cmd::kStoreKeys:
        case cmd::kRestart:
        case cmd::kWriteRegisters:
        case cmd::kDisconnect:
        case cmd::kAuxByte:
        case cmd::kWriteSettings:
        case cmd::kModeName:
            return true;
        default:
            return answersARead(code);
    }
}

// A text answer: printable ASCII up to its end or its first zero, at least
// one character.
bool printableText(const Report& r) {
    std::size_t n = 0;
    for (std::size_t i = 2; i < r.size() && r[i] != 0; ++i, ++n)
        if (r[i] < 0x20 || r[i] > 0x7E) return false;
    return n > 0;
}

// Whether `r` is a well-formed answer to `e`.
bool answers(const Report& r, const Dispatcher::ExpectedAnswer& e) {
    if (r[1] != e.code) return false;
    switch (e.code) {
        case cmd::kReadParam:
            return ((r[3] << 8) | r[4]) == e.address;
        case cmd::kReadRegisters:
            return getBE16(r.data() + 2) == e.address && r[4] <= kReportSize - 5;
        case cmd::kQueryModel:
        case cmd::kQueryMcuVersion:
        case cmd::kQueryDspVersion:
            return printableText(r);
        case cmd::kQueryMode:
        case cmd::kQueryHdmi:
            return r[2] <= 3;
        case cmd::kQueryMusicSource:
            return r[2] <= 4;
        default:
            return true;
    }
}

}  // namespace

void Dispatcher::expectAnswer(ExpectedAnswer expected) {
    std::lock_guard<std::mutex> lock(answerMutex_);
    armed_ = true;
    expected_ = expected;
    seen_ = AnswerSeen::Nothing;
}

Dispatcher::AnswerSeen Dispatcher::waitAnswer(std::chrono::microseconds timeout) {
    std::unique_lock<std::mutex> lock(answerMutex_);
    answerCv_.wait_for(lock, timeout, [this] { return seen_ != AnswerSeen::Nothing; });
    armed_ = false;
    return seen_;
}

Dispatcher::Admission Dispatcher::admit(const Report& r) {
    std::lock_guard<std::mutex> lock(answerMutex_);
    if (!armed_ || seen_ == AnswerSeen::Answer) return Admission::Apply;
    // A report of the unit's own, or the acknowledgement of a write.
    if (knownCode(r[1]) && !answersARead(r[1])) return Admission::Apply;
    if (answers(r, expected_)) return Admission::ApplyAndTell;
    seen_ = AnswerSeen::Garbled;
    answerCv_.notify_all();
    return Admission::Drop;
}

void Dispatcher::tellAnswered() {
    std::lock_guard<std::mutex> lock(answerMutex_);
    seen_ = AnswerSeen::Answer;
    answerCv_.notify_all();
}

std::string Dispatcher::parameterErrorText(std::uint8_t code, std::uint8_t block,
                                           std::uint8_t index) {
    std::array<char, 96> text{};
    std::snprintf(text.data(), text.size(), "参数错误,代码0x:%02X,指令1:0x%02X,指令2:0x%02X ",
                  unsigned{code}, unsigned{block}, unsigned{index});
    return text.data();
}

std::shared_ptr<const Dispatcher::Hooks> Dispatcher::hooks() const {
    std::lock_guard<std::mutex> lock(hooksMutex_);
    return hooks_;
}

void Dispatcher::updateHooks(const std::function<void(Hooks&)>& change) {
    std::lock_guard<std::mutex> lock(hooksMutex_);
    auto next = std::make_shared<Hooks>(*hooks_);
    change(*next);
    hooks_ = std::move(next);
}

void Dispatcher::setParameterErrorHandler(ParameterErrorHandler handler) {
    updateHooks([&](Hooks& h) { h.parameterError = std::move(handler); });
}
void Dispatcher::setRemoteKeyHandler(RemoteKeyHandler handler) {
    updateHooks([&](Hooks& h) { h.remoteKey = std::move(handler); });
}
void Dispatcher::setHomeEventHandler(HomeEventHandler handler) {
    updateHooks([&](Hooks& h) { h.homeEvent = std::move(handler); });
}
void Dispatcher::setHomeFrameHook(ReportHook hook) {
    updateHooks([&](Hooks& h) { h.homeFrame = std::move(hook); });
}
void Dispatcher::setHomeMemoryHook(ReportHook hook) {
    updateHooks([&](Hooks& h) { h.homeMemory = std::move(hook); });
}

void Dispatcher::postHomeEvent(std::uint8_t function, std::uint32_t detail) const {
    const auto h = hooks();
    if (h->homeEvent) h->homeEvent(function, detail);
}

void Dispatcher::dispatchReport(const Report& r) {
    std::lock_guard<std::mutex> targetLock(targetMutex_);
    ParamStore& store = target();
    const Admission admission = admit(r);
    if (admission == Admission::Drop) {
        link_.responseEvent.set();
        return;
    }
    switch (r[1]) {
        case cmd::kQueryMode:
            store.currentMode.store(r[2]);
            break;
        case cmd::kSetParam:
            paramsChanged.store(1);
            break;
        case cmd::kReadParam:
            readBack(r);
            break;
        case cmd::kQueryMusicSource:
            store.musicSource.store(r[2]);
            break;
        case cmd::kQueryStatus:
            store.liveStatus.write(0, r.data() + 2, 16);
            break;
        case cmd::kQueryHdmi:
            store.hdmiInput.store(r[2]);
            break;
        case cmd::kHomeFrame:
            homeFrame(r);
            break;
        case cmd::kHomeMemory:
            if (const auto h = hooks(); h->homeMemory) h->homeMemory(r);
            break;
        case cmd::kAuxState:
            if (r[2] == 1) store.auxState.write(0, r.data() + 3, 3);
            break;
        case cmd::kLearnKey: {
            store.remoteKeyTable.set(0, r[2]);
            if (r[3] >= 1 && r[3] <= 17) store.remoteKeyTable.set(r[3], r[4]);
            if (const auto h = hooks(); h->remoteKey) h->remoteKey(r[4]);
            break;
        }
        case cmd::kQueryKeys:
            store.remoteKeyTable.write(0, r.data() + 2, 16);
            break;
        case cmd::kQueryDspVersion:
            setText(store.dspVersion, r);
            break;
        case cmd::kQueryProtocol:
            store.protocolVersion.store(r[2]);
            break;
        case cmd::kQueryModel:
            setText(store.deviceModel, r);
            break;
        case cmd::kQueryMcuVersion:
            setText(store.mcuVersion, r);
            break;
        case cmd::kReadRegisters:
            registerData(r);
            break;
        case cmd::kAuxByte:
            store.auxState.set(5, r[3]);
            break;
        case cmd::kQuerySettings:
            store.settingsApplied.write(0, r.data() + 2, kMachineSettingsSize);
            store.settingsFromUnit.store(true);
            store.settingsEdit.write(0, r.data() + 2, kMachineSettingsSize);
            break;
        case cmd::kModeName:
            modeName(r);
            break;
        default:
            break;  // not a response the application uses
    }
    // The reader learns of its answer once the answer is in the store.
    if (admission == Admission::ApplyAndTell) tellAnswered();
    link_.responseEvent.set();
}

void Dispatcher::readBack(const Report& r) {
    ParamStore& store = target();
    const std::uint8_t error = r[2];
    const std::uint8_t block = r[3];
    const std::uint8_t index = r[4];
    // The unit names the address it was asked for, always a word's: a
    // read-back naming any other is garbled, and its error byte is no
    // report of the unit's.
    const auto found = findReadBackWord(block, index);
    if (!found) return;
    if (error != 0) {
        int expected = 0;
        if (errorShown.compare_exchange_strong(expected, 1)) {
            if (const auto h = hooks(); h->parameterError) {
                h->parameterError(parameterErrorText(error, block, index));
            }
        }
    }
    // Decoded whatever the error byte holds.
    const int word = *found;
    const WordInfo& info = wordInfo(word);

    const auto wordAt = [&r](std::size_t k) { return getBE32(r.data() + kWordsAt + 4 * k); };
    const std::uint32_t raw = wordAt(0);
    const float v = bitsFloat(raw);
    const std::int32_t c = scaled(v, 0.005, 100.0);
    const std::int32_t i = r[9];
    ParamBlock& p = store.params;

    switch (info.readBack) {
        case ReadBack::C:
            p.setInt(word, c);
            break;
        case ReadBack::M:
            p.setInt(word, c == 0 ? 1 : 0);
            break;
        case ReadBack::I:
            p.setInt(word, i);
            break;
        case ReadBack::P:
            p.setInt(word, i - 5);
            break;
        case ReadBack::MS:
            p.setFloat(word, static_cast<float>(static_cast<double>(raw) * 1000.0 / 48000.0));
            break;
        case ReadBack::HZ:
            p.setInt(word, truncToInt32(static_cast<double>(v) * 48000.0 / kTwoPi + 0.5));
            break;
        case ReadBack::S4:
            p.setInt(word, scaled(v, 5e-5, 1e4));
            break;
        case ReadBack::S5:
            p.setInt(word, scaled(v, 5e-6, 1e5));
            break;
        case ReadBack::S7:
            p.setInt(word, scaled(v, 5e-8, 1e7));
            break;
        case ReadBack::RAW:
            p.setRaw(word, raw);
            break;
        case ReadBack::N2:
            // The second word truncated to an integer is 0 when |x| < 1.
            p.setInt(word, std::fabs(bitsFloat(wordAt(1))) < 1.0f ? 1 : 0);
            break;
        case ReadBack::CMP: {
            // The seven-word compressor fills its four words, threshold first.
            std::array<std::uint32_t, 7> words{};
            static_assert(7 <= kMaxWords);
            for (std::size_t k = 0; k < words.size(); ++k)
                words[k] = wordAt(k);
            const CompressorValues cv = decodeCompressorWords(words);
            const int first =
                word - (static_cast<int>(info.kind) - static_cast<int>(WordKind::CompThreshold));
            p.setFloat(first, cv.threshold);
            p.setFloat(first + 1, cv.ratio);
            p.setFloat(first + 2, cv.attackMs);
            p.setFloat(first + 3, cv.releaseMs);
            break;
        }
        case ReadBack::CF:
            p.setFloat(word, static_cast<float>(c));
            break;
    }

    // A frequency shift that reads back as off is off.
    if (word == w::micAFreqMode && i == 1) p.setInt(w::micAFreq, 1);
    if (word == w::micBFreqMode && i == 1) p.setInt(w::micBFreq, 1);
}

void Dispatcher::registerData(const Report& r) {
    ParamStore& store = target();
    const int offset = getBE16(r.data() + 2);
    // Never more than the report carries.
    const std::size_t length = std::min<std::size_t>(r[4], kReportSize - 5);
    const std::uint8_t* data = r.data() + 5;
    if (offset < kRegisterBlockSize) {
        if (r[5] == 0xFF && r[6] == 0xFF) {
            store.registers.fill(0);  // the unit's register memory is blank
        } else {
            store.registers.write(static_cast<std::size_t>(offset), data, length);
        }
    } else if (offset == kSoundFieldOffset) {
        store.soundFieldBlock.write(0, data, length);
        store.decodeSoundField();
    } else if (offset == kSpeakerOffset) {
        store.speakers.write(0, data, length);
    }
}

void Dispatcher::modeName(const Report& r) {
    ParamStore& store = target();
    if (r[5] == 0xFF && r[6] == 0xFF && r[7] == 0xFF && r[8] == 0xFF) return;  // blank memory
    int mode = -1;
    switch (getBE16(r.data() + 2)) {
        case 0x0F00:
            mode = 0;
            break;
        case 0x0F40:
            mode = 1;
            break;
        case 0x0F80:
            mode = 2;
            break;
        case 0x0FC0:
            mode = 3;
            break;
        default:
            return;
    }
    const std::size_t length = r[4];
    constexpr std::size_t kMaxChars = TextField<24>::kMaxChars;
    std::u16string name;
    for (std::size_t read = 0, at = 5;
         read < length && at + 1 < r.size() && name.size() < kMaxChars; read += 2, at += 2) {
        const auto c = static_cast<char16_t>(getBE16(r.data() + at));
        if (c == 0) break;
        name.push_back(c);
    }
    store.modeNames.at(static_cast<std::size_t>(mode)).set(name);
}

void Dispatcher::homeFrame(const Report& r) {
    if (r[3] == 0x06) return;  // the module's acknowledgement
    const Report ack = [] {
        Report a{};
        a[0] = kReportId;
        a[1] = cmd::kHomeFrame;
        a[2] = 1;
        a[3] = 6;
        return a;
    }();
    // The read thread answers at once: a paced write would wait for an
    // answer only this thread can take in.
    link_.writeUnpaced(ack.data(), ack.size());
    if (const auto h = hooks(); h->homeFrame) h->homeFrame(r);
}

}  // namespace v36
