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

void Senders::sendSection(int bank, int index, int type, float gain, int freq, float q) {
    const auto bytes = BandRecord{gain, freq, q, type}.encode();
    writeRegisters(recordOffset(bank, index), BandRecord::kSize, bytes.data());
    sendBiquad(
        bank, index,
        DesignSection(type, freq, static_cast<double>(q), static_cast<double>(gain), kSampleRate));
}

void Senders::sendStoredSection(int bank, int index) {
    const BandRecord r = store_.record(bank, index);
    sendBiquad(bank, index,
               DesignSection(r.type, r.freq, static_cast<double>(r.q), static_cast<double>(r.gain),
                             kSampleRate));
}

std::vector<std::pair<int, int>> Senders::registerReadPieces() {
    std::vector<std::pair<int, int>> pieces;
    for (int offset = 0; offset < kRegisterBlockSize; offset += kMaxRegisterPiece)
        pieces.emplace_back(offset, std::min(kMaxRegisterPiece, kRegisterBlockSize - offset));
    pieces.emplace_back(kSoundFieldOffset, static_cast<int>(kSoundFieldBytes));
    pieces.emplace_back(kSpeakerOffset, kSpeakerBlockSize);
    return pieces;
}

void Senders::readAllRegisters() {
    for (const auto& [offset, length] : registerReadPieces())
        readRegisters(offset, length);
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
                sendInt(a.block, a.index, msToSamples(static_cast<double>(p.getFloat(w))));
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
    const UnitAddress a = wordInfo(w::musicMute).sendTo.front();
    if (muted) {
        sendParam(a.block, a.index, 0.0f, a.count);
        return;
    }
    for (int step = 0; step <= 8; ++step) {
        sendParam(a.block, a.index, static_cast<float>(step) / 10.0f, a.count);
        sleep_(std::chrono::milliseconds(30));
    }
    sendParam(a.block, a.index, 1.0f, a.count);
}

void Senders::sendFreqShift(int channel) {
    const int word = channel == 0 ? w::micAFreq : w::micBFreq;
    const int s = store_.params.getInt(word);
    // The shift's three addresses: radians, period, mode.
    const std::vector<UnitAddress>& to = wordInfo(word).sendTo;
    if (s == 1) {
        sendInt(to[2].block, to[2].index, 1);
        return;
    }
    sendInt(to[2].block, to[2].index, 0);
    sendParam(to[0].block, to[0].index, freqShiftRadians(s), 1);
    sendInt(to[1].block, to[1].index, freqShiftPeriodSamples(s));
}

void Senders::sendCompressor(const OutputGroup& g) {
    const ParamBlock& p = store_.params;
    const auto words = compressorWords(p.getFloat(g.compThreshold()), p.getFloat(g.compRatio()),
                                       p.getFloat(g.compAttack()), p.getFloat(g.compRelease()));
    sendWords(g.block, g.unitCompressor(), words);
}

void Senders::sendSpeakerLevel(int k, const std::array<std::uint8_t, kSpeakerBlockSize>& block) {
    if (k < 0 || k > 7) return;
    writeRegisters(kSpeakerOffset, kSpeakerBlockSize, block.data());
    const UnitAddress a = speakerTrimAddress(k);
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
        for (int word : {w::micVolume, w::musicVolume})
            for (const UnitAddress& a : wordInfo(word).sendTo)
                sendParam(a.block, a.index, 0.0f, a.count);
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
        // The mode word follows the shift, as every edit of it stores.
        const int shift = p.getInt(c == 0 ? w::micAFreq : w::micBFreq);
        p.setInt(c == 0 ? w::micAFreqMode : w::micBFreqMode, shift == 1 ? 1 : 0);
        sendFreqShift(c);
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
