#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace v36 {

// How a word is held in the store and encoded for the unit.
enum class WordKind {
    Level,          // int hundredths, sent as value / 100
    Mute,           // flag, 1 = muted; sent as 0.0 when muted, 1.0 otherwise
    Integer,        // int, sent as a 32-bit integer
    Samples,        // float ms, sent as trunc(ms * 48 + 0.5) samples
    Gate4,          // int, sent as value / 1e4
    Gate5,          // int, sent as value / 1e5
    Gate7,          // int, sent as value / 1e7
    Raw,            // float, sent as stored
    FreqShift,      // int hertz shift (1 = off), the frequency-shift codec
    Pitch,          // int -5..+5, sent as the integer value + 5
    ReverbTime,     // float whole number 0..100, sent as value / 100
    CompThreshold,  // the compressor's seven-word parameter, first word
    CompRatio,
    CompAttack,
    CompRelease,
    DelayMode,  // int 0 = high-frequency mode, 1 = channel mode; two singles
};

// How a command-10 answer is folded back into the word.
enum class ReadBack { C, M, I, P, MS, HZ, S4, S5, S7, RAW, N2, CMP, CF };

struct UnitAddress {
    std::uint8_t block = 0;
    std::uint8_t index = 0;
    std::uint8_t count = 1;  // words of the parameter
    bool operator==(const UnitAddress&) const = default;
};

struct WordInfo {
    int word = 0;
    std::string name;  // "micVolume", "micRouteA[0]", "outMain.level[0]", ...
    WordKind kind = WordKind::Integer;
    std::vector<UnitAddress> sendTo;    // where the value goes, in order
    std::vector<UnitAddress> readFrom;  // addresses whose answer sets the word
    ReadBack readBack = ReadBack::I;

    bool isFloat() const {
        return kind == WordKind::Samples || kind == WordKind::Raw || kind == WordKind::ReverbTime ||
               kind == WordKind::CompThreshold || kind == WordKind::CompRatio ||
               kind == WordKind::CompAttack || kind == WordKind::CompRelease;
    }
};

// The table of all 147 words, in word order.
std::span<const WordInfo> wordTable();
const WordInfo& wordInfo(int word);

// The word of a name such as "micVolume", "echoATime[2]" or
// "outMain.level[0]". An array name without an index means element 0
// when the array has a single element ("outSub.delayMs").
std::optional<int> findWord(std::string_view name);

// The unit address of speaker trim k (0..7: Main L, Main R, Rear L, Rear R,
// Center, Sub, Top L, Top R), six words; the speaker block holds the values.
UnitAddress speakerTrimAddress(int k);

// The word whose answer the unit gives at block.index, if any.
std::optional<int> findReadBackWord(std::uint8_t block, std::uint8_t index);

}  // namespace v36
