#include "sim/virtual_unit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "protocol/bytes.h"
#include "protocol/codecs.h"
#include "protocol/report.h"
#include "protocol/word_table.h"
#include "protocol/words.h"
#include "sim/unit_fixture.h"

namespace v36 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::UnitFixture;

struct VirtualUnitTest : ::testing::Test, UnitFixture {
    void SetUp() override { ASSERT_TRUE(ctx.openLink().ok()); }
};

TEST_F(VirtualUnitTest, IdentifiesItselfAndSendsItsModeNamesOnOpen) {
    for (int code : {128, 127, 129, 126})
        send({code, -1});
    ASSERT_TRUE(settle());
    EXPECT_EQ(ctx.store.deviceModel.get(), u"V36");
    EXPECT_EQ(ctx.store.protocolVersion.load(), 12);
    EXPECT_EQ(ctx.store.dspVersion.utf8(), "2013-06-18");
    EXPECT_EQ(ctx.store.mcuVersion.utf8(), "2013-06-21");
    EXPECT_EQ(ctx.store.modeNames[0].get(), u"KTV");
    EXPECT_EQ(ctx.store.modeNames[3].get(), u"Party");

    // And can be made the wrong unit.
    unit.setModel("V35");
    unit.setProtocolVersion(11);
    send({128, -1});
    send({127, -1});
    ASSERT_TRUE(settle());
    EXPECT_EQ(ctx.store.deviceModel.get(), u"V35");
    EXPECT_EQ(ctx.store.protocolVersion.load(), 11);
}

// A word set by its sender and read back from the unit comes back as it was.
TEST_F(VirtualUnitTest, ParametersComeBackAsTheyWereSent) {
    ParamBlock& p = ctx.store.params;
    struct Case {
        int word;
        std::uint32_t value;
    };
    const Case cases[] = {
        {w::micVolume, 85},
        {w::micMute, 1},
        {w::micAEqBypass, 1},
        {w::musicPitch, static_cast<std::uint32_t>(-3)},
        {w::echoATime + 2, floatBits(217.0f)},
        {w::micGateThreshold, 123},
        {w::micGateAttack, 50},
        {w::micGateRelease, 1234},
        {w::musicAgcLevel, floatBits(-12.5f)},
        {w::reverbAParam18, floatBits(57.0f)},
        {outMain.delayFilterMode(1), 1},
        {outSub.mute(), 1},
        {outTop.level(3), 42},
    };
    for (const auto& c : cases) {
        p.setRaw(c.word, c.value);
        ctx.senders.sendWord(c.word);
        p.setRaw(c.word, 0xDEADBEEF);
        const UnitAddress a = wordInfo(c.word).readFrom.front();
        send({10, 0, a.block, a.index, a.count, -1});
    }
    ASSERT_TRUE(settle());
    for (const auto& c : cases)
        EXPECT_EQ(p.getRaw(c.word), c.value) << wordInfo(c.word).name;
    EXPECT_EQ(ctx.dispatcher.paramsChanged.load(), 1);

    // The frequency shift runs its own codec.
    p.setInt(w::micBFreq, 4);
    p.setInt(w::micBFreqMode, 0);
    ctx.senders.sendFreqShift(1);
    p.setInt(w::micBFreq, 0);
    send({10, 0, 1, 51, 1, -1});
    ASSERT_TRUE(settle());
    EXPECT_EQ(p.getInt(w::micBFreq), 4);
}

// Every word of the table, set, sent, cleared and read back from the unit.
TEST_F(VirtualUnitTest, EveryWordComesBackFromEachOfItsAddresses) {
    ParamBlock& p = ctx.store.params;
    ctx.senders.setSleeper([](std::chrono::milliseconds) {});
    for (const std::int32_t variant : {0, 1}) {
        std::vector<std::pair<int, std::uint32_t>> expected;
        for (const WordInfo& info : wordTable()) {
            std::uint32_t value = 0;
            switch (info.kind) {
                case WordKind::Level:
                    value = variant ? 42 : 100;
                    break;
                case WordKind::Mute:
                    value = variant ? 1 : 0;
                    break;
                case WordKind::Integer:
                    value = variant ? 1 : 0;
                    break;
                case WordKind::Samples:
                    value = floatBits(variant ? 217.0f : 10.0f);
                    break;
                case WordKind::Gate4:
                    value = variant ? 123 : static_cast<std::uint32_t>(-700);
                    break;
                case WordKind::Gate5:
                    value = variant ? 50 : 7;
                    break;
                case WordKind::Gate7:
                    value = variant ? 1234 : 99;
                    break;
                case WordKind::Raw:
                    value = floatBits(variant ? -12.5f : 3.25f);
                    break;
                case WordKind::FreqShift:
                    value = variant ? 3 : 5;
                    break;
                case WordKind::Pitch:
                    value = static_cast<std::uint32_t>(variant ? -3 : 5);
                    break;
                case WordKind::ReverbTime:
                    value = floatBits(variant ? 57.0f : 3.0f);
                    break;
                case WordKind::DelayMode:
                    value = variant ? 1 : 0;
                    break;
                default:
                    continue;  // the compressor: its own test
            }
            p.setRaw(info.word, value);
            ctx.senders.sendWord(info.word);
            expected.emplace_back(info.word, p.getRaw(info.word));
        }
        ASSERT_TRUE(settle());
        for (const auto& [word, value] : expected) {
            for (const UnitAddress& a : wordInfo(word).readFrom) {
                p.setRaw(word, 0xDEADBEEF);
                send({10, 0, a.block, a.index, a.count, -1});
                ASSERT_TRUE(settle());
                EXPECT_EQ(p.getRaw(word), value) << wordInfo(word).name << " variant " << variant
                                                 << " from " << int(a.block) << "." << int(a.index);
            }
        }
    }
}

TEST_F(VirtualUnitTest, RegisterSpaceRoundTrip) {
    ctx.store.setRecord(5, 0, {3.0f, 25, 1.414f, 1});
    const auto record = ctx.store.record(5, 0).encode();
    ctx.senders.writeRegisters(recordOffset(5, 0), BandRecord::kSize, record.data());
    ctx.store.setSpeakerLevel(2, -4.5f);
    ctx.senders.writeRegisters(kSpeakerOffset, kSpeakerBlockSize,
                               ctx.store.speakers.snapshot().data());
    ASSERT_TRUE(settle());
    const auto space = unit.registers();
    EXPECT_EQ(std::vector<std::uint8_t>(space.begin() + 511, space.begin() + 518),
              (std::vector<std::uint8_t>{0x00, 0xB4, 0x00, 0x19, 0x05, 0x86, 0x01}));

    const auto registers = ctx.store.registers.snapshot();
    const auto field = ctx.store.soundFieldBlock.snapshot();
    ctx.store.registers.fill(0);
    ctx.store.soundFieldBlock.fill(0);
    ctx.store.speakers.fill(0);
    ctx.senders.readAllRegisters();
    ASSERT_TRUE(settle());
    EXPECT_EQ(ctx.store.registers.snapshot(), registers);
    EXPECT_EQ(ctx.store.soundFieldBlock.snapshot(), field);
    EXPECT_EQ(ctx.store.speakerLevel(2), -4.5f);
}

TEST_F(VirtualUnitTest, MemoryModesStoreRecallAndReset) {
    auto readVolume = [&] {
        ctx.store.params.setInt(w::micVolume, -1);
        send({10, 0, 1, 30, 1, -1});
        EXPECT_TRUE(settle());
        return ctx.store.params.getInt(w::micVolume);
    };
    ctx.senders.sendParam(1, 30, 0.5f);
    send({4, 2, -1});  // store into M3
    ctx.senders.sendParam(1, 30, 0.1f);
    EXPECT_EQ(readVolume(), 10);

    const std::size_t names = dispatchedWithCode(cmd::kModeName);
    unit.setModeName(2, u"Late night");
    send({5, 2, -1});  // recall M3
    send({7, -1});
    ASSERT_TRUE(settle());
    EXPECT_EQ(readVolume(), 50);
    EXPECT_EQ(ctx.store.currentMode.load(), 2);
    EXPECT_EQ(dispatchedWithCode(cmd::kModeName), names + 4);
    EXPECT_EQ(ctx.store.modeNames[2].get(), u"Late night");

    send({6, 2, -1});  // reset M3, the current mode: back to the factory's 60
    EXPECT_EQ(readVolume(), 60);
}

TEST_F(VirtualUnitTest, SettingsSourcesAndKeys) {
    const std::array<std::uint8_t, 12> settings{1, 0, 1, 40, 255, 90, 80, 1, 0x11, 0xAB, 0xCD, 2};
    Report r = makeReport(cmd::kWriteSettings);
    std::copy(settings.begin(), settings.end(), r.begin() + 2);
    ctx.senders.write(r);
    send({11, 2, -1});
    send({16, 3, -1});
    Report keys = makeReport(cmd::kStoreKeys);
    for (std::size_t k = 0; k < 18; ++k)
        keys[2 + k] = static_cast<std::uint8_t>(0x20 + k);
    ctx.senders.write(keys);
    ctx.store.remoteKeyTable.set(17, 0x99);
    for (int code : {146, 12, 17, 98})
        send({code, -1});
    ASSERT_TRUE(settle());
    EXPECT_EQ(ctx.store.settingsApplied.snapshot(), settings);
    EXPECT_EQ(ctx.store.settingsEdit.snapshot(), settings);
    EXPECT_EQ(ctx.store.musicSource.load(), 2);
    EXPECT_EQ(ctx.store.hdmiInput.load(), 3);
    const auto table = ctx.store.remoteKeyTable.snapshot();
    EXPECT_EQ(table[0], 0x20);
    EXPECT_EQ(table[15], 0x2F);
    EXPECT_EQ(table[17], 0x99);  // not carried by the query
}

TEST_F(VirtualUnitTest, LearningAnswersOnlyWhenACodeIsCaptured) {
    std::atomic<int> learned{-1};
    ctx.dispatcher.setRemoteKeyHandler([&](std::uint8_t code) {
        learned = code;
        cv.notify_all();
    });
    unit.setLearnedCode(0x3A);
    send({96, 5, -1});
    ASSERT_TRUE(waitFor(2s, [&] { return learned.load() >= 0; }));
    EXPECT_EQ(learned.load(), 0x3A);
    const auto table = ctx.store.remoteKeyTable.snapshot();
    EXPECT_EQ(table[0], 1);
    EXPECT_EQ(table[5], 0x3A);
    EXPECT_EQ(unit.keyTable()[5], 0x3A);

    // Given up before the capture: nothing comes. The unit does not answer
    // while it learns, so giving up releases the write path first.
    learned = -1;
    unit.setLearnDelay(300ms);
    send({96, 6, -1});
    ctx.link.responseEvent.set();
    send({97, -1});
    std::this_thread::sleep_for(600ms);
    ASSERT_TRUE(settle());
    EXPECT_EQ(learned.load(), -1);
    EXPECT_EQ(dispatchedWithCode(cmd::kLearnKey), 1u);
}

TEST_F(VirtualUnitTest, LiveStatusMovesAndIsClearedOnClose) {
    send({14, -1});
    ASSERT_TRUE(settle());
    const auto first = ctx.store.liveStatus.snapshot();
    send({14, -1});
    ASSERT_TRUE(settle());
    const auto second = ctx.store.liveStatus.snapshot();
    EXPECT_NE(std::vector<std::uint8_t>(first.begin(), first.begin() + 6),
              std::vector<std::uint8_t>(second.begin(), second.begin() + 6));
    EXPECT_GT(second[11], 201);  // a full battery shows five bars
    EXPECT_LE(second[10], 199);  // a valid channel

    ctx.closeLink();
    EXPECT_EQ(ctx.store.liveStatus.snapshot(), (ByteBlock<16>::Bytes{}));
}

TEST_F(VirtualUnitTest, EveryReportIsAnsweredAndAcknowledgementsChangeNothing) {
    ASSERT_TRUE(settle());
    const auto params = ctx.store.params.toBytes();
    const auto registers = ctx.store.registers.snapshot();
    unit.clearTraffic();
    const int codes[] = {3, 4, 11, 15, 16, 18, 97, 133, 138, 145, 200};
    for (int code : codes)
        send({code, 0, -1});
    ASSERT_TRUE(settle());
    const auto sent = unit.sent();
    ASSERT_EQ(sent.size(), std::size(codes) + 1);  // and the marker's answer
    for (std::size_t i = 0; i < std::size(codes); ++i)
        EXPECT_EQ(sent[i][1], codes[i]);
    EXPECT_EQ(ctx.store.params.toBytes(), params);
    EXPECT_EQ(ctx.store.registers.snapshot(), registers);
    // The unit's acknowledgement of command 18 is not a module frame.
    EXPECT_EQ(unit.received().size(), std::size(codes) + 1);
}

TEST_F(VirtualUnitTest, DroppedAnswersLeaveEachWriteToItsWait) {
    ctx.link.setResponseWait(100ms);
    ASSERT_TRUE(settle());
    unit.setDropAnswers(true);
    send({7, -1});
    const auto start = Clock::now();
    send({7, -1});
    EXPECT_GE(Clock::now() - start, 90ms);
    EXPECT_TRUE(unit.waitForReceived(7, 2, 1s));
    unit.setDropAnswers(false);
    EXPECT_TRUE(settle());
}

TEST_F(VirtualUnitTest, GarbageAnswersDoNoHarm) {
    unit.setGarbageAnswers(true);
    ctx.link.setResponseWait(50ms);
    for (int i = 0; i < 100; ++i)
        send({i % 2 == 0 ? 10 : 134, 0, 5, 28, 1, -1});
    unit.setGarbageAnswers(false);
    ctx.link.setResponseWait(2500ms);
    ASSERT_TRUE(settle());
    send({128, -1});
    ASSERT_TRUE(settle());
    EXPECT_EQ(ctx.store.deviceModel.get(), u"V36");
    EXPECT_TRUE(ctx.link.linkOpen.load());
}

TEST_F(VirtualUnitTest, UnplugEndsTheReadThreadAndRemovalClosesTheLink) {
    // Removal of some other device changes nothing.
    EXPECT_FALSE(ctx.handleRemoval("/dev/hidraw9"));
    EXPECT_TRUE(ctx.link.linkOpen.load());

    unit.unplugFor(300ms);
    ASSERT_TRUE(waitFor(2s, [&] { return events.size() == 1; }));
    EXPECT_EQ(hotplugEvents(), (std::vector<std::string>{"-virtual:v36"}));
    ASSERT_TRUE(eventually(2s, [&] { return ctx.link.readThreadEnd.load(); }));
    EXPECT_EQ(send({7, -1}), 0);
    EXPECT_TRUE(ctx.handleRemoval("VIRTUAL:V36"));
    EXPECT_FALSE(ctx.link.linkOpen.load());
    EXPECT_EQ(ctx.openLink().error, OpenError::NotFound);

    ASSERT_TRUE(waitFor(2s, [&] { return events.size() == 2; }));
    EXPECT_EQ(hotplugEvents()[1], "+virtual:v36");
    ASSERT_TRUE(ctx.openLink().ok());
    send({128, -1});
    EXPECT_TRUE(settle());
}

TEST_F(VirtualUnitTest, RestartIsARemovalThenAnArrival) {
    send({104, 0x55, -1});  // not the restart code
    ASSERT_TRUE(settle());
    EXPECT_TRUE(unit.pluggedIn());

    send({104, 0xAA, -1});
    ASSERT_TRUE(waitFor(3s, [&] { return events.size() == 2; }));
    EXPECT_EQ(hotplugEvents(), (std::vector<std::string>{"-virtual:v36", "+virtual:v36"}));
    ctx.handleRemoval("virtual:v36");
    ASSERT_TRUE(ctx.openLink().ok());
    EXPECT_TRUE(settle());
}

TEST_F(VirtualUnitTest, OpenWhileOpenChangesNothing) {
    const OpenResult again = ctx.openLink();
    EXPECT_EQ(again.value, 0);
    EXPECT_EQ(again.error, OpenError::AlreadyOpen);
    send({128, -1});
    EXPECT_TRUE(settle());
}

TEST_F(VirtualUnitTest, LatencyDelaysTheAnswer) {
    ASSERT_TRUE(settle());
    unit.setLatency(40ms);
    const auto start = Clock::now();
    ASSERT_TRUE(settle());
    EXPECT_GE(Clock::now() - start, 35ms);
}

TEST_F(VirtualUnitTest, WritersOnSeveralThreadsAreAllAnswered) {
    ASSERT_TRUE(settle());
    unit.clearTraffic();
    constexpr int kEach = 100;
    auto writer = [&](int block) {
        for (int i = 0; i < kEach; ++i) {
            ctx.senders.sendParam(block, 28, static_cast<float>(i) / 100.0f);
            ctx.senders.sendCommand({14, -1});
        }
    };
    std::thread a(writer, 5);
    std::thread b(writer, 6);
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i)
            (void)ctx.store.liveStatus.snapshot();
    });
    a.join();
    b.join();
    reader.join();
    ASSERT_TRUE(settle());
    EXPECT_EQ(unit.received().size(), 4u * kEach + 1);
    EXPECT_EQ(unit.sent().size(), 4u * kEach + 1);
    EXPECT_EQ(unit.paramWords(5, 28)[0], floatBits(0.99f));
}

}  // namespace
}  // namespace v36
