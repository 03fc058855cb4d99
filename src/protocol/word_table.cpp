#include "protocol/word_table.h"

#include <array>
#include <stdexcept>
#include <unordered_map>

#include "protocol/param_store.h"
#include "protocol/words.h"

namespace v36 {

namespace {

using K = WordKind;
using R = ReadBack;

struct Builder {
    std::vector<WordInfo> rows;

    // A word sent to `sendTo` and read back from the first address.
    void add(int word, std::string name, K kind, std::vector<UnitAddress> sendTo, R rb) {
        std::vector<UnitAddress> readFrom{sendTo.front()};
        addRead(word, std::move(name), kind, std::move(sendTo), std::move(readFrom), rb);
    }
    void addRead(int word, std::string name, K kind, std::vector<UnitAddress> sendTo,
                 std::vector<UnitAddress> readFrom, R rb) {
        if (word != static_cast<int>(rows.size()))
            throw std::logic_error("word table out of order");
        rows.push_back(
            WordInfo{word, std::move(name), kind, std::move(sendTo), std::move(readFrom), rb});
    }
    // An array of `n` words at consecutive unit indices.
    void array(int first, const std::string& name, int n, K kind, std::uint8_t block,
               std::uint8_t index, R rb) {
        for (int k = 0; k < n; ++k) {
            add(first + k, name + "[" + std::to_string(k) + "]", kind,
                {{block, static_cast<std::uint8_t>(index + k), 1}}, rb);
        }
    }
};

UnitAddress at(int block, int index, int count = 1) {
    return {static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(index),
            static_cast<std::uint8_t>(count)};
}

void addOutputGroup(Builder& b, const OutputGroup& g) {
    const std::string p = std::string(g.name) + ".";
    const int blk = g.block;
    for (int k = 0; k < 4; ++k) {
        b.add(g.level(k), p + "level[" + std::to_string(k) + "]", K::Level,
              {at(blk, g.unitLevel(k))}, R::C);
    }
    b.add(g.eqBypass(), p + "eqBypass", K::Integer, {at(blk, g.unitEqBypass())}, R::I);
    b.add(g.compBypass(), p + "compBypass", K::Integer, {at(blk, g.unitCompBypass())}, R::I);
    const UnitAddress comp = at(blk, g.unitCompressor(), 7);
    b.add(g.compThreshold(), p + "compThreshold", K::CompThreshold, {comp}, R::CMP);
    b.add(g.compRatio(), p + "compRatio", K::CompRatio, {comp}, R::CMP);
    b.add(g.compAttack(), p + "compAttack", K::CompAttack, {comp}, R::CMP);
    b.add(g.compRelease(), p + "compRelease", K::CompRelease, {comp}, R::CMP);
    for (int k = 0; k < g.channels(); ++k) {
        b.add(g.delayMs(k), p + "delayMs[" + std::to_string(k) + "]", K::Samples,
              {at(blk, g.unitDelay(k))}, R::MS);
    }
    for (int k = 0; k < g.channels(); ++k) {
        b.add(g.delayBypass(k), p + "delayBypass[" + std::to_string(k) + "]", K::Integer,
              {at(blk, g.unitDelayBypass(k))}, R::I);
    }
    for (int k = 0; k < g.channels(); ++k) {
        b.add(g.delayFilterMode(k), p + "delayFilterMode[" + std::to_string(k) + "]", K::DelayMode,
              {at(blk, g.unitDelayMode(k), 2)}, R::N2);
    }
    b.add(g.mute(), p + "mute", K::Mute, {at(blk, g.unitMute(), g.stereo ? 2 : 1)}, R::M);
}

std::vector<WordInfo> buildTable() {
    Builder b;
    // Group 1, microphone mixer.
    b.addRead(w::micVolume, "micVolume", K::Level, {at(1, 30), at(1, 43)}, {at(1, 30), at(1, 43)},
              R::C);
    b.array(w::micRouteA, "micRouteA", 4, K::Level, 1, 33, R::C);
    b.add(w::micAEqBypass, "micAEqBypass", K::Integer, {at(1, 37)}, R::I);
    b.add(w::micAPhase, "micAPhase", K::Integer, {at(1, 41)}, R::I);
    b.add(w::micAFreq, "micAFreq", K::FreqShift, {at(1, 38), at(1, 39), at(1, 40)}, R::HZ);
    b.add(w::micAFreqMode, "micAFreqMode", K::Integer, {at(1, 40)}, R::I);
    b.array(w::micRouteB, "micRouteB", 4, K::Level, 1, 46, R::C);
    b.add(w::micBEqBypass, "micBEqBypass", K::Integer, {at(1, 50)}, R::I);
    b.add(w::micBPhase, "micBPhase", K::Integer, {at(1, 54)}, R::I);
    b.add(w::micBFreq, "micBFreq", K::FreqShift, {at(1, 51), at(1, 52), at(1, 53)}, R::HZ);
    b.add(w::micBFreqMode, "micBFreqMode", K::Integer, {at(1, 53)}, R::I);
    b.addRead(w::effectVolume, "effectVolume", K::Level, {at(1, 32), at(1, 45)},
              {at(1, 32), at(1, 45)}, R::C);
    b.addRead(w::micMute, "micMute", K::Mute, {at(1, 42), at(1, 55)}, {at(1, 42), at(1, 55)}, R::M);
    b.array(w::micLevel, "micLevel", 4, K::Level, 1, 56, R::C);
    b.array(w::micGateThreshold, "micGateThreshold", 4, K::Gate4, 1, 60, R::S4);
    b.add(w::micGateAttack, "micGateAttack", K::Gate5, {at(1, 64)}, R::S5);
    b.add(w::micGateRelease, "micGateRelease", K::Gate7, {at(1, 65)}, R::S7);
    b.add(w::autoSubEnable, "autoSubEnable", K::Integer, {at(1, 67)}, R::I);
    b.add(w::autoSubLevel, "autoSubLevel", K::Level, {at(1, 68)}, R::C);

    // Group 2, echo.
    b.add(w::echoAEqBypass, "echoAEqBypass", K::Integer, {at(2, 14)}, R::I);
    b.add(w::echoAParam15, "echoAParam15", K::Level, {at(2, 15)}, R::C);
    b.array(w::echoATime, "echoATime", 3, K::Samples, 2, 16, R::MS);
    b.add(w::echoAParam19, "echoAParam19", K::Level, {at(2, 19)}, R::C);
    b.add(w::echoAParam20, "echoAParam20", K::Level, {at(2, 20)}, R::C);
    b.add(w::echoBEqBypass, "echoBEqBypass", K::Integer, {at(2, 21)}, R::I);
    b.add(w::echoBParam22, "echoBParam22", K::Level, {at(2, 22)}, R::C);
    b.array(w::echoBTime, "echoBTime", 3, K::Samples, 2, 23, R::MS);
    b.add(w::echoBParam26, "echoBParam26", K::Level, {at(2, 26)}, R::C);
    b.add(w::echoBParam27, "echoBParam27", K::Level, {at(2, 27)}, R::C);
    b.add(w::echoVolume, "echoVolume", K::Level, {at(2, 28, 2)}, R::C);
    b.add(w::echoMute, "echoMute", K::Mute, {at(2, 29, 2)}, R::M);

    // Group 3, reverb.
    b.add(w::reverbAEqBypass, "reverbAEqBypass", K::Integer, {at(3, 14)}, R::I);
    b.add(w::reverbAParam15, "reverbAParam15", K::Level, {at(3, 15)}, R::C);
    b.array(w::reverbATime, "reverbATime", 2, K::Samples, 3, 16, R::MS);
    b.add(w::reverbAParam18, "reverbAParam18", K::ReverbTime, {at(3, 18), at(3, 19)}, R::CF);
    b.add(w::reverbBEqBypass, "reverbBEqBypass", K::Integer, {at(3, 20)}, R::I);
    b.add(w::reverbBParam21, "reverbBParam21", K::Level, {at(3, 21)}, R::C);
    b.array(w::reverbBTime, "reverbBTime", 2, K::Samples, 3, 22, R::MS);
    b.add(w::reverbBParam24, "reverbBParam24", K::ReverbTime, {at(3, 24), at(3, 25)}, R::CF);
    b.add(w::reverbVolume, "reverbVolume", K::Level, {at(3, 26, 2)}, R::C);
    b.add(w::reverbMute, "reverbMute", K::Mute, {at(3, 27, 2)}, R::M);

    // Group 4, music input.
    b.add(w::musicVolume, "musicVolume", K::Level, {at(4, 15, 2)}, R::C);
    b.add(w::musicMute, "musicMute", K::Mute, {at(4, 16, 2)}, R::M);
    b.add(w::musicEqBypass, "musicEqBypass", K::Integer, {at(4, 17)}, R::I);
    b.add(w::musicPitch, "musicPitch", K::Pitch, {at(4, 20)}, R::P);
    b.add(w::musicGateThreshold, "musicGateThreshold", K::Gate4, {at(4, 21)}, R::S4);
    b.add(w::musicGateAttack, "musicGateAttack", K::Gate5, {at(4, 22)}, R::S5);
    b.add(w::musicGateRelease, "musicGateRelease", K::Gate7, {at(4, 23)}, R::S7);

    // Groups 5..9, outputs, in word order.
    for (const OutputGroup* g : {&outMain, &outRear, &outTop, &outCenter, &outSub}) {
        addOutputGroup(b, *g);
    }

    // Group 10, music AGC.
    b.add(w::musicAgcEnable, "musicAgcEnable", K::Integer, {at(4, 18)}, R::I);
    b.add(w::musicAgcLevel, "musicAgcLevel", K::Raw, {at(4, 19)}, R::RAW);

    if (b.rows.size() != static_cast<std::size_t>(ParamBlock::kWords)) {
        throw std::logic_error("word table incomplete");
    }
    return std::move(b.rows);
}

struct Index {
    std::vector<WordInfo> rows = buildTable();
    std::unordered_map<std::string, int> byName;
    std::array<std::array<std::int16_t, 256>, 10> byAddress{};

    Index() {
        for (auto& block : byAddress)
            block.fill(-1);
        for (const auto& row : rows) {
            byName.emplace(row.name, row.word);
            for (const auto& a : row.readFrom) {
                auto& slot = byAddress.at(a.block).at(a.index);
                if (slot < 0) slot = static_cast<std::int16_t>(row.word);
            }
        }
    }
};

const Index& index() {
    static const Index instance;
    return instance;
}

}  // namespace

std::span<const WordInfo> wordTable() {
    return index().rows;
}

const WordInfo& wordInfo(int word) {
    return index().rows.at(static_cast<std::size_t>(word));
}

std::optional<int> findWord(std::string_view name) {
    const auto& idx = index();
    if (auto it = idx.byName.find(std::string(name)); it != idx.byName.end()) return it->second;
    // A single-element array may be named without its index.
    if (auto it = idx.byName.find(std::string(name) + "[0]"); it != idx.byName.end()) {
        if (idx.byName.find(std::string(name) + "[1]") == idx.byName.end()) return it->second;
    }
    return std::nullopt;
}

UnitAddress speakerTrimAddress(int k) {
    struct Trim {
        const OutputGroup* group;
        int channel;
    };
    static constexpr Trim kTrims[8] = {{&outMain, 0},   {&outMain, 1}, {&outRear, 0}, {&outRear, 1},
                                       {&outCenter, 0}, {&outSub, 0},  {&outTop, 0},  {&outTop, 1}};
    const Trim& t = kTrims[k < 0 ? 0 : k > 7 ? 7 : k];
    return {t.group->block, t.group->unitSpeakerTrim(t.channel), 6};
}

std::optional<int> findReadBackWord(std::uint8_t block, std::uint8_t index1) {
    if (block >= 10) return std::nullopt;
    const int word = index().byAddress.at(block).at(index1);
    if (word < 0) return std::nullopt;
    return word;
}

}  // namespace v36
