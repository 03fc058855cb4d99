#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dsp/eq_model.h"
#include "protocol/param_store.h"
#include "protocol/senders.h"

namespace v36 {

// One parameter word set by name from outside the pages (the command-line
// tool, the phone remote): its range in display units, how a value is read,
// and what the store and the unit receive, the same way for every caller.

// The values a word takes in display units.
struct WordRange {
    double lo = 0.0;
    double hi = 0.0;
    bool integer = true;  // whole numbers only
};
WordRange wordRange(int word);

// A value of a word in display units: `i` for the integer kinds, `f` for
// the float kinds.
struct WordValue {
    std::int32_t i = 0;
    float f = 0.0f;
};

// Reads `text` as a value of `word`; nullopt with the reason ("micVolume
// lies within 0..300") when it does not fit.
std::optional<WordValue> parseWordValue(int word, std::string_view text, std::string& why);
// The same for a number already read (a JSON value); an integer kind takes
// only whole numbers.
std::optional<WordValue> checkWordValue(int word, double value, std::string& why);

// The word's stored value in display units.
double wordDisplayValue(const ParamStore& store, int word);

// The machine settings' upper limit of a volume the ribbon sets: the
// microphone and music volumes (0 until the unit's settings were read);
// nullopt for every other word.
std::optional<int> volumeLimit(const ParamStore& store, int word);

// What setting one word changes, in order: the words (some sent by the
// sender of another, as the frequency-shift mode word) and the filter
// sections of the word's bank that go with it (a delay mode's split pair).
struct WordEdit {
    struct Change {
        int word = 0;
        std::uint32_t raw = 0;
        bool send = true;
    };
    std::vector<Change> words;
    int bank = 0;
    std::vector<SectionSetting> sections;
};
// The edit that sets `word` to `value`: a delay raised to its floor, a
// reverb time cut to whole numbers, a frequency shift with its mode word, a
// delay mode with its split pair.
WordEdit planWordEdit(const ParamStore& store, int word, const WordValue& value);

// Writes the edit's values into the store (words, then section records).
void storeWordEdit(ParamStore& store, const WordEdit& edit);
// Sends what storeWordEdit stored, without touching the store: the words by
// the word table's sender, then the sections (records and coefficients).
void sendWordEdit(Senders& senders, const WordEdit& edit);

// Section records into the register block; the exact values go to the unit
// by sendSections.
void storeSections(ParamStore& store, int bank, std::span<const SectionSetting> sections);
void sendSections(Senders& senders, int bank, std::span<const SectionSetting> sections);

}  // namespace v36
