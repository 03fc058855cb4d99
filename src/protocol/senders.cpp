#include "protocol/senders.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <thread>
#include <vector>

#include "protocol/bytes.h"
#include "protocol/codecs.h"
#include "protocol/output_delay.h"

namespace v36 {

namespace {

constexpr int kMaxWords = 13;
constexpr int kMaxRegisterPiece = 56;

std::uint8_t low8(int v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}

}  // namespace

Senders::Senders(ParamStore& store, Link& link)
    : store_(store),
      link_(link),
      sleep_([](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }) {}

// ---------------------------------------------------------------------------
// Report primitives

Report Senders::buildCommand(std::span<const int> codeAndValues) {
    Report r{};
    r[0] = kReportId;
    const std::size_t n = std::min<std::size_t>(codeAndValues.size(), kReportSize - 1);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && codeAndValues[i] == -1) break;
        r[1 + i] = low8(codeAndValues[i]);
    }
    return r;
}

int Senders::sendCommand(std::span<const int> codeAndValues) {
    if (codeAndValues.empty()) return 0;
    return write(buildCommand(codeAndValues));
}

Report Senders::buildParam(int block, int index, std::span<const std::uint32_t> words) {
    Report r = makeReport(cmd::kSetParam);
    const std::size_t n = std::min<std::size_t>(words.size(), kMaxWords);
    r[2] = 0;
    r[3] = low8(block);
    r[4] = low8(index);
    r[5] = static_cast<std::uint8_t>(n);
    for (std::size_t k = 0; k < n; ++k)
        putBE32(r.data() + 6 + 4 * k, words[k]);
    return r;
}

int Senders::sendParam(int block, int index, float value, int count) {
    const int n = std::clamp(count, 1, kMaxWords);
    std::array<std::uint32_t, kMaxWords> words{};
    words.fill(floatBits(value));
    return write(buildParam(block, index, std::span(words.data(), static_cast<std::size_t>(n))));
}

int Senders::sendInt(int block, int index, std::uint32_t value) {
    const std::array<std::uint32_t, 1> word{value};
    return write(buildParam(block, index, word));
}

int Senders::sendWords(int block, int index, std::span<const std::uint32_t> words) {
    return write(buildParam(block, index, words));
}

int Senders::sendBiquad(int block, int index, const SectionCoefficients& c) {
    return write(buildParam(block, index, coefficientWords(c)));
}

// ---------------------------------------------------------------------------
// Register pages

int Senders::writeRegisters(int offset, int length, const std::uint8_t* data) {
    const int n = std::clamp(length, 0, kMaxRegisterPiece);
    Report r = makeReport(cmd::kWriteRegisters);
    putBE16(r.data() + 2, static_cast<std::uint16_t>(offset));
    r[4] = static_cast<std::uint8_t>(n);
    std::copy(data, data + n, r.begin() + 5);
    return write(r);
}

int Senders::readRegisters(int offset, int length) {
    Report r = makeReport(cmd::kReadRegisters);
    putBE16(r.data() + 2, static_cast<std::uint16_t>(offset));
    r[4] = static_cast<std::uint8_t>(std::clamp(length, 0, kMaxRegisterPiece));
    return write(r);
}

int Senders::writeBand(int block, int record, float gain, int freq, float q, int type) {
    const BandRecord rec{gain, freq, q, type};
    const auto bytes = rec.encode();
    const int offset = recordOffset(block, record);
    store_.registers.write(static_cast<std::size_t>(offset), bytes.data(), bytes.size());
    return writeRegisters(offset, BandRecord::kSize, bytes.data());
}

void Senders::SendSection(int bank, int index, int type, float gain, int freq, float q) {
    writeBand(bank, index, gain, freq, q, type);
    sendBiquad(bank, index, DesignSection(type, freq, q, gain, kSampleRate));
}

void Senders::sendSection(int bank, int index, int type, float gain, int freq, float q) {
    const auto bytes = BandRecord{gain, freq, q, type}.encode();
    writeRegisters(recordOffset(bank, index), BandRecord::kSize, bytes.data());
    sendBiquad(bank, index, DesignSection(type, freq, q, gain, kSampleRate));
}

void Senders::sendStoredSection(int bank, int index) {
    std::array<std::uint8_t, BandRecord::kSize> bytes{};
    store_.registers.read(static_cast<std::size_t>(recordOffset(bank, index)), bytes.data(),
                          bytes.size());
    const BandRecord r = BandRecord::decode(bytes.data());
    sendBiquad(bank, index, DesignSection(r.type, r.freq, r.q, r.gain, kSampleRate));
}

void Senders::readAllRegisters() {
    for (int offset = 0; offset < kRegisterBlockSize; offset += kMaxRegisterPiece) {
        readRegisters(offset, std::min(kMaxRegisterPiece, kRegisterBlockSize - offset));
    }
    readRegisters(kSoundFieldOffset, static_cast<int>(kSoundFieldBytes));
    readRegisters(kSpeakerOffset, kSpeakerBlockSize);
}

void Senders::writeAllRegisters() {
    const auto regs = store_.registers.snapshot();
    for (int offset = 0; offset < kRegisterBlockSize; offset += kMaxRegisterPiece) {
        writeRegisters(offset, std::min(kMaxRegisterPiece, kRegisterBlockSize - offset),
                       regs.data() + offset);
    }
    sendSoundField();
    const auto speakers = store_.speakers.snapshot();
    writeRegisters(kSpeakerOffset, kSpeakerBlockSize, speakers.data());
}

void Senders::sendAllBands() {
    for (int bank = 1; bank <= kBankCount; ++bank) {
        for (int k = 0; k < bankEqBands(bank); ++k)
            sendStoredSection(bank, k);
    }
}

int Senders::sendSoundField() {
    const auto bytes = store_.encodeSoundField();
    return writeRegisters(kSoundFieldOffset, static_cast<int>(bytes.size()), bytes.data());
}

// ---------------------------------------------------------------------------
// Store words

void Senders::sendWord(int w) {
    const WordInfo& info = wordInfo(w);
    const ParamBlock& p = store_.params;
    switch (info.kind) {
        case WordKind::Level:
            for (const auto& a : info.sendTo) {
                sendParam(a.block, a.index, levelToUnit(p.getInt(w)), a.count);
            }
            break;
        case WordKind::Mute:
            if (w == w::musicMute) {
                sendMusicMute(p.getInt(w) != 0);
                break;
            }
            for (const auto& a : info.sendTo) {
                sendParam(a.block, a.index, p.getInt(w) != 0 ? 0.0f : 1.0f, a.count);
            }
            break;
        case WordKind::Integer:
            for (const auto& a : info.sendTo) {
                sendInt(a.block, a.index, static_cast<std::uint32_t>(p.getInt(w) & 0xFF));
            }
            break;
        case WordKind::Pitch:
            for (const auto& a : info.sendTo) {
                sendInt(a.block, a.index, static_cast<std::uint32_t>((p.getInt(w) + 5) & 0xFF));
            }
            break;
        case WordKind::Samples:
            for (const auto& a : info.sendTo)
                sendInt(a.block, a.index, msToSamples(p.getFloat(w)));
            break;
        case WordKind::Gate4:
        case WordKind::Gate5:
        case WordKind::Gate7: {
            const double scale = info.kind == WordKind::Gate4   ? 1e4
                                 : info.kind == WordKind::Gate5 ? 1e5
                                                                : 1e7;
            const auto v = static_cast<float>(p.getInt(w) / scale);
            for (const auto& a : info.sendTo)
                sendParam(a.block, a.index, v, a.count);
            break;
        }
        case WordKind::Raw:
            for (const auto& a : info.sendTo)
                sendParam(a.block, a.index, p.getFloat(w), a.count);
            break;
        case WordKind::ReverbTime:
            for (const auto& a : info.sendTo) {
                sendParam(a.block, a.index, p.getFloat(w) / 100.0f, a.count);
            }
            break;
        case WordKind::FreqShift:
            sendFreqShift(w == w::micAFreq ? 0 : 1);
            break;
        case WordKind::CompThreshold:
        case WordKind::CompRatio:
        case WordKind::CompAttack:
        case WordKind::CompRelease:
            for (const OutputGroup& g : kOutputGroups) {
                if (w >= g.compThreshold() && w <= g.compRelease()) sendCompressor(g);
            }
            break;
        case WordKind::DelayMode: {
            const auto words = delayModeWords(p.getInt(w));
            for (const auto& a : info.sendTo)
                sendWords(a.block, a.index, words);
            break;
        }
    }
}

void Senders::sendMusicMute(bool muted) {
    constexpr int kBlock = 4;
    constexpr int kIndex = 16;
    if (muted) {
        sendParam(kBlock, kIndex, 0.0f, 2);
        return;
    }
    for (int step = 0; step <= 8; ++step) {
        sendParam(kBlock, kIndex, static_cast<float>(step) / 10.0f, 2);
        sleep_(std::chrono::milliseconds(30));
    }
    sendParam(kBlock, kIndex, 1.0f, 2);
}

void Senders::setFreqShift(int channel, int s) {
    const int shiftWord = channel == 0 ? w::micAFreq : w::micBFreq;
    const int modeWord = channel == 0 ? w::micAFreqMode : w::micBFreqMode;
    store_.params.setInt(shiftWord, s);
    store_.params.setInt(modeWord, s == 1 ? 1 : 0);
    sendFreqShift(channel);
}

void Senders::sendFreqShift(int channel) {
    const int s = store_.params.getInt(channel == 0 ? w::micAFreq : w::micBFreq);
    const int base = channel == 0 ? 38 : 51;  // radians, period, mode
    if (s == 1) {
        sendInt(1, base + 2, 1);
        return;
    }
    sendInt(1, base + 2, 0);
    sendParam(1, base, freqShiftRadians(s), 1);
    sendInt(1, base + 1, freqShiftPeriodSamples(s));
}

void Senders::sendCompressor(const OutputGroup& g) {
    const ParamBlock& p = store_.params;
    const auto words = compressorWords(p.getFloat(g.compThreshold()), p.getFloat(g.compRatio()),
                                       p.getFloat(g.compAttack()), p.getFloat(g.compRelease()));
    sendWords(g.block, g.unitCompressor(), words);
}

void Senders::setOutputDelay(const OutputGroup& g, int channel, float ms) {
    const float v = outputDelayFloor(ms);
    store_.params.setFloat(g.delayMs(channel), v);
    sendInt(g.block, g.unitDelay(channel), msToSamples(v));
}

void Senders::setEchoPredelay(int channel, float sumMs) {
    const float sum = sumMs < 3.0f ? 3.0f : sumMs;
    const float half = sum / 2.0f;
    const int first = channel == 0 ? w::echoATime : w::echoBTime;
    const int index = channel == 0 ? 16 : 23;
    for (int k = 0; k < 2; ++k) {
        store_.params.setFloat(first + k, half);
        sendInt(2, index + k, msToSamples(half));
    }
}

int Senders::splitPairOf(const OutputGroup& g, int channel) const {
    return v36::splitPairOf(store_, g, channel);
}

void Senders::setDelayFilterMode(const OutputGroup& g, int channel, int mode) {
    store_.params.setInt(g.delayFilterMode(channel), mode);
    sendWord(g.delayFilterMode(channel));
    for (const SectionSetting& s : splitSections(g, channel, splitPairOf(g, channel), mode == 0))
        SendSection(g.block, s.section, s.type, s.gain, s.freq, s.q);
}

void Senders::setSplitPair(const OutputGroup& g, int channel, int pair) {
    for (const SectionSetting& s : splitSections(g, channel, pair, true))
        SendSection(g.block, s.section, s.type, s.gain, s.freq, s.q);
}

UnitAddress speakerLevelAddress(int k) {
    static constexpr UnitAddress kAddresses[8] = {{5, 42, 6}, {5, 43, 6}, {6, 28, 6}, {6, 29, 6},
                                                  {7, 23, 6}, {8, 33, 6}, {9, 28, 6}, {9, 29, 6}};
    return kAddresses[std::clamp(k, 0, 7)];
}

void Senders::setSpeakerLevel(int k, float db) {
    if (k < 0 || k > 7) return;
    store_.setSpeakerLevel(k, db);
    sendSpeakerLevel(k, store_.speakers.snapshot());
}

void Senders::sendSpeakerLevel(int k, const std::array<std::uint8_t, kSpeakerBlockSize>& block) {
    if (k < 0 || k > 7) return;
    writeRegisters(kSpeakerOffset, kSpeakerBlockSize, block.data());
    const UnitAddress a = speakerLevelAddress(k);
    sendWords(a.block, a.index, speakerLevelWords(speakerLevelOf(block, k)));
}

// ---------------------------------------------------------------------------
// The full parameter set

void Senders::sendDelayChannel(const OutputGroup& g, int k) {
    sendWord(g.delayFilterMode(k));
    sendStoredSection(g.block, g.splitHighPass(k));
    sendStoredSection(g.block, g.splitLowPass(k));
}

void Senders::sendFullSet(bool volumeSaveByMode) {
    ParamBlock& p = store_.params;

    // 1. Microphones and music start silent when volumes are kept per mode.
    if (volumeSaveByMode) {
        sendParam(1, 30, 0.0f, 1);
        sendParam(1, 43, 0.0f, 1);
        sendParam(4, 15, 0.0f, 2);
    }

    // 2. Routing and effect levels.
    for (int k = 0; k < 4; ++k)
        sendWord(w::micRouteA + k);
    sendWord(w::effectVolume);
    sendWord(w::echoAParam15);
    sendWord(w::reverbAParam15);
    for (int k = 0; k < 4; ++k)
        sendWord(w::micRouteB + k);
    sendWord(w::echoBParam22);
    sendWord(w::reverbBParam21);

    // 3. Mutes and effect volumes.
    sendWord(w::micMute);
    sendMusicMute(p.getInt(w::musicMute) != 0);
    sendWord(w::reverbMute);
    sendWord(w::echoMute);
    sendWord(w::reverbVolume);
    sendWord(w::echoVolume);

    // 4. The output levels.
    for (const OutputGroup& g : kOutputGroups) {
        for (int k = 0; k < 4; ++k)
            sendWord(g.level(k));
    }

    // 5. and 6. Channels A and B of the microphone, echo and reverb blocks.
    struct Channel {
        int micEqBypass, reverbEqBypass, reverbTime, reverbParam, echoEqBypass, echoTime, echoStart,
            echoDecay;
    };
    static constexpr Channel kChannels[2] = {
        {w::micAEqBypass, w::reverbAEqBypass, w::reverbATime, w::reverbAParam18, w::echoAEqBypass,
         w::echoATime, w::echoAParam19, w::echoAParam20},
        {w::micBEqBypass, w::reverbBEqBypass, w::reverbBTime, w::reverbBParam24, w::echoBEqBypass,
         w::echoBTime, w::echoBParam26, w::echoBParam27}};
    for (int c = 0; c < 2; ++c) {
        const Channel& ch = kChannels[c];
        sendWord(ch.micEqBypass);
        setFreqShift(c, p.getInt(c == 0 ? w::micAFreq : w::micBFreq));
        sendWord(ch.reverbEqBypass);
        sendWord(ch.reverbTime);
        sendWord(ch.reverbTime + 1);
        p.setFloat(ch.reverbParam, std::trunc(p.getFloat(ch.reverbParam)));
        sendWord(ch.reverbParam);
        sendWord(ch.echoEqBypass);
        for (int k = 0; k < 3; ++k)
            sendWord(ch.echoTime + k);
        sendWord(ch.echoStart);
        sendWord(ch.echoDecay);
    }

    // 7. Microphone levels and gates.
    for (int k = 0; k < 4; ++k)
        sendWord(w::micLevel + k);
    for (int k = 0; k < 4; ++k)
        sendWord(w::micGateThreshold + k);
    sendWord(w::micGateAttack);
    sendWord(w::micGateRelease);

    // 8. Music block.
    sendWord(w::musicEqBypass);
    sendWord(w::musicPitch);
    sendWord(w::musicAgcEnable);
    sendWord(w::musicAgcLevel);
    sendWord(w::musicGateThreshold);
    sendWord(w::musicGateAttack);
    sendWord(w::musicGateRelease);

    // 9. Each output's switches, delays and split filters, and its mute.
    for (const OutputGroup& g : kOutputGroups) {
        sendWord(g.eqBypass());
        sendWord(g.compBypass());
        for (int k = 0; k < g.channels(); ++k)
            sendWord(g.delayMs(k));
        for (int k = 0; k < g.channels(); ++k)
            sendWord(g.delayBypass(k));
        for (int k = 0; k < g.channels(); ++k)
            sendDelayChannel(g, k);
        sendWord(g.mute());
    }

    // 10. The compressors.
    for (const OutputGroup& g : kOutputGroups)
        sendCompressor(g);

    // 11. Phases and the automatic subwoofer.
    sendWord(w::micAPhase);
    sendWord(w::micBPhase);
    sendWord(w::autoSubEnable);
    sendWord(w::autoSubLevel);
}

}  // namespace v36
