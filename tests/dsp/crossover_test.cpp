#include "dsp/crossover.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

#include "dsp/eq_model.h"
#include "dsp/filter_design.h"

namespace v36 {
namespace {

using Types = std::array<int, 4>;

struct Row {
    int index;
    std::string_view label;
    Types lowPass;
    Types highPass;
};

constexpr Row kRows[] = {
    {0, "LinkwitzRiely 12dB", {10, 10, 1, 1}, {11, 11, 1, 1}},
    {1, "LinkwitzRiely 24dB", {12, 12, 1, 1}, {13, 13, 1, 1}},
    {2, "LinkwitzRiely 36dB", {14, 10, 14, 10}, {15, 11, 15, 11}},
    {3, "LinkwitzRiely 48dB", {18, 20, 18, 20}, {19, 21, 19, 21}},
    {4, "Bessel 12dB", {8, 1, 1, 1}, {9, 1, 1, 1}},
    {5, "Bessel 18dB", {8, 10, 1, 1}, {9, 11, 1, 1}},
    {6, "Bessel 24dB", {8, 8, 1, 1}, {9, 9, 1, 1}},
    {7, "Butterworth 12dB", {12, 1, 1, 1}, {13, 1, 1, 1}},
    {8, "Butterworth 18dB", {14, 10, 1, 1}, {15, 11, 1, 1}},
    {9, "Butterworth 24dB", {18, 20, 1, 1}, {19, 21, 1, 1}},
    {10, "Chebyshev 12dB", {6, 1, 1, 1}, {7, 1, 1, 1}},
    {11, "", {1, 1, 1, 1}, {1, 1, 1, 1}},
};

TEST(CrossoverFamily, TwelveRowsSidedByTheParityOfTheCurrentType) {
    for (const Row& row : kRows) {
        const CrossoverFamily& f = crossoverFamily(row.index);
        EXPECT_EQ(f.label, row.label) << row.index;
        // Even codes (LP, LS, 18, and 0) take the low-pass side; odd codes
        // (PEQ, HP, HS, 21) the high-pass side.
        for (const int current : {0, 2, 4, 18})
            EXPECT_EQ(f.sectionTypes(current), row.lowPass) << row.index << "/" << current;
        for (const int current : {1, 3, 5, 21})
            EXPECT_EQ(f.sectionTypes(current), row.highPass) << row.index << "/" << current;
    }
}

TEST(CrossoverFamily, IndexOutsideTheTableIsTheFirstFamily) {
    for (const int index : {-1, 12, 1000})
        EXPECT_EQ(crossoverSectionTypes(index, kLowPass), kRows[0].lowPass) << index;
}

TEST(CrossoverFamily, EveryListedFamilyIsRecognisedFromItsSections) {
    for (int f = 0; f < kCrossoverListEntries; ++f) {
        const Row& row = kRows[f];
        EXPECT_EQ(classifySubPoint(row.lowPass), (SubPointShape{kLowPass, f}));
        EXPECT_EQ(classifySubPoint(row.highPass), (SubPointShape{kHighPass, f}));
    }
    const struct {
        Types types;
        SubPointShape shape;
    } others[] = {
        {{1, 1, 1, 1}, {kPeq, 11}},       {{4, 1, 1, 1}, {kLowShelf, 12}},
        {{5, 1, 1, 1}, {kHighShelf, 13}}, {{2, 1, 1, 1}, {0, 0}},
        {{12, 13, 1, 1}, {0, 0}},         {{1, 1, 1, 4}, {0, 0}},
    };
    for (const auto& o : others)
        EXPECT_EQ(classifySubPoint(o.types), o.shape) << o.types[0] << "," << o.types[1];
}

}  // namespace
}  // namespace v36
