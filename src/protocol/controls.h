#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/param_store.h"

namespace v36 {

// The table of controls, beside the word table: for every parameter word
// what a user may set it to and what it is called. The pages, the ribbon,
// the command-line tool, the phones and the broker all read it, so that one
// value is the same value everywhere.

// What else setting a word does.
enum class ControlRule {
    Plain,        // the value alone
    Volume,       // the machine settings' volume limit applies while a unit is attached
    PredelayTap,  // one of the two equal taps of a predelay: both move together
    WholeNumber,  // kept as a whole number (the reverb time)
    FreqShift,    // 1 = off, 2..5 Hz: the channel's mode word goes with it
    DelayMode,    // 0 = high-frequency mode, 1 = channel mode: the split pair goes with it
    Compressor,   // one of a group's four values: the group goes out whole, attack and
                  // release as whole milliseconds
    Derived,      // follows another word; not set by name
};

struct ControlInfo {
    int word = 0;
    std::string name;  // the word table's name ("outSub.level[3]")
    std::string zh;    // what the window calls it (UTF-8): undo steps, phones, the broker
    std::string en;
    double lo = 0.0;  // the values a user may set, in the word's units (as `get` prints them)
    double hi = 0.0;
    double floor = 0.0;  // an edit stores at least this
    double step = 1.0;   // the smallest step of a control
    bool integer = true;
    std::string unit;  // "%", "ms", "dB", ":1" or ""
    ControlRule rule = ControlRule::Plain;
    // A page's control shows the value divided by this (the subwoofer's
    // music level is held three times its slider).
    int shownDivisor = 1;
    // A switch: 0 or 1.
    bool toggle = false;
    // Consecutive edits with the same key, in one gesture, are one undo
    // step; empty for a switch, whose every change is a step.
    std::string mergeKey;

    const std::string& in(int language) const { return language == 1 ? en : zh; }
    bool settable() const { return rule != ControlRule::Derived; }
};

// Every word's row, in word order.
std::span<const ControlInfo> controlTable();
const ControlInfo& controlInfo(int word);
// The controls the ribbon and the phones show: the three volumes, the music
// noise gate and pitch, and the two mutes, in the ribbon's order.
std::span<const int> liveControlWords();

// The merge key of band `band` of EQ `eq`.
std::string bandMergeKey(int eq, int band);

// A value of a word in its own units: `i` for the integer kinds, `f` for
// the float kinds.
struct WordValue {
    std::int32_t i = 0;
    float f = 0.0f;
};

// Reads `text` as a value of `word`; nullopt with the reason ("micVolume
// lies within 0..99") when it does not fit.
std::optional<WordValue> parseWordValue(int word, std::string_view text, std::string& why);
// The same for a number already read (a JSON value, a broker's payload).
std::optional<WordValue> checkWordValue(int word, double value, std::string& why);

// The word's stored value in its own units.
double wordDisplayValue(const ParamStore& store, int word);
// The value as text ("60", "12.5"): whole numbers as such, singles in the
// fewest digits that read back as the same single ("null" for none).
std::string wordValueText(const ParamStore& store, int word);
std::string singleText(double value);

// The machine settings' upper limit of a volume word (the microphone and
// music volumes) while the unit's own settings apply: with `unitAttached`
// and settings read from the unit. nullopt for any other word, and with no
// unit (a mode file carries no limits).
std::optional<int> volumeLimit(const ParamStore& store, int word, bool unitAttached);

}  // namespace v36
