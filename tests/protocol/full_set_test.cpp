#include <gtest/gtest.h>

#include <vector>

#include "protocol/bytes.h"
#include "protocol/sender_fixture.h"

namespace v36 {
namespace {

using test::headerOf;
using test::ParamHeader;
using test::SenderFixture;
using test::wordOf;

// The unit's full-set order, written out address by address.
std::vector<ParamHeader> expectedFullSet(bool volumeSaveByMode, bool musicMuted) {
    std::vector<ParamHeader> e;
    auto add = [&](std::initializer_list<ParamHeader> list) { e.insert(e.end(), list); };
    if (volumeSaveByMode) add({{1, 30, 1}, {1, 43, 1}, {4, 15, 2}});
    // Routing and effect levels.
    add({{1, 33, 1},
         {1, 34, 1},
         {1, 35, 1},
         {1, 36, 1},
         {1, 32, 1},
         {1, 45, 1},
         {2, 15, 1},
         {3, 15, 1},
         {1, 46, 1},
         {1, 47, 1},
         {1, 48, 1},
         {1, 49, 1},
         {2, 22, 1},
         {3, 21, 1}});
    // Mutes (the music mute fades in when unmuted) and effect volumes.
    add({{1, 42, 1}, {1, 55, 1}});
    for (int k = 0; k < (musicMuted ? 1 : 10); ++k)
        add({{4, 16, 2}});
    add({{3, 27, 2}, {2, 29, 2}, {3, 26, 2}, {2, 28, 2}});
    // Output levels: Main, Rear, Top, Center, Sub.
    add({{5, 28, 1}, {5, 29, 1}, {5, 30, 1}, {5, 31, 1}, {6, 14, 1}, {6, 15, 1}, {6, 16, 1},
         {6, 17, 1}, {9, 14, 1}, {9, 15, 1}, {9, 16, 1}, {9, 17, 1}, {7, 12, 1}, {7, 13, 1},
         {7, 14, 1}, {7, 15, 1}, {8, 22, 1}, {8, 23, 1}, {8, 24, 1}, {8, 25, 1}});
    // Channel A: shift off sends only its mode word.
    add({{1, 37, 1},
         {1, 40, 1},
         {3, 14, 1},
         {3, 16, 1},
         {3, 17, 1},
         {3, 18, 1},
         {3, 19, 1},
         {2, 14, 1},
         {2, 16, 1},
         {2, 17, 1},
         {2, 18, 1},
         {2, 19, 1},
         {2, 20, 1}});
    // Channel B: shift 3 sends mode, radians and period.
    add({{1, 50, 1},
         {1, 53, 1},
         {1, 51, 1},
         {1, 52, 1},
         {3, 20, 1},
         {3, 22, 1},
         {3, 23, 1},
         {3, 24, 1},
         {3, 25, 1},
         {2, 21, 1},
         {2, 23, 1},
         {2, 24, 1},
         {2, 25, 1},
         {2, 26, 1},
         {2, 27, 1}});
    // Microphone levels and gates.
    add({{1, 56, 1},
         {1, 57, 1},
         {1, 58, 1},
         {1, 59, 1},
         {1, 60, 1},
         {1, 61, 1},
         {1, 62, 1},
         {1, 63, 1},
         {1, 64, 1},
         {1, 65, 1}});
    // Music block.
    add({{4, 17, 1}, {4, 20, 1}, {4, 18, 1}, {4, 19, 1}, {4, 21, 1}, {4, 22, 1}, {4, 23, 1}});
    // Outputs: switches, delays, split filters with their sections, mute.
    add({{5, 32, 1},
         {5, 34, 1},
         {5, 35, 1},
         {5, 36, 1},
         {5, 37, 1},
         {5, 38, 1},
         {5, 39, 2},
         {5, 24, 5},
         {5, 25, 5},
         {5, 40, 2},
         {5, 26, 5},
         {5, 27, 5},
         {5, 41, 2}});
    add({{6, 18, 1},
         {6, 20, 1},
         {6, 21, 1},
         {6, 22, 1},
         {6, 23, 1},
         {6, 24, 1},
         {6, 25, 2},
         {6, 10, 5},
         {6, 11, 5},
         {6, 26, 2},
         {6, 12, 5},
         {6, 13, 5},
         {6, 27, 2}});
    add({{9, 18, 1},
         {9, 20, 1},
         {9, 21, 1},
         {9, 22, 1},
         {9, 23, 1},
         {9, 24, 1},
         {9, 25, 2},
         {9, 10, 5},
         {9, 11, 5},
         {9, 26, 2},
         {9, 12, 5},
         {9, 13, 5},
         {9, 27, 2}});
    add({{7, 16, 1},
         {7, 18, 1},
         {7, 19, 1},
         {7, 20, 1},
         {7, 21, 2},
         {7, 10, 5},
         {7, 11, 5},
         {7, 22, 1}});
    add({{8, 26, 1},
         {8, 28, 1},
         {8, 29, 1},
         {8, 30, 1},
         {8, 31, 2},
         {8, 20, 5},
         {8, 21, 5},
         {8, 32, 1}});
    // Compressors.
    add({{5, 33, 7}, {6, 19, 7}, {9, 19, 7}, {7, 17, 7}, {8, 27, 7}});
    // Phases and the automatic subwoofer.
    add({{1, 41, 1}, {1, 54, 1}, {1, 67, 1}, {1, 68, 1}});
    return e;
}

std::vector<ParamHeader> headers(const std::vector<Report>& reports) {
    std::vector<ParamHeader> out;
    for (const auto& r : reports) {
        EXPECT_EQ(r[1], 9) << "only parameter reports";
        out.push_back(headerOf(r));
    }
    return out;
}

struct FullSet : ::testing::Test {
    FullSet() {
        auto& p = f.ctx.store.params;
        p.setInt(w::micAFreq, 1);
        p.setInt(w::micBFreq, 3);
        for (const OutputGroup& g : kOutputGroups) {
            p.setFloat(g.compRatio(), 1.0f);
            p.setFloat(g.compAttack(), 10.0f);
            p.setFloat(g.compRelease(), 100.0f);
        }
    }
    SenderFixture f;
};

TEST_F(FullSet, SendsEveryParameterInTheUnitsOrder) {
    f.ctx.store.params.setInt(w::musicMute, 1);
    f.ctx.senders.sendFullSet(false);
    EXPECT_EQ(headers(f.sent()), expectedFullSet(false, true));
    EXPECT_TRUE(f.pauses.empty());
}

TEST_F(FullSet, SilentStartAndMusicFadeWhenVolumesAreKeptPerMode) {
    f.ctx.store.params.setInt(w::musicMute, 0);
    f.ctx.store.params.setInt(w::micVolume, 90);
    f.ctx.senders.sendFullSet(true);
    const auto sent = f.sent();
    EXPECT_EQ(headers(sent), expectedFullSet(true, false));
    // The volumes start at zero whatever the store holds.
    EXPECT_EQ(wordOf(sent[0], 0), 0u);
    EXPECT_EQ(wordOf(sent[2], 1), 0u);
    EXPECT_EQ(f.pauses.size(), 9u);
}

TEST_F(FullSet, ValuesFollowTheStore) {
    auto& p = f.ctx.store.params;
    p.setInt(w::musicMute, 1);
    p.setFloat(w::reverbBParam24, 42.7f);  // a reverb time goes whole
    p.setInt(outSub.delayFilterMode(0), 1);
    p.setFloat(outMain.delayMs(1), 10.0f);
    // Main R's split sections as stored in the register block.
    f.ctx.store.setRecord(5, 26, {0.0f, 800, 0.707f, kHighPass});
    f.transport.clear();

    f.ctx.senders.sendFullSet(false);
    const auto sent = f.sent();
    EXPECT_EQ(p.getFloat(w::reverbBParam24), 42.0f);
    auto find = [&](ParamHeader h) -> const Report& {
        for (const auto& r : sent) {
            if (headerOf(r) == h) return r;
        }
        ADD_FAILURE() << h.block << "." << h.index << " not sent";
        return sent.front();
    };
    EXPECT_EQ(wordOf(find({3, 24, 1}), 0), floatBits(0.42f));
    EXPECT_EQ(wordOf(find({8, 31, 2}), 1), 0u);
    EXPECT_EQ(wordOf(find({5, 36, 1}), 0), 480u);
    const SectionCoefficients hp = DesignSection(kHighPass, 800, 0.707f, 0.0);
    EXPECT_EQ(wordOf(find({5, 26, 5}), 2), floatBits(static_cast<float>(hp.b0)));
}

}  // namespace
}  // namespace v36
