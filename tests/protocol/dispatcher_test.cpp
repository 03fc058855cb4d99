#include "protocol/dispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "context/device_context.h"
#include "link/fake_device.h"
#include "protocol/bytes.h"
#include "protocol/codecs.h"
#include "protocol/words.h"
#include "support/recording_transport.h"

namespace v36 {
namespace {

using test::reportOf;

constexpr std::uint32_t bitsOf(float f) {
    return std::bit_cast<std::uint32_t>(f);
}
constexpr std::uint32_t bitsOf(std::int32_t i) {
    return static_cast<std::uint32_t>(i);
}

// A read-back answer: 02 0A error block index n, then the words.
Report readBack(int block, int index, std::vector<std::uint32_t> words, int error = 0) {
    Report r = makeReport(cmd::kReadParam);
    r[2] = static_cast<std::uint8_t>(error);
    r[3] = static_cast<std::uint8_t>(block);
    r[4] = static_cast<std::uint8_t>(index);
    r[5] = static_cast<std::uint8_t>(words.size());
    for (std::size_t k = 0; k < words.size(); ++k)
        putBE32(r.data() + 6 + 4 * k, words[k]);
    return r;
}

// The dispatcher of a context whose link writes to a recording transport.
struct DispatcherTest : ::testing::Test {
    DispatcherTest() { ctx.link.attach(transport); }
    ~DispatcherTest() override {
        ctx.writer.waitIdle();
        ctx.link.detach();
    }

    void dispatch(const Report& r) { ctx.dispatcher.dispatchReport(r); }

    DeviceContext ctx;
    test::RecordingTransport transport{&ctx.link.responseEvent};
};

TEST_F(DispatcherTest, ReadBackConvertsEachWordByItsRule) {
    struct Case {
        const char* what;
        int block, index;
        std::vector<std::uint32_t> words;
        int word;
        std::uint32_t expected;  // the stored word's bits
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {"C 1.0", 1, 33, {bitsOf(1.0f)}, w::micRouteA, 100},
        {"C rounds 0.994", 1, 33, {bitsOf(0.994f)}, w::micRouteA, 99},
        {"C -0.004 is 0", 1, 33, {bitsOf(-0.004f)}, w::micRouteA, 0},
        {"C negative, half away from zero", 1, 30, {bitsOf(-0.995f)}, w::micVolume, bitsOf(-100)},
        {"C from the second address", 1, 43, {bitsOf(0.75f)}, w::micVolume, 75},
        {"C out of range is clamped", 1, 56, {bitsOf(3e9f)}, w::micLevel, 0x7FFFFFFF},
        {"C of NaN is 0", 1, 57, {bitsOf(nan)}, w::micLevel + 1, 0},
        {"M 0.004 counts as 0", 1, 42, {bitsOf(0.004f)}, w::micMute, 1},
        {"M 1.0 is unmuted", 1, 55, {bitsOf(1.0f)}, w::micMute, 0},
        {"M two-word mute", 5, 41, {0, 0}, outMain.mute(), 1},
        {"M mono mute", 7, 22, {bitsOf(1.0f)}, outCenter.mute(), 0},
        {"I lowest byte", 1, 37, {0x12345601}, w::micAEqBypass, 1},
        {"P value minus 5", 4, 20, {7}, w::musicPitch, 2},
        {"P 0 is -5", 4, 20, {0}, w::musicPitch, bitsOf(-5)},
        {"MS samples to ms", 2, 16, {10416}, w::echoATime, bitsOf(217.0f)},
        {"MS keeps fractions",
         8,
         29,
         {100},
         outSub.delayMs(0),
         bitsOf(static_cast<float>(100.0 / 48.0))},
        {"HZ radians to hertz", 1, 38, {bitsOf(freqShiftRadians(3))}, w::micAFreq, 3},
        {"HZ of NaN is 0", 1, 51, {bitsOf(nan)}, w::micBFreq, 0},
        {"S4", 1, 60, {bitsOf(0.0123f)}, w::micGateThreshold, 123},
        {"S4 negative", 4, 21, {bitsOf(-0.0123f)}, w::musicGateThreshold, bitsOf(-123)},
        {"S5", 1, 64, {bitsOf(0.0005f)}, w::micGateAttack, 50},
        {"S7", 1, 65, {bitsOf(0.0001234f)}, w::micGateRelease, 1234},
        {"RAW", 4, 19, {bitsOf(-12.5f)}, w::musicAgcLevel, bitsOf(-12.5f)},
        {"N2 channel mode", 5, 39, {bitsOf(1.0f), bitsOf(0.0f)}, outMain.delayFilterMode(0), 1},
        {"N2 0.99 truncates to 0",
         5,
         40,
         {bitsOf(1.0f), bitsOf(0.99f)},
         outMain.delayFilterMode(1),
         1},
        {"N2 high-frequency mode",
         8,
         31,
         {bitsOf(1.0f), bitsOf(1.0f)},
         outSub.delayFilterMode(0),
         0},
        {"CF reverb time as float", 3, 18, {bitsOf(0.57f)}, w::reverbAParam18, bitsOf(57.0f)},
        {"CF channel B", 3, 24, {bitsOf(1.0f)}, w::reverbBParam24, bitsOf(100.0f)},
    };
    for (const auto& c : cases) {
        ctx.store.params.setRaw(c.word, 0xDEADBEEF);
        dispatch(readBack(c.block, c.index, c.words));
        EXPECT_EQ(ctx.store.params.getRaw(c.word), c.expected) << c.what;
    }
}

TEST_F(DispatcherTest, CompressorAnswerFillsItsFourWords) {
    const auto words = compressorWords(-20.0f, 4.0f, 10.0f, 100.0f);
    const OutputGroup& g = outRear;
    dispatch(readBack(g.block, g.unitCompressor(), {words.begin(), words.end()}));
    const ParamBlock& p = ctx.store.params;
    EXPECT_EQ(p.getFloat(g.compThreshold()), -20.0f);
    EXPECT_NEAR(p.getFloat(g.compRatio()), 4.0f, 1e-3);
    EXPECT_NEAR(p.getFloat(g.compAttack()), 10.0f, 0.05);
    EXPECT_NEAR(p.getFloat(g.compRelease()), 100.0f, 0.5);
    EXPECT_EQ(p.getInt(g.compBypass()), 0);
}

TEST_F(DispatcherTest, FrequencyModeOffAlsoTurnsTheShiftOff) {
    ParamBlock& p = ctx.store.params;
    p.setInt(w::micAFreq, 4);
    p.setInt(w::micBFreq, 5);
    dispatch(readBack(1, 40, {0}));  // shift on: the frequency stays
    dispatch(readBack(1, 53, {0}));
    EXPECT_EQ(p.getInt(w::micAFreq), 4);
    EXPECT_EQ(p.getInt(w::micBFreq), 5);

    dispatch(readBack(1, 40, {1}));
    EXPECT_EQ(p.getInt(w::micAFreqMode), 1);
    EXPECT_EQ(p.getInt(w::micAFreq), 1);
    EXPECT_EQ(p.getInt(w::micBFreq), 5);
    dispatch(readBack(1, 53, {1}));
    EXPECT_EQ(p.getInt(w::micBFreq), 1);
}

TEST_F(DispatcherTest, ParameterErrorIsShownOnceAndTheAnswerStillDecoded) {
    std::vector<std::string> shown;
    ctx.dispatcher.setParameterErrorHandler(
        [&](std::string_view text) { shown.emplace_back(text); });

    // A read-back naming no word's address is garbled: its error byte is
    // not the unit's and leaves the one showing for a real error.
    dispatch(readBack(0x32, 0xAE, {bitsOf(0.5f)}, 0x24));
    dispatch(readBack(1, 39, {bitsOf(0.5f)}, 0x24));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(ctx.dispatcher.errorShown.load(), 0);

    dispatch(readBack(1, 0x21, {bitsOf(0.5f)}, 5));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "参数错误,代码0x:05,指令1:0x01,指令2:0x21 ");
    EXPECT_EQ(ctx.dispatcher.errorShown.load(), 1);

    dispatch(readBack(1, 33, {bitsOf(0.5f)}, 0x7F));
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(ctx.store.params.getInt(w::micRouteA), 50);
}

TEST_F(DispatcherTest, UnknownAddressesAndCodesChangeNothing) {
    const auto params = ctx.store.params.toBytes();
    const auto registers = ctx.store.registers.snapshot();
    for (const Report& r : {readBack(1, 39, {bitsOf(1.0f)}), readBack(0, 0, {1}),
                            readBack(10, 30, {1}), readBack(255, 255, {1}), reportOf({2, 148, 1}),
                            reportOf({2, 149, 1}), reportOf({2, 0, 1, 2, 3}),
                            reportOf({2, 255, 0xFF, 0xFF}), reportOf({2, 134, 0x04, 0x8A, 8})}) {
        dispatch(r);
    }
    EXPECT_EQ(ctx.store.params.toBytes(), params);
    EXPECT_EQ(ctx.store.registers.snapshot(), registers);
    EXPECT_EQ(ctx.dispatcher.paramsChanged.load(), 0);
    EXPECT_TRUE(transport.reports().empty());
}

TEST_F(DispatcherTest, EveryReportSignalsTheResponseEvent) {
    for (int code : {0, 7, 9, 10, 18, 20, 96, 134, 148, 149, 219, 255}) {
        ctx.link.responseEvent.waitFor(std::chrono::milliseconds(0));
        ASSERT_FALSE(ctx.link.responseEvent.isSet());
        dispatch(reportOf({2, code, 0, 6, 6}));
        EXPECT_TRUE(ctx.link.responseEvent.isSet()) << "code " << code;
    }
}

TEST_F(DispatcherTest, ChangedParameterSetsTheFlag) {
    dispatch(reportOf({2, 9, 0, 5, 28, 1}));
    EXPECT_EQ(ctx.dispatcher.paramsChanged.load(), 1);
}

TEST_F(DispatcherTest, TextFieldsTakeOneByteACharacterCutAtTheirRoom) {
    dispatch(reportOf({2, 128, 'V', '3', '6', 0, 'X'}));
    EXPECT_EQ(ctx.store.deviceModel.get(), u"V36");

    Report longText = makeReport(cmd::kQueryModel);
    for (std::size_t i = 2; i < longText.size(); ++i)
        longText[i] = static_cast<std::uint8_t>('A' + i % 26);
    dispatch(longText);
    EXPECT_EQ(ctx.store.deviceModel.get().size(), 29u);
    dispatch(longText);
    dispatch(reportOf({2, 126, '2', '0', '1', '3', '-', '0', '6', '-', '1', '8', '-', 'x'}));
    EXPECT_EQ(ctx.store.dspVersion.get(), u"2013-06-18");

    // A shorter text replaces a longer one; bytes above 0x7F are code units.
    dispatch(reportOf({2, 129, '2', '0', '1', '2', '-', '0', '1', '-', '0', '1'}));
    dispatch(reportOf({2, 129, 'a', 0xB5}));
    EXPECT_EQ(ctx.store.mcuVersion.get(), u"a\u00B5");
    dispatch(reportOf({2, 128, 0, 'V'}));
    EXPECT_EQ(ctx.store.deviceModel.get(), u"");
}

TEST_F(DispatcherTest, RegisterDataIsCutAtItsBlock) {
    ParamStore& s = ctx.store;
    // A record at 511.
    dispatch(reportOf({2, 134, 0x01, 0xFF, 7, 0x00, 0xB4, 0x00, 0x19, 0x05, 0x86, 0x01}));
    std::array<std::uint8_t, 7> record{};
    s.registers.read(511, record.data(), record.size());
    EXPECT_EQ(record, (std::array<std::uint8_t, 7>{0x00, 0xB4, 0x00, 0x19, 0x05, 0x86, 0x01}));

    // A length beyond the report (200) copies what the report carries: 56 bytes.
    s.registers.fill(0xAA);
    Report big = makeReport(cmd::kReadRegisters);
    big[4] = 200;
    for (std::size_t i = 5; i < big.size(); ++i)
        big[i] = 0x11;
    dispatch(big);
    EXPECT_EQ(s.registers.at(55), 0x11);
    EXPECT_EQ(s.registers.at(56), 0xAA);

    // Near the end of the block only what fits is written.
    dispatch(reportOf({2, 134, 0x04, 0x72, 7, 1, 2, 3, 4, 5, 6, 7}));  // offset 1138
    EXPECT_EQ(s.registers.at(1140), 3);
    EXPECT_EQ(s.soundFieldBlock.at(0), 0x04);  // untouched

    // Blank register memory clears the whole block.
    dispatch(reportOf({2, 134, 0x00, 0x38, 56, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(s.registers.snapshot(), ByteBlock<kRegisterBlockSize>::Bytes{});
}

TEST_F(DispatcherTest, SoundFieldAndSpeakerBlocks) {
    ParamStore& s = ctx.store;
    Report field = makeReport(cmd::kReadRegisters);
    putBE16(field.data() + 2, kSoundFieldOffset);
    field[4] = 50;  // more than the block holds
    const std::uint8_t bytes[] = {6, 3, 0x85, 0x0A};
    std::copy(std::begin(bytes), std::end(bytes), field.begin() + 5);
    field[5 + 20] = 0x77;  // beyond the block
    dispatch(field);
    EXPECT_EQ(s.soundFieldBlock.at(0), 6);
    EXPECT_EQ(s.soundFieldBlock.at(19), 0);
    const SoundFieldGeometry g = s.soundField.get();
    EXPECT_EQ(g.roomWidth, 6);
    EXPECT_EQ(g.roomHeight, 3);
    EXPECT_EQ(g.listenerX, -0.5f);
    EXPECT_EQ(g.listenerY, 1.0f);
    EXPECT_EQ(s.speakers.at(0), 0);

    Report speakers = makeReport(cmd::kReadRegisters);
    putBE16(speakers.data() + 2, kSpeakerOffset);
    speakers[4] = 32;
    putBE32(speakers.data() + 5 + 4 * 7, bitsOf(-3.5f));
    dispatch(speakers);
    EXPECT_EQ(s.speakerLevel(7), -3.5f);

    // Offsets inside the two blocks but not at their start are ignored.
    const auto before = s.speakers.snapshot();
    dispatch(reportOf({2, 134, 0x04, 0x90, 4, 1, 2, 3, 4}));  // 1168
    dispatch(reportOf({2, 134, 0x04, 0x7E, 4, 1, 2, 3, 4}));  // 1150
    EXPECT_EQ(s.speakers.snapshot(), before);
    EXPECT_EQ(s.soundFieldBlock.at(9), 0);
}

TEST_F(DispatcherTest, ModeNames) {
    auto& names = ctx.store.modeNames;
    dispatch(reportOf({2, 219, 0x0F, 0x40, 8, 0x00, 'K', 0x00, 'T', 0x00, 'V', 0x00, 0x00}));
    EXPECT_EQ(names[1].get(), u"KTV");

    // Big-endian characters, beyond Latin-1 too; the length stops the copy.
    dispatch(reportOf({2, 219, 0x0F, 0xC0, 4, 0x4E, 0x2D, 0x65, 0x87, 0x00, 'x'}));
    EXPECT_EQ(names[3].get(), u"\u4E2D\u6587");
    // An odd length reads the last pair whole.
    dispatch(reportOf({2, 219, 0x0F, 0x00, 3, 0x00, 'A', 0x00, 'B', 0x00, 'C'}));
    EXPECT_EQ(names[0].get(), u"AB");

    // At most 23 characters, even when the length claims more.
    Report longName = makeReport(cmd::kModeName);
    putBE16(longName.data() + 2, 0x0F80);
    longName[4] = 255;
    for (std::size_t i = 5; i + 1 < longName.size(); i += 2)
        putBE16(longName.data() + i, 'n');
    dispatch(longName);
    EXPECT_EQ(names[2].get(), std::u16string(23, u'n'));

    // Blank memory and other addresses are ignored.
    dispatch(reportOf({2, 219, 0x0F, 0x40, 8, 0xFF, 0xFF, 0xFF, 0xFF}));
    dispatch(reportOf({2, 219, 0x0F, 0x41, 2, 0x00, 'Z'}));
    EXPECT_EQ(names[1].get(), u"KTV");
}

TEST_F(DispatcherTest, RemoteKeys) {
    std::vector<int> learned;
    ctx.dispatcher.setRemoteKeyHandler([&](std::uint8_t code) { learned.push_back(code); });
    auto table = [&] { return ctx.store.remoteKeyTable.snapshot(); };

    dispatch(reportOf({2, 96, 0x01, 0x05, 0x3A}));
    EXPECT_EQ(table()[0], 0x01);
    EXPECT_EQ(table()[5], 0x3A);
    // A key number outside 1..17 sets the status only.
    dispatch(reportOf({2, 96, 0x02, 18, 0x44}));
    dispatch(reportOf({2, 96, 0x03, 0, 0x45}));
    EXPECT_EQ(table()[0], 0x03);
    EXPECT_EQ(learned, (std::vector<int>{0x3A, 0x44, 0x45}));

    // The table query carries bytes 0..15; 16 and 17 keep their values.
    ctx.store.remoteKeyTable.set(16, 0x66);
    ctx.store.remoteKeyTable.set(17, 0x77);
    Report keys = makeReport(cmd::kQueryKeys);
    for (std::size_t i = 2; i < 20; ++i)
        keys[i] = static_cast<std::uint8_t>(0x80 + i);
    dispatch(keys);
    EXPECT_EQ(table()[0], 0x82);
    EXPECT_EQ(table()[15], 0x91);
    EXPECT_EQ(table()[16], 0x66);
    EXPECT_EQ(table()[17], 0x77);
}

TEST_F(DispatcherTest, SettingsStatusAndSmallFields) {
    ParamStore& s = ctx.store;
    dispatch(reportOf({2, 146, 1, 0, 1, 50, 60, 90, 95, 1, 0x91, 0xAB, 0xCD, 3, 0xEE}));
    const ByteBlock<12>::Bytes settings{1, 0, 1, 50, 60, 90, 95, 1, 0x91, 0xAB, 0xCD, 3};
    EXPECT_EQ(s.settingsApplied.snapshot(), settings);
    EXPECT_EQ(s.settingsEdit.snapshot(), settings);

    Report status = makeReport(cmd::kQueryStatus);
    for (std::size_t i = 2; i < 20; ++i)
        status[i] = static_cast<std::uint8_t>(i);
    dispatch(status);
    EXPECT_EQ(s.liveStatus.at(0), 2);
    EXPECT_EQ(s.liveStatus.at(15), 17);

    dispatch(reportOf({2, 7, 2}));
    dispatch(reportOf({2, 12, 4}));
    dispatch(reportOf({2, 17, 3}));
    dispatch(reportOf({2, 127, 12}));
    EXPECT_EQ(s.currentMode.load(), 2);
    EXPECT_EQ(s.musicSource.load(), 4);
    EXPECT_EQ(s.hdmiInput.load(), 3);
    EXPECT_EQ(s.protocolVersion.load(), 12);

    dispatch(reportOf({2, 32, 0, 7, 8, 9}));  // not the aux state
    EXPECT_EQ(s.auxState.snapshot(), (ByteBlock<6>::Bytes{}));
    dispatch(reportOf({2, 32, 1, 7, 8, 9, 10}));
    dispatch(reportOf({2, 143, 0, 0x5A}));
    EXPECT_EQ(s.auxState.snapshot(), (ByteBlock<6>::Bytes{7, 8, 9, 0, 0, 0x5A}));
}

TEST_F(DispatcherTest, ModuleFramesAreAcknowledgedThenHandedOn) {
    std::vector<Report> frames;
    std::vector<std::size_t> writtenBeforeHook;
    ctx.dispatcher.setHomeFrameHook([&](const Report& r) {
        frames.push_back(r);
        writtenBeforeHook.push_back(transport.reports().size());
    });
    std::vector<Report> memory;
    ctx.dispatcher.setHomeMemoryHook([&](const Report& r) { memory.push_back(r); });

    // The module's own acknowledgement: neither answered nor handed on.
    dispatch(reportOf({2, 18, 4, 0x06}));
    EXPECT_TRUE(transport.reports().empty());
    EXPECT_TRUE(frames.empty());

    const Report frame = reportOf({2, 18, 8, 0x01, 0x06, 0x00, 0x04, 0x00, 0x05, 0x01});
    dispatch(frame);
    ASSERT_EQ(transport.reports().size(), 1u);
    EXPECT_EQ(transport.reports()[0], reportOf({2, 0x12, 0x01, 0x06}));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], frame);
    EXPECT_EQ(writtenBeforeHook[0], 1u);

    const Report piece = reportOf({2, 20, 0x00, 0x1E, 4, 1, 2, 3, 4});
    dispatch(piece);
    ASSERT_EQ(memory.size(), 1u);
    EXPECT_EQ(memory[0], piece);
    EXPECT_EQ(transport.reports().size(), 1u);

    // The module's events reach the user interface through the dispatcher.
    std::vector<std::pair<int, std::uint32_t>> events;
    ctx.dispatcher.setHomeEventHandler(
        [&](std::uint8_t f, std::uint32_t detail) { events.emplace_back(f, detail); });
    ctx.dispatcher.postHomeEvent(0x04, 5u << 16 | 1);
    EXPECT_EQ(events, (std::vector<std::pair<int, std::uint32_t>>{{0x04, 5u << 16 | 1}}));
}

TEST_F(DispatcherTest, AcknowledgementOnAClosedLinkIsDroppedQuietly) {
    ctx.link.detach();
    int frames = 0;
    ctx.dispatcher.setHomeFrameHook([&](const Report&) { ++frames; });
    const auto start = std::chrono::steady_clock::now();
    dispatch(reportOf({2, 18, 8, 0x01, 0x06, 0x00, 0x42}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(frames, 1);
    EXPECT_TRUE(transport.reports().empty());
}

}  // namespace
}  // namespace v36

namespace v36 {
namespace {

// The read thread acknowledges a module frame at once, even while a write
// waits for an answer that only the read thread can take in.
TEST(DispatcherOnTheLink, ModuleFramesAreAcknowledgedWhileAWriteAwaitsItsAnswer) {
    DeviceContext ctx;
    test::FakeBackend backend;
    ASSERT_TRUE(ctx.link.openLink(backend).ok());
    auto state = backend.state;
    // The first write goes; the second waits for the first one's answer.
    ctx.senders.sendCommand({cmd::kQueryStatus, -1});
    std::thread waiting([&] { ctx.senders.sendCommand({cmd::kQueryStatus, -1}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto sent = std::chrono::steady_clock::now();
    Report frame = makeReport(cmd::kHomeFrame);
    frame[2] = 1;
    frame[3] = 0x01;
    for (int k = 0; k < 3; ++k)
        state->push(frame);
    auto acks = [&] {
        int n = 0;
        for (const Report& r : state->writes())
            n += r[1] == cmd::kHomeFrame && r[3] == 0x06 ? 1 : 0;
        return n;
    };
    while (acks() < 3 && std::chrono::steady_clock::now() - sent < std::chrono::seconds(2))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(acks(), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(500));
    waiting.join();
    // The frames were answers too: the waiting write went, none was missed.
    EXPECT_EQ(ctx.link.missedAnswers(), 0);
}

}  // namespace
}  // namespace v36
