#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>

#include "dsp/filter_design.h"
#include "link/link.h"
#include "protocol/param_store.h"
#include "protocol/report.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36 {

// The encoders and senders every page uses: each builds a report from a
// zeroed buffer and hands it to the link's paced write path. Results are
// the bytes written (61, or 0 when refused); callers may ignore them.
class Senders {
  public:
    using Sleeper = std::function<void(std::chrono::milliseconds)>;

    Senders(ParamStore& store, Link& link);

    // Replaces the pause used by the fades (tests record pauses this way).
    void setSleeper(Sleeper sleeper) { sleep_ = std::move(sleeper); }
    void sleep(std::chrono::milliseconds ms) const { sleep_(ms); }

    // Called after every report this sender hands to the link (progress).
    void setWriteHook(std::function<void()> hook) { writeHook_ = std::move(hook); }

    // --- Report primitives -------------------------------------------------
    int write(const Report& report) {
        const int n = link_.WriteUsbData(report.data(), report.size());
        if (writeHook_) writeHook_();
        return n;
    }

    // The code and the values, each cut to its low 8 bits; stops at the
    // first -1 or after 60 entries (code included). The code is always taken.
    int sendCommand(std::span<const int> codeAndValues);
    int sendCommand(std::initializer_list<int> codeAndValues) {
        return sendCommand(std::span<const int>(codeAndValues.begin(), codeAndValues.size()));
    }
    static Report buildCommand(std::span<const int> codeAndValues);

    // Command 9 with `count` copies (1..13) of the single `value`.
    int sendParam(int block, int index, float value, int count = 1);
    // Command 9 with one integer word whose lowest byte is `value`.
    int sendInt(int block, int index, std::uint32_t value);
    // Command 9 with the given words (at most 13).
    int sendWords(int block, int index, std::span<const std::uint32_t> words);
    // Command 9 with -A1, -A2, B0, B1, B2 as singles.
    int sendBiquad(int block, int index, const SectionCoefficients& c);

    static Report buildParam(int block, int index, std::span<const std::uint32_t> words);

    // --- Register pages ------------------------------------------------------
    // Command 133: `length` (1..56) bytes at `offset`.
    int writeRegisters(int offset, int length, const std::uint8_t* data);
    // Command 134: ask for `length` (1..56) bytes at `offset`.
    int readRegisters(int offset, int length);
    // Encodes the record, stores it in the register block and writes it.
    int writeBand(int block, int record, float gain, int freq, float q, int type);
    // writeBand, then design the section and send its coefficients.
    void SendSection(int bank, int index, int type, float gain, int freq, float q);
    // The same reports as SendSection without touching the store: the
    // record goes to the unit's register space, then the coefficients. The
    // writer thread sends what the GUI thread has already stored this way.
    void sendSection(int bank, int index, int type, float gain, int freq, float q);
    void readAllRegisters();
    void writeAllRegisters();
    // Designs and sends every EQ band's biquad from its stored record.
    void sendAllBands();
    // Designs and sends the biquad of one stored record (no register write).
    void sendStoredSection(int bank, int index);

    // --- Store words ----------------------------------------------------------
    // Sends word `w` as it stands in the store, encoded as its kind says.
    // The compressor words send the group's seven-word parameter; the
    // frequency-shift words run the frequency-shift codec.
    void sendWord(int w);

    // Music mute: muting sends 0.0 at once; unmuting fades in 0.0..0.8 in
    // tenths with 30 ms pauses, then 1.0.
    void sendMusicMute(bool muted);
    // Frequency shift of microphone channel 0 (A) or 1 (B): stores `s` and
    // its mode word, sends them.
    void setFreqShift(int channel, int s);
    // Sends the stored frequency shift of channel 0 (A) or 1 (B) without
    // writing the store.
    void sendFreqShift(int channel);
    // Stores and sends the compressor of `group` (seven words).
    void sendCompressor(const OutputGroup& group);
    // Output delay: raised to at least 1.5 ms, stored and sent.
    void setOutputDelay(const OutputGroup& group, int channel, float ms);
    // Delay filter mode of channel k of `group` (0 = high-frequency mode,
    // 1 = channel mode): stored, the two mode words sent, then the split
    // pair found from the stored high-pass frequency sent as high-pass and
    // low-pass sections, or as flat peaking sections in channel mode (so the
    // pair survives in the register block).
    void setDelayFilterMode(const OutputGroup& group, int channel, int mode);
    // Split pair i (0..25) of channel k: high-pass 500 + 100 i Hz and
    // low-pass 1000 + 100 i Hz, both Q 0.707 at 0 dB.
    void setSplitPair(const OutputGroup& group, int channel, int pair);
    // The pair whose high-pass frequency the channel's stored high-pass
    // section has; 0 when none matches.
    int splitPairOf(const OutputGroup& group, int channel) const;

    // Echo predelay of channel 0 (A) or 1 (B): the sum of both taps, at least
    // 3.0 ms, each tap half of it.
    void setEchoPredelay(int channel, float sumMs);
    // Speaker trim k (0..7) in dB: stored, the speaker block written, the
    // six-word level sent.
    void setSpeakerLevel(int k, float db);
    // Writes the given speaker block to the unit and sends trim k's
    // six-word level from it; the store is not touched.
    void sendSpeakerLevel(int k, const std::array<std::uint8_t, kSpeakerBlockSize>& block);
    // Encodes the room geometry into its block and writes the 20 bytes.
    int sendSoundField();

    // The whole parameter set, in the unit's order, after a store change.
    void sendFullSet(bool volumeSaveByMode);

    ParamStore& store() { return store_; }
    Link& link() { return link_; }

  private:
    void sendDelayChannel(const OutputGroup& g, int k);

    ParamStore& store_;
    Link& link_;
    Sleeper sleep_;
    std::function<void()> writeHook_;
};

// The unit parameter address of speaker trim k (Main L, Main R, Rear L,
// Rear R, Center, Sub, Top L, Top R).
UnitAddress speakerLevelAddress(int k);

}  // namespace v36
