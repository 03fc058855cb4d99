#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

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
    // One filter section as the unit takes it, without touching the store:
    // its record into the unit's register space, then its coefficients.
    void sendSection(int bank, int index, int type, float gain, int freq, float q);

    void readAllRegisters();
    // The pieces (offset, length) readAllRegisters asks for: the register
    // space in 56-byte pages, the sound field, the speaker block.
    static std::vector<std::pair<int, int>> registerReadPieces();
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
    // Sends the stored frequency shift of channel 0 (A) or 1 (B) without
    // writing the store.
    void sendFreqShift(int channel);
    // Stores and sends the compressor of `group` (seven words).
    void sendCompressor(const OutputGroup& group);
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

}  // namespace v36
