#include "protocol/mode_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "protocol/bytes.h"
#include "protocol/words.h"
#include "remote/temp_folder.h"
#include "support/file_size_limit.h"

namespace v36 {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 20> kDefaultSoundField{0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00,
                                                          0x0A, 0x0A, 0x0A, 0x8A, 0x8A, 0x00, 0x8A,
                                                          0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00};

// Gives every persistent byte of the store a value that depends on `seed`.
void fillPattern(ParamStore& s, int seed) {
    for (int w = 0; w < ParamBlock::kWords; ++w)
        s.params.setRaw(
            w, 0x01020304u * static_cast<std::uint32_t>(w + 1) + static_cast<std::uint32_t>(seed));
    auto pattern = [seed](auto& block, int step) {
        auto bytes = block.snapshot();
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(static_cast<int>(i) * step + seed);
        block.assign(bytes);
    };
    pattern(s.registers, 7);
    pattern(s.auxState, 31);
    pattern(s.speakers, 13);
    pattern(s.soundFieldBlock, 5);
    s.decodeSoundField();
    s.musicSource = 7 + seed;  // out of range: kept as it stands
    s.hdmiInput = static_cast<std::uint8_t>(0xC0 + seed);
}

ParamStore& freshStore(ParamStore& s) {
    s.resetToDefaults();
    return s;
}

Bytes slice(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at),
                 b.begin() + static_cast<std::ptrdiff_t>(at + n));
}
template <std::size_t N>
Bytes bytesOf(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

TEST(ModeFile, SavedFileHasTheVersion2Layout) {
    test::TempFolder dir;
    ParamStore s;
    freshStore(s);
    s.params.setRaw(0, 0x11223344u);
    s.params.setFloat(146, -12.0f);
    s.musicSource = 2;
    s.hdmiInput = 3;
    const fs::path file = dir / "preset.ev36";
    ASSERT_TRUE(saveModeFile(s, file));

    const Bytes f = test::readAll(file);
    ASSERT_EQ(f.size(), 1796u);
    EXPECT_EQ(slice(f, 0, 4), (Bytes{0x02, 0x00, 0x00, 0x00}));
    EXPECT_EQ(slice(f, 4, 4), (Bytes{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(slice(f, 4 + 4 * 35, 4), (Bytes{0x00, 0x00, 0x59, 0x43}));   // 217.0f
    EXPECT_EQ(slice(f, 4 + 4 * 146, 4), (Bytes{0x00, 0x00, 0x40, 0xC1}));  // -12.0f
    EXPECT_EQ(slice(f, 592, 1141), bytesOf(s.registers.snapshot()));
    EXPECT_EQ(slice(f, 1733, 6), bytesOf(s.auxState.snapshot()));
    EXPECT_EQ(slice(f, 1739, 32), bytesOf(s.speakers.snapshot()));
    EXPECT_EQ(slice(f, 1771, 20), bytesOf(kDefaultSoundField));
    EXPECT_EQ(slice(f, 1791, 5), (Bytes{0x02, 0x00, 0x00, 0x00, 0x03}));
}

TEST(ModeFile, SaveThenLoadReproducesEveryPersistentByte) {
    test::TempFolder dir;
    // A UTF-8 folder and name, saved twice so the second save replaces a file.
    fs::create_directory(dir / u8"场地 A");
    const fs::path file = dir / u8"场地 A" / u8"默认1 演出.ev36";
    ParamStore saved;
    freshStore(saved);
    ASSERT_TRUE(saveModeFile(saved, file));
    fillPattern(saved, 3);
    ASSERT_TRUE(saveModeFile(saved, file));
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()),
              1);  // no temporary file left behind
    ParamStore loaded;
    freshStore(loaded);
    loaded.currentMode = 2;
    loaded.remoteKeyTable.set(4, 0x5A);
    const FileResult r = loadModeFile(loaded, file);
    ASSERT_TRUE(r) << r.error.detail;

    EXPECT_EQ(captureModeImage(loaded), captureModeImage(saved));
    EXPECT_EQ(loaded.soundField.get(), saved.soundField.get());
    // Parts that are not in a mode file stay as they were.
    EXPECT_EQ(loaded.currentMode.load(), 2);
    EXPECT_EQ(loaded.remoteKeyTable.at(4), 0x5A);

    // A version-2 file read and written again gives the same bytes.
    const auto bytes = test::readAll(file);
    const ModeDecode decoded = decodeModeFile(bytes);
    ASSERT_TRUE(decoded.image.has_value());
    ParamStore again;
    applyModeImage(again, *decoded.image);
    const auto written = encodeModeFile(captureModeImage(again));
    EXPECT_TRUE(std::equal(written.begin(), written.end(), bytes.begin()));
}

Bytes version1File(std::int32_t pitch) {
    Bytes f(1820, 0);
    putLE32(&f[0], 1);
    for (std::size_t k = 0; k < 147; ++k)
        putLE32(&f[4 + 4 * k], static_cast<std::uint32_t>(0x100 + k));
    putLE32(&f[4 + 4 * 62], static_cast<std::uint32_t>(pitch));
    putLE32(&f[4 + 4 * 145], 1);
    putLE32(&f[4 + 4 * 146], floatBits(3.0f));
    std::fill(f.begin() + 592, f.begin() + 616, std::uint8_t{0xEE});
    for (std::size_t i = 0; i < 1141; ++i)
        f[616 + i] = static_cast<std::uint8_t>(i * 3 + 1);
    for (std::size_t i = 0; i < 6; ++i)
        f[1757 + i] = static_cast<std::uint8_t>(0x10 + i);
    for (std::size_t i = 0; i < 32; ++i)
        f[1763 + i] = static_cast<std::uint8_t>(0x40 + i);
    std::copy(kDefaultSoundField.begin(), kDefaultSoundField.end(), f.begin() + 1795);
    f[1795] = 0x07;  // a 7 m wide room
    putLE32(&f[1815], 3);
    f[1819] = 2;
    return f;
}

TEST(ModeFile, Version1IsReadWithItsFixUps) {
    struct Case {
        std::int32_t pitchInFile, pitchLoaded;
    };
    for (const Case c :
         {Case{9, 0}, Case{-3, -3}, Case{5, 5}, Case{-5, -5}, Case{6, 0}, Case{-6, 0}}) {
        SCOPED_TRACE(c.pitchInFile);
        test::TempFolder dir;
        const Bytes f = version1File(c.pitchInFile);
        test::writeAll(dir / "old.ev36", f);
        ParamStore s;
        freshStore(s);
        ASSERT_TRUE(loadModeFile(s, dir / "old.ev36"));

        EXPECT_EQ(s.params.getInt(w::musicPitch), c.pitchLoaded);
        EXPECT_EQ(s.params.getInt(w::musicAgcEnable), 0);
        EXPECT_EQ(s.params.getRaw(w::musicAgcLevel), floatBits(-12.0f));
        for (int k : {0, 61, 63, 144})
            EXPECT_EQ(s.params.getRaw(k), static_cast<std::uint32_t>(0x100 + k)) << "word " << k;
        EXPECT_EQ(bytesOf(s.registers.snapshot()), slice(f, 616, 1141));
        EXPECT_EQ(bytesOf(s.auxState.snapshot()), slice(f, 1757, 6));
        EXPECT_EQ(bytesOf(s.speakers.snapshot()), slice(f, 1763, 32));
        EXPECT_EQ(bytesOf(s.soundFieldBlock.snapshot()), slice(f, 1795, 20));
        EXPECT_EQ(s.soundField.get().roomWidth, 7);
        EXPECT_EQ(s.musicSource.load(), 3);
        EXPECT_EQ(s.hdmiInput.load(), 2);
    }
}

// Loads `file` into a patterned store and expects a refusal that changes nothing.
FileResult expectRefused(const Bytes& file) {
    test::TempFolder dir;
    test::writeAll(dir / "x.ev36", file);
    ParamStore s;
    freshStore(s);
    fillPattern(s, 9);
    const ModeImage before = captureModeImage(s);
    const SoundFieldGeometry geometry = s.soundField.get();
    const FileResult r = loadModeFile(s, dir / "x.ev36");
    EXPECT_FALSE(r);
    EXPECT_EQ(captureModeImage(s), before);
    EXPECT_EQ(s.soundField.get(), geometry);
    EXPECT_NE(r.error.detail.find("x.ev36"), std::string::npos) << r.error.detail;
    return r;
}

Bytes version2File() {
    ParamStore s;
    freshStore(s);
    fillPattern(s, 1);
    const auto f = encodeModeFile(captureModeImage(s));
    return Bytes(f.begin(), f.end());
}

TEST(ModeFile, OtherVersionsAreRefusedSilently) {
    for (std::uint32_t version : {3u, 0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(version);
        Bytes f = version2File();
        putLE32(f.data(), version);
        const FileResult r = expectRefused(f);
        EXPECT_EQ(r.error.kind, FileErrorKind::UnknownVersion);
        EXPECT_FALSE(r.error.showsBox());
    }
    // An empty file reads as version 0.
    EXPECT_EQ(expectRefused({}).error.kind, FileErrorKind::UnknownVersion);
}

TEST(ModeFile, ShortFilesAreRefusedAndChangeNothing) {
    Bytes v2 = version2File();
    Bytes v1 = version1File(0);
    const std::vector<Bytes> files{
        Bytes(v2.begin(), v2.end() - 1),       // the last byte missing
        Bytes(v2.begin(), v2.begin() + 600),   // cut in the register block
        Bytes(v1.begin(), v1.begin() + 1796),  // a version-1 file of version-2 size
        Bytes{0x02, 0x00, 0x00},               // not even a version
    };
    for (const Bytes& f : files) {
        SCOPED_TRACE(f.size());
        const FileResult r = expectRefused(f);
        EXPECT_EQ(r.error.kind, FileErrorKind::Truncated);
        EXPECT_TRUE(r.error.showsBox());
        EXPECT_NE(r.error.textFor(1).find("x.ev36"), std::string::npos);
        EXPECT_NE(r.error.textFor(0).find("x.ev36"), std::string::npos);
    }
}

TEST(ModeFile, FilesThatCannotBeOpenedGiveTheWarningTexts) {
    test::TempFolder dir;
    ParamStore s;
    freshStore(s);
    const ModeImage before = captureModeImage(s);

    const fs::path missing = dir / "missing.ev36";
    const FileResult load = loadModeFile(s, missing);
    ASSERT_EQ(load.error.kind, FileErrorKind::CannotRead);
    // A load says it could not read, in the window's language.
    EXPECT_EQ(load.error.captionFor(1), "Can't read file");
    EXPECT_EQ(load.error.textFor(1), "Can't read the file:\n" + missing.string() +
                                         "\nProbably it does not exist or may not be read.");
    EXPECT_EQ(load.error.captionFor(0), "无法读取文件");
    EXPECT_EQ(load.error.textFor(0),
              "无法读取文件：\n" + missing.string() + "\n文件可能不存在或没有读取权限。");
    EXPECT_EQ(captureModeImage(s), before);

    const fs::path noFolder = dir / "no such folder" / "a.ev36";
    const FileResult save = saveModeFile(s, noFolder);
    ASSERT_EQ(save.error.kind, FileErrorKind::CannotWrite);
    EXPECT_EQ(save.error.systemError, ENOENT);
    EXPECT_EQ(save.error.captionFor(1), "Can't write to file");
    EXPECT_EQ(save.error.textFor(1), "Errcode=" + std::to_string(ENOENT) +
                                         ",Can't write to file:\n" + noFolder.string() +
                                         "\nProbably it is write protected.");
    EXPECT_EQ(save.error.captionFor(0), "无法写入文件");
    EXPECT_EQ(save.error.textFor(0), "错误码=" + std::to_string(ENOENT) + "，无法写入文件：\n" +
                                         noFolder.string() + "\n文件可能受写保护。");
}

TEST(ModeFile, FailedSavesLeaveTheOldFileAsItWas) {
    test::TempFolder dir;
    const fs::path file = dir / "venue.ev36";
    ParamStore s;
    freshStore(s);
    fillPattern(s, 1);
    ASSERT_TRUE(saveModeFile(s, file));
    const Bytes old = test::readAll(file);
    fillPattern(s, 2);

    FileResult r;
    if (test::FileSizeLimit::kAvailable) {
        {
            test::FileSizeLimit limit(100);  // the disk fills up after 100 bytes
            r = saveModeFile(s, file);
        }
        EXPECT_EQ(r.error.kind, FileErrorKind::CannotWrite);
        EXPECT_EQ(r.error.systemError, EFBIG);
        EXPECT_EQ(test::readAll(file), old);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"venue.ev36"});  // no leftovers
    }

    // A folder where the file should go: refused, the folder untouched.
    const fs::path folder = dir / "folder.ev36";
    fs::create_directory(folder);
    test::writeAll(folder / "inside", Bytes{1, 2, 3});
    r = saveModeFile(s, folder);
    EXPECT_EQ(r.error.kind, FileErrorKind::CannotWrite);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(test::readAll(folder / "inside"), (Bytes{1, 2, 3}));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"folder.ev36", "venue.ev36"}));
}

}  // namespace
}  // namespace v36
