#pragma once

#include <cstdint>

// Indices of the 147 parameter words, by the names the pages use.
namespace v36::w {

// Group 1, microphone mixer (unit block 1).
constexpr int micVolume = 0;
constexpr int micRouteA = 1;  // [0..3]
constexpr int micAEqBypass = 5;
constexpr int micAPhase = 6;
constexpr int micAFreq = 7;
constexpr int micAFreqMode = 8;
constexpr int micRouteB = 9;  // [0..3]
constexpr int micBEqBypass = 13;
constexpr int micBPhase = 14;
constexpr int micBFreq = 15;
constexpr int micBFreqMode = 16;
constexpr int effectVolume = 17;
constexpr int micMute = 18;
constexpr int micLevel = 19;          // [0..3]
constexpr int micGateThreshold = 23;  // [0..3]
constexpr int micGateAttack = 27;
constexpr int micGateRelease = 28;
constexpr int autoSubEnable = 29;
constexpr int autoSubLevel = 30;

// Group 2, echo (unit block 2).
constexpr int echoAEqBypass = 31;
constexpr int echoAParam15 = 32;
constexpr int echoATime = 33;  // [0..2]
constexpr int echoAParam19 = 36;
constexpr int echoAParam20 = 37;
constexpr int echoBEqBypass = 38;
constexpr int echoBParam22 = 39;
constexpr int echoBTime = 40;  // [0..2]
constexpr int echoBParam26 = 43;
constexpr int echoBParam27 = 44;
constexpr int echoVolume = 45;
constexpr int echoMute = 46;

// Group 3, reverb (unit block 3).
constexpr int reverbAEqBypass = 47;
constexpr int reverbAParam15 = 48;
constexpr int reverbATime = 49;  // [0..1]
constexpr int reverbAParam18 = 51;
constexpr int reverbBEqBypass = 52;
constexpr int reverbBParam21 = 53;
constexpr int reverbBTime = 54;  // [0..1]
constexpr int reverbBParam24 = 56;
constexpr int reverbVolume = 57;
constexpr int reverbMute = 58;

// Group 4, music input (unit block 4).
constexpr int musicVolume = 59;
constexpr int musicMute = 60;
constexpr int musicEqBypass = 61;
constexpr int musicPitch = 62;
constexpr int musicGateThreshold = 63;
constexpr int musicGateAttack = 64;
constexpr int musicGateRelease = 65;

// Group 10, music AGC (unit block 4).
constexpr int musicAgcEnable = 145;
constexpr int musicAgcLevel = 146;

}  // namespace v36::w

namespace v36 {

// One output channel group: Main, Rear and Top are stereo pairs of 17
// words, Center and Sub single speakers of 14 words.
struct OutputGroup {
    const char* name;
    int first;  // first word index
    bool stereo;
    std::uint8_t block;  // unit block
    std::uint8_t L;      // unit index of the first level
    std::uint8_t xover;  // first split-filter section in the group's bank

    constexpr int channels() const { return stereo ? 2 : 1; }
    constexpr int words() const { return stereo ? 17 : 14; }

    // Word indices.
    constexpr int level(int k) const { return first + k; }
    constexpr int eqBypass() const { return first + 4; }
    constexpr int compBypass() const { return first + 5; }
    constexpr int compThreshold() const { return first + 6; }
    constexpr int compRatio() const { return first + 7; }
    constexpr int compAttack() const { return first + 8; }
    constexpr int compRelease() const { return first + 9; }
    constexpr int delayMs(int k) const { return first + 10 + k; }
    constexpr int delayBypass(int k) const { return first + (stereo ? 12 : 11) + k; }
    constexpr int delayFilterMode(int k) const { return first + (stereo ? 14 : 12) + k; }
    constexpr int mute() const { return first + (stereo ? 16 : 13); }

    // Unit parameter indices within `block`.
    constexpr std::uint8_t unitLevel(int k) const { return static_cast<std::uint8_t>(L + k); }
    constexpr std::uint8_t unitEqBypass() const { return static_cast<std::uint8_t>(L + 4); }
    constexpr std::uint8_t unitCompressor() const { return static_cast<std::uint8_t>(L + 5); }
    constexpr std::uint8_t unitCompBypass() const { return static_cast<std::uint8_t>(L + 6); }
    constexpr std::uint8_t unitDelay(int k) const { return static_cast<std::uint8_t>(L + 7 + k); }
    constexpr std::uint8_t unitDelayBypass(int k) const {
        return static_cast<std::uint8_t>(L + (stereo ? 9 : 8) + k);
    }
    constexpr std::uint8_t unitDelayMode(int k) const {
        return static_cast<std::uint8_t>(L + (stereo ? 11 : 9) + k);
    }
    constexpr std::uint8_t unitMute() const {
        return static_cast<std::uint8_t>(L + (stereo ? 13 : 10));
    }
    // The six-word speaker trim of channel k (no word holds it: the speaker
    // block does).
    constexpr std::uint8_t unitSpeakerTrim(int k) const {
        return static_cast<std::uint8_t>(L + (stereo ? 14 + k : 11));
    }
    // Split-filter sections of channel k: high-pass, then low-pass.
    constexpr int splitHighPass(int k) const { return xover + 2 * k; }
    constexpr int splitLowPass(int k) const { return xover + 2 * k + 1; }
};

inline constexpr OutputGroup outMain{"outMain", 66, true, 5, 28, 24};
inline constexpr OutputGroup outRear{"outRear", 83, true, 6, 14, 10};
inline constexpr OutputGroup outTop{"outTop", 100, true, 9, 14, 10};
inline constexpr OutputGroup outCenter{"outCenter", 117, false, 7, 12, 10};
inline constexpr OutputGroup outSub{"outSub", 131, false, 8, 22, 20};

// The groups in the unit's send order: Main, Rear, Top, Center, Sub.
inline constexpr OutputGroup kOutputGroups[] = {outMain, outRear, outTop, outCenter, outSub};

}  // namespace v36
