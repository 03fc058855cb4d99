#include <gtest/gtest.h>

#include <thread>

#include "protocol/param_store.h"
#include "protocol/words.h"

namespace v36 {
namespace {

TEST(ParamStore, DefaultsAreTheStartUpState) {
    ParamStore s;
    s.resetToDefaults();

    EXPECT_EQ(s.deviceModel.get(), u"Korvel");
    EXPECT_EQ(s.mcuVersion.get(), u"2012-10-03");
    EXPECT_EQ(s.dspVersion.get(), u"2012-11-30");
    EXPECT_EQ(s.modeNames[0].get(), u"Mode1");
    EXPECT_EQ(s.modeNames[3].get(), u"Mode4");

    EXPECT_EQ(s.params.getFloat(w::echoATime + 2), 217.0f);
    EXPECT_EQ(s.params.getFloat(w::echoBTime + 2), 217.0f);
    EXPECT_EQ(s.params.getInt(w::echoAParam19), 60);
    EXPECT_EQ(s.params.getInt(w::echoBParam26), 60);
    EXPECT_EQ(s.params.getInt(w::micVolume), 0);

    const auto applied = s.settingsApplied.snapshot();
    const std::array<std::uint8_t, 12> expectApplied{0, 0, 0, 99, 99, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(applied, expectApplied);
    EXPECT_EQ(s.settingsEdit.snapshot(), (std::array<std::uint8_t, 12>{}));
}

TEST(ParamStore, DefaultRoomIsFourByFourWithEightSpeakers) {
    ParamStore s;
    s.resetToDefaults();
    const SoundFieldGeometry g = s.soundField.get();
    EXPECT_EQ(g.roomWidth, 4);
    EXPECT_EQ(g.roomHeight, 4);
    EXPECT_EQ(g.listenerX, 0.0f);
    EXPECT_EQ(g.listenerY, 0.0f);
    const float x[8] = {-1.0f, 0.0f, 1.0f, -1.0f, 0.0f, 1.0f, -0.5f, 0.5f};
    const float y[8] = {1.0f, 1.0f, 1.0f, -1.0f, -1.0f, -1.0f, 0.0f, 0.0f};
    for (std::size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(g.speakerX[k], x[k]) << "speaker " << k;
        EXPECT_EQ(g.speakerY[k], y[k]) << "speaker " << k;
    }
    // Encoding is the exact inverse of decoding.
    const auto before = s.soundFieldBlock.snapshot();
    EXPECT_EQ(s.encodeSoundField(), before);
}

TEST(ParamStore, RegisterDefaults) {
    ParamStore s;
    s.resetToDefaults();
    const auto regs = s.registers.snapshot();
    auto record = [&](std::size_t offset) {
        std::array<std::uint8_t, 7> r{};
        for (std::size_t i = 0; i < 7; ++i)
            r[i] = regs[offset + i];
        return r;
    };
    using R = std::array<std::uint8_t, 7>;
    // Microphone A band 8: 998 Hz peaking, Q 1.414, 0 dB.
    EXPECT_EQ(record(56), (R{0x00, 0x96, 0x03, 0xE6, 0x05, 0x86, 0x01}));
    // Microphone A band 7: low shelf 630 Hz, Q 0.707; band 10: high shelf 2500 Hz.
    EXPECT_EQ(record(49), (R{0x00, 0x96, 0x02, 0x76, 0x02, 0xC3, 0x04}));
    EXPECT_EQ(record(70), (R{0x00, 0x96, 0x09, 0xC4, 0x02, 0xC3, 0x05}));
    // Main band 0 at the start of bank 5; main band 23 at 20 kHz.
    EXPECT_EQ(record(511), (R{0x00, 0x96, 0x00, 0x19, 0x05, 0x86, 0x01}));
    EXPECT_EQ(record(511 + 7 * 23), (R{0x00, 0x96, 0x4E, 0x20, 0x05, 0x86, 0x01}));
    // Main L split pair: high-pass 500 Hz then low-pass 1000 Hz, Q 0.707.
    EXPECT_EQ(record(511 + 7 * 24), (R{0x00, 0x96, 0x01, 0xF4, 0x02, 0xC3, 0x03}));
    EXPECT_EQ(record(511 + 7 * 25), (R{0x00, 0x96, 0x03, 0xE8, 0x02, 0xC3, 0x02}));
    // Sub: band 16 type 18 with Q 1.414, band 17 type 20 with Q 0.707.
    EXPECT_EQ(record(889 + 7 * 16), (R{0x00, 0x96, 0x00, 0x64, 0x05, 0x86, 18}));
    EXPECT_EQ(record(889 + 7 * 17), (R{0x00, 0x96, 0x00, 0x64, 0x02, 0xC3, 20}));
    // The last record of the block is Top R's low-pass.
    EXPECT_EQ(record(1134), (R{0x00, 0x96, 0x03, 0xE8, 0x02, 0xC3, 0x02}));
}

struct TenthsCase {
    float value;
    std::uint8_t byte;
};

TEST(ParamStore, TenthsByteCodec) {
    const TenthsCase cases[] = {{-0.5f, 0x85}, {1.0f, 0x0A},   {0.0f, 0x00},
                                {12.7f, 0x7F}, {-12.7f, 0xFF}, {0.04f, 0x00},
                                {0.05f, 0x01}, {-1.0f, 0x8A},  {3.14f, 0x1F}};
    for (const auto& c : cases) {
        EXPECT_EQ(encodeTenths(c.value), c.byte) << c.value;
    }
    // Every byte but negative zero survives decode then encode.
    for (int b = 0; b < 256; ++b) {
        if (b == 0x80) continue;
        const auto byte = static_cast<std::uint8_t>(b);
        EXPECT_EQ(encodeTenths(decodeTenths(byte)), byte) << b;
    }
    EXPECT_EQ(decodeTenths(0x80), 0.0f);
}

TEST(ParamStore, ParamBlockImageIsLittleEndian) {
    ParamBlock p;
    p.setInt(0, 0x01020304);
    p.setFloat(146, -12.0f);
    const auto bytes = p.toBytes();
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[584], 0x00);
    EXPECT_EQ(bytes[586], 0x40);
    EXPECT_EQ(bytes[587], 0xC1);
    ParamBlock q;
    q.fromBytes(bytes.data());
    EXPECT_EQ(q.getInt(0), 0x01020304);
    EXPECT_EQ(q.getFloat(146), -12.0f);
}

TEST(ParamStore, ByteBlockCutsAtItsEnd) {
    ByteBlock<8> b;
    const std::uint8_t data[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(b.write(5, data, 6), 3u);
    EXPECT_EQ(b.snapshot(), (std::array<std::uint8_t, 8>{0, 0, 0, 0, 0, 1, 2, 3}));
    EXPECT_EQ(b.write(8, data, 6), 0u);
    EXPECT_EQ(b.write(100, data, 6), 0u);
    std::uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(b.read(6, out, 4), 2u);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[2], 9);
}

TEST(ParamStore, TextFieldsKeepTheirRoom) {
    TextField<11> version;
    version.set(u"2015-05-06 build 7");
    EXPECT_EQ(version.get(), u"2015-05-06");
    TextField<30> model;
    model.set(u"\u4E2D\u6587V36");
    EXPECT_EQ(model.utf8(), "\xE4\xB8\xAD\xE6\x96\x87V36");
    EXPECT_EQ(utf8ToUtf16("\xE4\xB8\xAD\xE6\x96\x87V36"), u"\u4E2D\u6587V36");
}

// The read thread and the GUI thread use the store at once; words are read
// whole and blocks are copied under their lock.
TEST(ParamStore, ConcurrentReadersSeeWholeValues) {
    ParamStore s;
    s.resetToDefaults();
    constexpr int kRounds = 20000;
    std::thread writer([&] {
        for (int i = 0; i < kRounds; ++i) {
            s.params.setInt(w::micVolume, (i & 1) ? 0x7FFF0000 : 0x0000FFFF);
            const std::uint8_t fill = (i & 1) ? 0xAA : 0x55;
            std::array<std::uint8_t, 16> status{};
            status.fill(fill);
            s.liveStatus.assign(status);
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        const std::int32_t v = s.params.getInt(w::micVolume);
        ASSERT_TRUE(v == 0 || v == 0x7FFF0000 || v == 0x0000FFFF) << v;
        const auto status = s.liveStatus.snapshot();
        for (auto b : status)
            ASSERT_EQ(b, status[0]);
    }
    writer.join();
}

}  // namespace
}  // namespace v36
