// The virtual unit's faults as both programs name them on the command line,
// and what the link makes of a unit that stops answering.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "sim/unit_fixture.h"

namespace v36::test {
namespace {

using std::chrono::milliseconds;

TEST(SimFaults, NamesAndValues) {
    struct Case {
        const char* text;
        bool ok;
        int drop, garbage, unplugAfter;
        const char* model;
        int protocol;
    };
    const Case cases[] = {
        {"silent", true, 100, 0, 0, "V36", 12},      {"drop=25", true, 25, 0, 0, "V36", 12},
        {"garbage=100", true, 0, 100, 0, "V36", 12}, {"unplug-after=40", true, 0, 0, 40, "V36", 12},
        {"model=V35", true, 0, 0, 0, "V35", 12},     {"protocol=11", true, 0, 0, 0, "V36", 11},
        {"drop=101", false, 0, 0, 0, "V36", 12},     {"drop=", false, 0, 0, 0, "V36", 12},
        {"garbage=5%", false, 0, 0, 0, "V36", 12},   {"unplug-after=0", false, 0, 0, 0, "V36", 12},
        {"protocol=256", false, 0, 0, 0, "V36", 12}, {"silent=1", false, 0, 0, 0, "V36", 12},
        {"loud", false, 0, 0, 0, "V36", 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        VirtualUnitConfig config;
        const std::string error = applySimFault(config, c.text);
        EXPECT_EQ(error.empty(), c.ok) << error;
        EXPECT_EQ(config.dropPercent, c.drop);
        EXPECT_EQ(config.garbagePercent, c.garbage);
        EXPECT_EQ(config.unplugAfter, c.unplugAfter);
        EXPECT_EQ(config.model, c.model);
        EXPECT_EQ(config.protocolVersion, c.protocol);
    }
    VirtualUnitConfig config;
    EXPECT_TRUE(applySimLatency(config, "250").empty());
    EXPECT_EQ(config.latency, std::chrono::microseconds(250000));
    EXPECT_FALSE(applySimLatency(config, "-1").empty());
    EXPECT_FALSE(applySimLatency(config, "1.5").empty());
}

TEST(SimFaults, UnitPulledOutAfterItsReports) {
    VirtualUnitConfig config = UnitFixture::quick();
    config.unplugAfter = 3;
    UnitFixture f(config);
    ASSERT_TRUE(f.ctx.openLink());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(f.send({cmd::kQueryStatus, -1}), 61);
    EXPECT_FALSE(f.unit.pluggedIn());
    EXPECT_EQ(f.send({cmd::kQueryStatus, -1}), 0);
}

TEST(SimFaults, DroppedShareOfAnswers) {
    VirtualUnitConfig config = UnitFixture::quick();
    config.dropPercent = 50;
    UnitFixture f(config);
    f.ctx.link.setResponseWait(milliseconds(20));
    ASSERT_TRUE(f.ctx.openLink());
    for (int i = 0; i < 200; ++i)
        f.send({cmd::kQueryStatus, -1});
    f.unit.setDropPercent(0);
    ASSERT_TRUE(f.settle());
    std::size_t answers = 0;
    for (const auto& t : f.unit.traffic()) {
        if (!t.toUnit && t.report[1] == cmd::kQueryStatus) ++answers;
    }
    EXPECT_GT(answers, 50u);
    EXPECT_LT(answers, 150u);
}

TEST(LinkGivingUp, ASilentUnitIsGivenUpAfterWritesInARowAndAnOpenStartsAgain) {
    UnitFixture f;
    f.ctx.link.setResponseWait(milliseconds(30));
    f.ctx.link.setGiveUpAfter(3);
    ASSERT_TRUE(f.ctx.openLink());
    EXPECT_EQ(f.send({cmd::kQueryStatus, -1}), 61);
    ASSERT_TRUE(f.settle());
    EXPECT_EQ(f.ctx.link.unansweredWrites(), 0);

    f.unit.setDropAnswers(true);
    // The first write's answer is missing from the second write on.
    int written = 0;
    for (int i = 0; i < 6; ++i)
        written += f.send({cmd::kQueryStatus, -1}) == 61 ? 1 : 0;
    EXPECT_TRUE(f.ctx.link.gaveUp());
    EXPECT_EQ(f.ctx.link.unansweredWrites(), 3);
    EXPECT_EQ(written, 3);
    // Refused at once now.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(f.send({cmd::kQueryStatus, -1}), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(20));

    f.unit.setDropAnswers(false);
    f.ctx.closeLink();
    ASSERT_TRUE(f.ctx.openLink());
    EXPECT_FALSE(f.ctx.link.gaveUp());
    EXPECT_EQ(f.send({cmd::kQueryStatus, -1}), 61);
}

TEST(LinkGivingUp, WithoutALimitEveryWriteStillGoesAndTheCountClearsOnAnAnswer) {
    UnitFixture f;
    f.ctx.link.setResponseWait(milliseconds(20));
    ASSERT_TRUE(f.ctx.openLink());
    ASSERT_TRUE(f.settle());  // the mode names the unit sends on opening
    f.unit.setDropAnswers(true);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(f.send({cmd::kQueryStatus, -1}), 61);
    EXPECT_EQ(f.ctx.link.unansweredWrites(), 3);
    EXPECT_FALSE(f.ctx.link.gaveUp());
    f.unit.setDropAnswers(false);
    f.send({cmd::kQueryStatus, -1});  // its predecessor went unanswered too
    f.send({cmd::kQueryStatus, -1});  // this one found an answer
    EXPECT_EQ(f.ctx.link.unansweredWrites(), 0);
}

}  // namespace
}  // namespace v36::test
