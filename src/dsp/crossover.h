#pragma once

#include <array>
#include <string_view>

namespace v36 {

// A crossover family: four cascaded sections for one crossover point of the
// subwoofer EQ. Each entry is a pair (low-pass type, high-pass type); a 1 in
// both halves is a flat 0 dB peaking section.
struct CrossoverFamily {
    std::string_view label;  // empty for the unlabelled all-flat entry
    std::array<std::array<int, 2>, 4> sections;

    // The four section types for a point whose current type is
    // `currentType`: even codes take the low-pass side, odd codes the
    // high-pass side.
    std::array<int, 4> sectionTypes(int currentType) const;
};

// Twelve families; the first eleven are the entries of the family list.
constexpr int kCrossoverFamilyCount = 12;
constexpr int kCrossoverListEntries = 11;

// The family of `index`; any index outside 0..11 (no selection included)
// is family 0.
const CrossoverFamily& crossoverFamily(int index);

// Shorthand for crossoverFamily(index).sectionTypes(currentType).
std::array<int, 4> crossoverSectionTypes(int index, int currentType);

}  // namespace v36
