#include "protocol/controls.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "protocol/output_delay.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36 {

namespace {

using R = ControlRule;

struct Names {
    std::string zh;
    std::string en;
};

struct Builder {
    std::vector<ControlInfo> rows = std::vector<ControlInfo>(ParamBlock::kWords);
    std::vector<bool> filled = std::vector<bool>(ParamBlock::kWords, false);

    ControlInfo& put(int word, Names names, double lo, double hi, std::string unit = {},
                     R rule = R::Plain) {
        ControlInfo& c = rows.at(static_cast<std::size_t>(word));
        if (filled.at(static_cast<std::size_t>(word)))
            throw std::logic_error("control table: a word twice");
        filled.at(static_cast<std::size_t>(word)) = true;
        const WordInfo& info = wordInfo(word);
        c.word = word;
        c.name = info.name;
        c.zh = std::move(names.zh);
        c.en = std::move(names.en);
        c.lo = lo;
        c.hi = hi;
        c.floor = lo;
        c.step = 1.0;
        c.integer = !info.isFloat();
        c.unit = std::move(unit);
        c.rule = rule;
        c.mergeKey = "word:" + std::to_string(word);
        return c;
    }
    ControlInfo& level(int word, Names names, double hi = 100.0) {
        return put(word, std::move(names), 0.0, hi, "%");
    }
    // A switch: each change is a step of its own.
    ControlInfo& toggle(int word, Names names) {
        ControlInfo& c = put(word, std::move(names), 0.0, 1.0);
        c.toggle = true;
        c.mergeKey.clear();
        return c;
    }
};

Names operator+(const Names& a, const Names& b) {
    return {a.zh + b.zh, a.en + " " + b.en};
}

// "话筒口" 2 " 音量" -> "话筒口2 音量"
std::string numbered(const char* before, int n, const char* after) {
    return before + std::to_string(n) + after;
}

// Microphone channels A and B and the words of their effects.
struct MicChannel {
    Names name;
    Names phaseName;
    int eqBypass, phase, freq, freqMode;
    int echoEqBypass, echoLevel, echoTime, echoStart, echoDecay;
    int reverbEqBypass, reverbLevel, reverbTime, reverbLength;
};

void addMicChannel(Builder& b, const MicChannel& m) {
    b.toggle(m.eqBypass, m.name + Names{"均衡旁路", "EQ Bypass"});
    b.toggle(m.phase, m.phaseName);
    b.put(m.freq, m.name + Names{"话筒移频", "Shift Frequency"}, 1, 5, "Hz", R::FreqShift);
    b.put(m.freqMode, m.name + Names{"移频模式", "Shift Mode"}, 0, 1, {}, R::Derived);

    b.toggle(m.echoEqBypass, m.name + Names{"回声均衡旁路", "Echo EQ Bypass"});
    b.level(m.echoLevel, m.name + Names{"回声电平", "Echo Level"});
    // The predelay's two taps: each half of the predelay of 3..200 ms.
    for (int k = 0; k < 2; ++k) {
        ControlInfo& c = b.put(m.echoTime + k, m.name + Names{"回声预延时", "Echo Predelay"}, 1.5,
                               100.0, "ms", R::PredelayTap);
        c.step = 0.5;
        c.mergeKey = "word:" + std::to_string(m.echoTime);
    }
    ControlInfo& echoTime =
        b.put(m.echoTime + 2, m.name + Names{"回声间隔", "Echo Time"}, 180.0, 260.0, "ms");
    echoTime.floor = 40.0;
    b.put(m.echoStart, m.name + Names{"回声起始音量", "Echo Start Vol"}, 40, 100, "%");
    b.put(m.echoDecay, m.name + Names{"回声衰减比例", "Echo Vol Decay"}, 20, 90, "%");

    b.toggle(m.reverbEqBypass, m.name + Names{"混响均衡旁路", "Reverb EQ Bypass"});
    b.level(m.reverbLevel, m.name + Names{"混响电平", "Reverb Level"});
    for (int k = 0; k < 2; ++k) {
        ControlInfo& c = b.put(m.reverbTime + k, m.name + Names{"混响预延时", "Reverb Predelay"},
                               1.5, 100.0, "ms", R::PredelayTap);
        c.step = 0.5;
        c.mergeKey = "word:" + std::to_string(m.reverbTime);
    }
    b.put(m.reverbLength, m.name + Names{"混响时长", "Reverb Time"}, 0.0, 100.0, {},
          R::WholeNumber);
}

struct GroupNames {
    const OutputGroup* group;
    Names name;
    std::array<Names, 2> channels;  // the delay channels (one for a single speaker)
};

void addOutputGroup(Builder& b, const GroupNames& n) {
    const OutputGroup& g = *n.group;
    static const std::array<Names, 4> kLevels{{{"直达音量", "Direct Level"},
                                               {"混响音量", "Reverb Level"},
                                               {"回声音量", "Echo Level"},
                                               {"音乐音量", "Music Level"}}};
    for (int k = 0; k < 4; ++k) {
        // The subwoofer's music level runs three times its slider.
        const bool sub = &g == &outSub && k == 3;
        ControlInfo& c =
            b.level(g.level(k), n.name + kLevels[static_cast<std::size_t>(k)], sub ? 300 : 100);
        if (sub) {
            c.shownDivisor = 3;
            c.step = 3.0;
        }
    }
    b.toggle(g.eqBypass(), n.name + Names{"均衡旁路", "EQ Bypass"});
    // 0 = on: the page's switch is ticked.
    b.toggle(g.compBypass(), n.name + Names{"压限启用", "Comp ON"});
    b.put(g.compThreshold(), n.name + Names{"压限阀(阈)", "Comp Threshold"}, -60, 0, "dB",
          R::Compressor);
    ControlInfo& ratio = b.put(g.compRatio(), n.name + Names{"压限衰减比例", "Comp Ratio"}, 1, 30,
                               ":1", R::Compressor);
    ratio.step = 0.1;
    b.put(g.compAttack(), n.name + Names{"压限启动时间", "Comp Attack time"}, 1, 100, "ms",
          R::Compressor);
    b.put(g.compRelease(), n.name + Names{"压限释放时间", "Comp Release time"}, 1, 1000, "ms",
          R::Compressor);
    for (int k = 0; k < g.channels(); ++k) {
        const Names& ch = n.channels[static_cast<std::size_t>(k)];
        ControlInfo& delay = b.put(g.delayMs(k), ch + Names{"延时", "Delay"}, kMinOutputDelayMs,
                                   kMaxOutputDelayMs, "ms");
        delay.step = 0.1;
        b.toggle(g.delayBypass(k), ch + Names{"延时开关", "Delay ON"});  // 0 = on
        b.put(g.delayFilterMode(k), ch + Names{"延时方式", "Delay Mode"}, 0, 1, {}, R::DelayMode)
            .mergeKey.clear();
    }
    b.toggle(g.mute(), n.name + Names{"静音", "Mute"});
}

std::vector<ControlInfo> buildTable() {
    Builder b;
    b.put(w::micVolume, {"话筒音量", "Mic Vol"}, 0, 99, {}, R::Volume);
    for (int k = 0; k < 4; ++k) {
        const int n = k + 1;
        b.level(w::micRouteA + k,
                {numbered("话筒口", n, " 通道A"), numbered("Mic ", n, " to CH A")});
        b.level(w::micRouteB + k,
                {numbered("话筒口", n, " 通道B"), numbered("Mic ", n, " to CH B")});
        b.level(w::micLevel + k, {numbered("话筒口", n, " 音量"), numbered("Mic ", n, " Vol")});
        b.put(w::micGateThreshold + k,
              {numbered("话筒口", n, " 噪声门"), numbered("Mic ", n, " Gate")}, 0, 100);
    }
    addMicChannel(b, {{"话筒通道A ", "Mic CH A"},
                      {"话筒A组反向", "Mic A phase invert"},
                      w::micAEqBypass,
                      w::micAPhase,
                      w::micAFreq,
                      w::micAFreqMode,
                      w::echoAEqBypass,
                      w::echoAParam15,
                      w::echoATime,
                      w::echoAParam19,
                      w::echoAParam20,
                      w::reverbAEqBypass,
                      w::reverbAParam15,
                      w::reverbATime,
                      w::reverbAParam18});
    addMicChannel(b, {{"话筒通道B ", "Mic CH B"},
                      {"话筒B组反向", "Mic B phase invert"},
                      w::micBEqBypass,
                      w::micBPhase,
                      w::micBFreq,
                      w::micBFreqMode,
                      w::echoBEqBypass,
                      w::echoBParam22,
                      w::echoBTime,
                      w::echoBParam26,
                      w::echoBParam27,
                      w::reverbBEqBypass,
                      w::reverbBParam21,
                      w::reverbBTime,
                      w::reverbBParam24});
    b.put(w::effectVolume, {"总效果音量", "Effect Vol"}, 0, 99);
    b.toggle(w::micMute, {"话筒静音", "Mic Mute"});
    // The noise gate's times: the dialog's slider stores 101 minus its position.
    b.put(w::micGateAttack, {"话筒噪声门启动时间", "Mic gate attack"}, 1, 100);
    b.put(w::micGateRelease, {"话筒噪声门关闭时间", "Mic gate release"}, 1, 100);
    b.toggle(w::autoSubEnable, {"自动超低", "Auto SUB"});
    b.level(w::autoSubLevel, {"超低比例", "SUB Vol"});

    b.level(w::echoVolume, {"回声总音量", "Echo Vol"});
    b.toggle(w::echoMute, {"回声静音", "Echo Mute"});
    b.level(w::reverbVolume, {"混响总音量", "Reverb Vol"});
    b.toggle(w::reverbMute, {"混响静音", "Reverb Mute"});

    b.put(w::musicVolume, {"音乐音量", "Music Vol"}, 0, 99, {}, R::Volume);
    b.toggle(w::musicMute, {"音乐静音", "Music Mute"});
    b.toggle(w::musicEqBypass, {"音乐均衡旁路", "Music EQ Bypass"});
    b.put(w::musicPitch, {"音乐变调", "Music Pitch"}, -5, 5);
    b.put(w::musicGateThreshold, {"音乐噪声门", "Noisegate"}, 0, 100);
    b.put(w::musicGateAttack, {"音乐噪声门启动时间", "Music gate attack"}, 1, 100);
    b.put(w::musicGateRelease, {"音乐噪声门关闭时间", "Music gate release"}, 1, 100);

    addOutputGroup(b, {&outMain, {"前置", "Main"}, {{{"前置左", "Main L"}, {"前置右", "Main R"}}}});
    addOutputGroup(b, {&outRear, {"后置", "Rear"}, {{{"后置左", "Rear L"}, {"后置右", "Rear R"}}}});
    addOutputGroup(b, {&outTop, {"顶置", "Top"}, {{{"顶置左", "Top L"}, {"顶置右", "Top R"}}}});
    addOutputGroup(b, {&outCenter, {"中置", "Center"}, {{{"中置", "Center"}, {}}}});
    addOutputGroup(b, {&outSub, {"超低", "Sub"}, {{{"超低", "Sub"}, {}}}});

    b.toggle(w::musicAgcEnable, {"音乐AGC", "Music AGC"});
    ControlInfo& agc = b.put(w::musicAgcLevel, {"AGC电平", "AGC Level"}, -18.0, -6.0, "dB");
    agc.step = 0.1;

    for (bool f : b.filled)
        if (!f) throw std::logic_error("control table incomplete");
    return std::move(b.rows);
}

const std::vector<ControlInfo>& table() {
    static const std::vector<ControlInfo> rows = buildTable();
    return rows;
}

constexpr std::array<int, 7> kLiveWords{w::micVolume,   w::micMute,   w::effectVolume,
                                        w::musicVolume, w::musicMute, w::musicGateThreshold,
                                        w::musicPitch};

std::string rangeNumber(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

}  // namespace

std::span<const ControlInfo> controlTable() {
    return table();
}

const ControlInfo& controlInfo(int word) {
    return table().at(static_cast<std::size_t>(word));
}

std::span<const int> liveControlWords() {
    return kLiveWords;
}

std::string bandMergeKey(int eq, int band) {
    return "band:" + std::to_string(eq) + ":" + std::to_string(band);
}

std::optional<WordValue> checkWordValue(int word, double value, std::string& why) {
    const ControlInfo& c = controlInfo(word);
    if (!c.settable()) {
        why = c.name + " follows another parameter and is not set by itself";
        return std::nullopt;
    }
    if (!std::isfinite(value) || (c.integer && value != std::trunc(value))) {
        why = c.name + (c.integer ? " takes a whole number" : " takes a number");
        return std::nullopt;
    }
    // A float is compared as the single it becomes.
    const double v = c.integer ? value : static_cast<double>(static_cast<float>(value));
    if (v < c.lo || v > c.hi) {
        why = c.name + " lies within " + rangeNumber(c.lo) + ".." + rangeNumber(c.hi);
        if (!c.unit.empty() && c.unit != ":1") why += " " + c.unit;
        return std::nullopt;
    }
    WordValue out;
    if (c.integer) {
        out.i = static_cast<std::int32_t>(value);
    } else {
        out.f = static_cast<float>(value);
    }
    return out;
}

std::optional<WordValue> parseWordValue(int word, std::string_view text, std::string& why) {
    const ControlInfo& c = controlInfo(word);
    if (c.integer) {
        long long n = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc() || end != text.data() + text.size()) {
            why = c.name + " takes a whole number";
            return std::nullopt;
        }
        // Far outside every range: said as such, not wrapped.
        return checkWordValue(word, static_cast<double>(std::clamp(n, -(1LL << 40), 1LL << 40)),
                              why);
    }
    const std::string copy(text);
    char* end = nullptr;
    const double d = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(d)) {
        why = c.name + " takes a number";
        return std::nullopt;
    }
    return checkWordValue(word, d, why);
}

double wordDisplayValue(const ParamStore& store, int word) {
    if (wordInfo(word).isFloat()) return static_cast<double>(store.params.getFloat(word));
    return store.params.getInt(word);
}

std::string singleText(double v) {
    if (!std::isfinite(v)) return "null";
    for (int precision = 6; precision <= 9; ++precision) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.*g", precision, v);
        if (static_cast<float>(std::strtod(buf, nullptr)) == static_cast<float>(v)) return buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

std::string wordValueText(const ParamStore& store, int word) {
    if (wordInfo(word).isFloat()) return singleText(store.params.getFloat(word));
    return std::to_string(store.params.getInt(word));
}

std::optional<int> volumeLimit(const ParamStore& store, int word, bool unitAttached) {
    if (controlInfo(word).rule != ControlRule::Volume) return std::nullopt;
    if (!unitAttached || !store.settingsFromUnit.load()) return std::nullopt;
    return store.settingsApplied.at(word == w::micVolume ? settings::kMicMaxVolume
                                                         : settings::kMusicMaxVolume);
}

}  // namespace v36
