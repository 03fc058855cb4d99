#include "protocol/default_mode.h"

#include <gtest/gtest.h>

#include "protocol/sender_fixture.h"
#include "remote/temp_folder.h"

namespace v36 {
namespace {

namespace fs = std::filesystem;

TEST(DefaultMode, NameRule) {
    struct Case {
        const char* name;
        int mode;
    };
    const Case cases[] = {
        {"m1.ev36", 0},
        {"M3.ev36", 2},
        {"m5.ev36", -1},
        {"HALVORN2 live set.ev36", 1},
        {"Halvorn4", 3},  // no extension: the whole name
        {"默认4.ev36", 3},
        {"默认1备份.ev36", 0},
        {"m2.m3.ev36", 1},  // cut before the last "." only
        {".m1", -1},        // nothing before the dot
        {"xm2.ev36", -1},   // m2 only after the first character
        {"my m2.ev36", -1},
        {"halvorn 1.ev36", -1},
        {"\xEF\xBC\xAD"
         "1.ev36",
         -1},  // a full-width M is not an ASCII letter
        {"", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(defaultModeOfName(c.name), c.mode) << '"' << c.name << '"';

    // The folder does not count.
    EXPECT_EQ(defaultModeOf(fs::path("/presets/m1/show.ev36")), -1);
    EXPECT_EQ(defaultModeOf(fs::path(u8"/场地/默认3 晚场.ev36")), 2);
}

struct DefaultModeTest : ::testing::Test {
    // A valid mode file named `name` in the temporary folder.
    fs::path modeFile(const std::string& name) {
        const fs::path file = dir / name;
        EXPECT_TRUE(saveModeFile(fx.ctx.store, file));
        return file;
    }

    test::TempFolder dir;
    test::SenderFixture fx;
    DefaultModeState state;
};

TEST_F(DefaultModeTest, PushedDefaultModeIsStoredIntoItsMemoryMode) {
    fx.ctx.store.currentMode = 0;
    ASSERT_TRUE(state.loadModeFile(fx.ctx.store, modeFile("M3.ev36")));
    EXPECT_EQ(state.pendingStoreMode, 2);

    EXPECT_TRUE(state.storeAfterPush(fx.ctx.senders));
    EXPECT_EQ(fx.sent(), (std::vector<Report>{test::reportOf({0x02, 0x03, 0x02}),
                                              test::reportOf({0x02, 0x04, 0x02})}));
    EXPECT_EQ(fx.pauses, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(20)});
    EXPECT_EQ(fx.ctx.store.currentMode.load(), 2);
    EXPECT_EQ(state.pendingStoreMode, -1);

    // Nothing pending any more: a later completion stores nothing.
    EXPECT_FALSE(state.storeAfterPush(fx.ctx.senders));
    EXPECT_EQ(fx.sent().size(), 2u);
}

TEST_F(DefaultModeTest, OtherNamesAndFailedLoadsLeaveNothingPending) {
    ASSERT_TRUE(state.loadModeFile(fx.ctx.store, modeFile("m5.ev36")));
    EXPECT_EQ(state.pendingStoreMode, -1);

    // A default-mode name whose file is not read: nothing may stay pending.
    const fs::path broken = dir / "m2 broken.ev36";
    test::writeAll(broken, std::vector<std::uint8_t>{0x02, 0x00, 0x00, 0x00, 0x01});
    state.pendingStoreMode = 3;  // left from an earlier load
    EXPECT_FALSE(state.loadModeFile(fx.ctx.store, broken));
    EXPECT_EQ(state.pendingStoreMode, -1);
    EXPECT_FALSE(state.loadModeFile(fx.ctx.store, dir / "m1 missing.ev36"));
    EXPECT_EQ(state.pendingStoreMode, -1);

    EXPECT_FALSE(state.storeAfterPush(fx.ctx.senders));
    EXPECT_TRUE(fx.sent().empty());
}

}  // namespace
}  // namespace v36
