#pragma once

// Shared by the reading and the fitting halves of the band-list text
// format: message texts and numbers written without the user's locale.

#include <initializer_list>
#include <string>
#include <utility>

#include "protocol/eq_text.h"

namespace v36::eqtext {

// One argument of a message: the same text in both languages, or a pair.
struct NoteArg {
    NoteArg(std::string both) : zh(both), en(std::move(both)) {}  // NOLINT: implicit on purpose
    NoteArg(const char* both) : NoteArg(std::string(both)) {}     // NOLINT
    NoteArg(std::string chinese, std::string english)
        : zh(std::move(chinese)), en(std::move(english)) {}
    std::string zh;
    std::string en;
};

EqTextNote note(EqTextNoteKind kind, std::initializer_list<NoteArg> args = {});

// Fixed notation with at most `decimals` decimals, trailing zeros dropped
// ("0.7071", "118.86", "12").
std::string number(double value, int decimals);
// Fixed notation with exactly `decimals` decimals; a negative zero is "0.0".
std::string fixed(double value, int decimals);
// The shortest decimals that read back as the same float, at least
// `minDecimals` of them.
std::string shortest(float value, int minDecimals);

}  // namespace v36::eqtext
