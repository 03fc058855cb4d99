#include "dsp/crossover.h"

#include <cstddef>

#include "dsp/filter_design.h"

namespace v36 {

namespace {

using Pair = std::array<int, 2>;
constexpr Pair kFlat{kPeq, kPeq};
constexpr Pair kFirst{kFirstLp, kFirstHp};
constexpr Pair kBessel{kBessel2Lp, kBessel2Hp};
constexpr Pair kBw2{kBw2Lp, kBw2Hp};
constexpr Pair kBw3{kBw3Lp, kBw3Hp};
constexpr Pair kBw4a{kBw4aLp, kBw4aHp};
constexpr Pair kBw4b{kBw4bLp, kBw4bHp};
constexpr Pair kCheb{kCheb2Lp, kCheb2Hp};

constexpr std::array<CrossoverFamily, kCrossoverFamilyCount> kFamilies{{
    {"LinkwitzRiely 12dB", {kFirst, kFirst, kFlat, kFlat}},
    {"LinkwitzRiely 24dB", {kBw2, kBw2, kFlat, kFlat}},
    {"LinkwitzRiely 36dB", {kBw3, kFirst, kBw3, kFirst}},
    {"LinkwitzRiely 48dB", {kBw4a, kBw4b, kBw4a, kBw4b}},
    {"Bessel 12dB", {kBessel, kFlat, kFlat, kFlat}},
    {"Bessel 18dB", {kBessel, kFirst, kFlat, kFlat}},
    {"Bessel 24dB", {kBessel, kBessel, kFlat, kFlat}},
    {"Butterworth 12dB", {kBw2, kFlat, kFlat, kFlat}},
    {"Butterworth 18dB", {kBw3, kFirst, kFlat, kFlat}},
    {"Butterworth 24dB", {kBw4a, kBw4b, kFlat, kFlat}},
    {"Chebyshev 12dB", {kCheb, kFlat, kFlat, kFlat}},
    {"", {kFlat, kFlat, kFlat, kFlat}},
}};

}  // namespace

std::array<int, 4> CrossoverFamily::sectionTypes(int currentType) const {
    const std::size_t side = (currentType & 1) != 0 ? 1 : 0;
    return {sections[0][side], sections[1][side], sections[2][side], sections[3][side]};
}

const CrossoverFamily& crossoverFamily(int index) {
    if (index < 0 || index >= kCrossoverFamilyCount) index = 0;
    return kFamilies[static_cast<std::size_t>(index)];
}

std::array<int, 4> crossoverSectionTypes(int index, int currentType) {
    return crossoverFamily(index).sectionTypes(currentType);
}

}  // namespace v36
