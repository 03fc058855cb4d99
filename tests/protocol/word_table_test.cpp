#include <gtest/gtest.h>

#include <set>
#include <string>

#include "protocol/param_store.h"
#include "protocol/word_table.h"

namespace v36 {
namespace {

TEST(WordTable, HasEveryWordOnceInOrder) {
    const auto table = wordTable();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(ParamBlock::kWords));
    std::set<std::string> names;
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].word, static_cast<int>(i));
        EXPECT_TRUE(names.insert(table[i].name).second) << "duplicate " << table[i].name;
        EXPECT_FALSE(table[i].sendTo.empty()) << table[i].name;
    }
}

struct NameCase {
    const char* name;
    int word;
    int block;
    int index;
    int count;
};

TEST(WordTable, NamesAndAddresses) {
    const NameCase cases[] = {
        {"micVolume", 0, 1, 30, 1},
        {"micRouteA[0]", 1, 1, 33, 1},
        {"micBFreq", 15, 1, 51, 1},
        {"echoATime[2]", 35, 2, 18, 1},
        {"echoVolume", 45, 2, 28, 2},
        {"reverbAParam18", 51, 3, 18, 1},
        {"reverbMute", 58, 3, 27, 2},
        {"musicMute", 60, 4, 16, 2},
        {"musicPitch", 62, 4, 20, 1},
        {"outMain.level[0]", 66, 5, 28, 1},
        {"outMain.compBypass", 71, 5, 34, 1},
        {"outMain.compThreshold", 72, 5, 33, 7},
        {"outMain.delayMs[1]", 77, 5, 36, 1},
        {"outMain.delayFilterMode[1]", 81, 5, 40, 2},
        {"outMain.mute", 82, 5, 41, 2},
        {"outRear.level[0]", 83, 6, 14, 1},
        {"outTop.mute", 116, 9, 27, 2},
        {"outCenter.delayMs[0]", 127, 7, 19, 1},
        {"outCenter.mute", 130, 7, 22, 1},
        {"outSub.compRatio", 138, 8, 27, 7},
        {"outSub.delayMs[0]", 141, 8, 29, 1},
        {"outSub.delayBypass[0]", 142, 8, 30, 1},
        {"outSub.delayFilterMode[0]", 143, 8, 31, 2},
        {"outSub.mute", 144, 8, 32, 1},
        {"musicAgcLevel", 146, 4, 19, 1},
    };
    for (const auto& c : cases) {
        const auto word = findWord(c.name);
        ASSERT_TRUE(word.has_value()) << c.name;
        EXPECT_EQ(*word, c.word) << c.name;
        const UnitAddress& a = wordInfo(c.word).sendTo.front();
        EXPECT_EQ(a.block, c.block) << c.name;
        EXPECT_EQ(a.index, c.index) << c.name;
        EXPECT_EQ(a.count, c.count) << c.name;
    }
    // A single-channel array may be named without its index; a pair may not.
    EXPECT_EQ(findWord("outSub.delayMs"), 141);
    EXPECT_FALSE(findWord("outMain.delayMs").has_value());
    EXPECT_FALSE(findWord("outMain.level[4]").has_value());
    EXPECT_FALSE(findWord("nothing").has_value());
}

TEST(WordTable, ReadBackAddresses) {
    struct Case {
        int block, index;
        int word;  // -1: no word
    };
    const Case cases[] = {{1, 30, 0},   {1, 43, 0},   {1, 32, 17}, {1, 45, 17},  {1, 38, 7},
                          {1, 39, -1},  {1, 40, 8},   {1, 52, -1}, {1, 66, -1},  {3, 18, 51},
                          {3, 19, -1},  {5, 33, 72},  {5, 42, -1}, {7, 22, 130}, {8, 29, 141},
                          {4, 19, 146}, {9, 14, 100}, {0, 0, -1},  {10, 0, -1},  {255, 255, -1}};
    for (const auto& c : cases) {
        const auto word = findReadBackWord(static_cast<std::uint8_t>(c.block),
                                           static_cast<std::uint8_t>(c.index));
        if (c.word < 0) {
            EXPECT_FALSE(word.has_value()) << c.block << "." << c.index;
        } else {
            ASSERT_TRUE(word.has_value()) << c.block << "." << c.index;
            EXPECT_EQ(*word, c.word) << c.block << "." << c.index;
        }
    }
}

// The connection's read-back list, as the unit is asked for it. Every word
// of the store must come back from one of these answers (the compressor's
// four words from its one seven-word answer).
TEST(WordTable, ConnectionReadBackCoversEveryWord) {
    const int list[][2] = {
        {1, 30}, {1, 32}, {1, 33}, {1, 34}, {1, 35}, {1, 36}, {1, 43}, {1, 45}, {1, 46}, {1, 47},
        {1, 48}, {1, 49}, {1, 66}, {2, 15}, {2, 22}, {2, 28}, {3, 15}, {3, 21}, {3, 26}, {4, 15},
        {5, 28}, {5, 29}, {5, 30}, {5, 31}, {5, 42}, {5, 43}, {6, 14}, {6, 15}, {6, 16}, {6, 17},
        {6, 28}, {6, 29}, {9, 14}, {9, 15}, {9, 16}, {9, 17}, {9, 28}, {9, 29}, {7, 12}, {7, 13},
        {7, 14}, {7, 15}, {7, 23}, {8, 22}, {8, 23}, {8, 24}, {8, 25}, {8, 33}, {1, 37}, {1, 38},
        {1, 39}, {1, 40}, {1, 60}, {1, 61}, {1, 62}, {1, 63}, {1, 64}, {1, 65}, {1, 56}, {1, 57},
        {1, 58}, {1, 59}, {1, 42}, {1, 50}, {1, 51}, {1, 52}, {1, 53}, {1, 55}, {3, 14}, {3, 16},
        {3, 17}, {3, 18}, {3, 19}, {3, 27}, {3, 20}, {3, 22}, {3, 23}, {3, 24}, {3, 25}, {2, 14},
        {2, 16}, {2, 17}, {2, 29}, {2, 21}, {2, 23}, {2, 24}, {4, 17}, {4, 18}, {4, 19}, {4, 20},
        {4, 16}, {4, 21}, {4, 22}, {4, 23}, {5, 32}, {5, 34}, {5, 35}, {5, 36}, {5, 33}, {5, 37},
        {5, 38}, {5, 39}, {5, 40}, {5, 41}, {6, 18}, {6, 20}, {6, 21}, {6, 22}, {6, 19}, {6, 23},
        {6, 24}, {6, 25}, {6, 26}, {6, 27}, {9, 18}, {9, 20}, {9, 21}, {9, 22}, {9, 19}, {9, 23},
        {9, 24}, {9, 25}, {9, 26}, {9, 27}, {7, 16}, {7, 18}, {7, 19}, {7, 17}, {7, 20}, {7, 21},
        {7, 22}, {8, 26}, {8, 28}, {8, 29}, {8, 27}, {8, 30}, {8, 31}, {8, 32}, {1, 41}, {1, 54},
        {1, 67}, {1, 68}, {2, 18}, {2, 19}, {2, 20}, {2, 25}, {2, 26}, {2, 27}};
    ASSERT_EQ(std::size(list), 148u);
    std::set<int> covered;
    for (const auto& a : list) {
        const auto word =
            findReadBackWord(static_cast<std::uint8_t>(a[0]), static_cast<std::uint8_t>(a[1]));
        if (!word) continue;
        covered.insert(*word);
        if (wordInfo(*word).readBack == ReadBack::CMP) {
            for (int k = 1; k <= 3; ++k)
                covered.insert(*word + k);
        }
    }
    for (int w = 0; w < ParamBlock::kWords; ++w) {
        EXPECT_TRUE(covered.count(w)) << wordInfo(w).name << " is never read back";
    }
}

}  // namespace
}  // namespace v36
