#include "remote/remote_file.h"

#include <gtest/gtest.h>

#include "protocol/sender_fixture.h"
#include "remote/temp_folder.h"

namespace v36 {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Table bytes 0x80..0x91.
void fillTable(ParamStore& s) {
    for (std::size_t i = 0; i < 18; ++i)
        s.remoteKeyTable.set(i, static_cast<std::uint8_t>(0x80 + i));
}

TEST(RemoteFile, SaveWritesTheEighteenTableBytes) {
    test::TempFolder dir;
    ParamStore s;
    s.resetToDefaults();
    fillTable(s);
    s.remoteKeyTable.set(3, 0x5A);
    const fs::path file = dir / u8"遥控 1.remo";
    ASSERT_TRUE(saveRemoteFile(s, file));
    // Saving again replaces the file.
    ASSERT_TRUE(saveRemoteFile(s, file));

    const Bytes f = test::readAll(file);
    ASSERT_EQ(f.size(), 18u);
    EXPECT_EQ(f[3], 0x5A);
    const auto table = s.remoteKeyTable.snapshot();
    EXPECT_EQ(f, Bytes(table.begin(), table.end()));
    EXPECT_EQ(dir.entries().size(), 1u);
}

TEST(RemoteFile, LoadTakesExactlyTheEighteenByteTableAndSendsIt) {
    test::TempFolder dir;
    Bytes f(18);
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<std::uint8_t>(i + 1);
    test::writeAll(dir / "keys.remo", f);

    test::SenderFixture fx;
    fillTable(fx.ctx.store);
    ASSERT_TRUE(loadRemoteFile(fx.ctx.senders, dir / "keys.remo"));
    const auto table = fx.ctx.store.remoteKeyTable.snapshot();
    EXPECT_EQ(Bytes(table.begin(), table.end()), f);
    Report command = test::reportOf({0x02, 0x63});
    std::copy(f.begin(), f.end(), command.begin() + 2);
    EXPECT_EQ(fx.sent(), std::vector<Report>{command});
}

TEST(RemoteFile, AFileOfAnyOtherSizeIsRefusedAndChangesAndSendsNothing) {
    // An empty file, a cut one, one byte too many, and a file of another
    // kind altogether.
    for (std::size_t size :
         {std::size_t{0}, std::size_t{10}, std::size_t{17}, std::size_t{19}, std::size_t{1800}}) {
        SCOPED_TRACE(size);
        test::TempFolder dir;
        Bytes f(size);
        for (std::size_t i = 0; i < size; ++i)
            f[i] = static_cast<std::uint8_t>(i * 7 + 1);
        const fs::path file = dir / "keys.remo";
        test::writeAll(file, f);

        test::SenderFixture fx;
        fillTable(fx.ctx.store);
        const auto before = fx.ctx.store.remoteKeyTable.snapshot();
        const FileResult r = loadRemoteFile(fx.ctx.senders, file);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error.kind, FileErrorKind::WrongSize);
        EXPECT_EQ(fx.ctx.store.remoteKeyTable.snapshot(), before);
        EXPECT_TRUE(fx.sent().empty());
        // The box names the size in both languages; the line does too.
        EXPECT_EQ(r.error.textFor(1),
                  "This is not a remote data file: a remote data file is exactly 18 bytes, this "
                  "one has " +
                      std::to_string(size) + ". Nothing was loaded:\n" + file.string());
        EXPECT_NE(r.error.textFor(0).find("此文件有 " + std::to_string(size) + " 字节"),
                  std::string::npos);
        EXPECT_EQ(r.error.detail, "not a remote data file (" + std::to_string(size) +
                                      " bytes, a remote data file has exactly 18), nothing "
                                      "loaded: " +
                                      file.string());
        EXPECT_TRUE(r.error.showsBox());
    }
}

TEST(RemoteFile, UnreadableFileChangesAndSendsNothing) {
    test::TempFolder dir;
    test::SenderFixture fx;
    fillTable(fx.ctx.store);
    const auto before = fx.ctx.store.remoteKeyTable.snapshot();
    const fs::path missing = dir / "gone.remo";
    const FileResult r = loadRemoteFile(fx.ctx.senders, missing);
    EXPECT_EQ(r.error.kind, FileErrorKind::CannotRead);
    EXPECT_EQ(r.error.captionFor(1), "Can't read file");
    EXPECT_EQ(r.error.textFor(1), "Can't read the file:\n" + missing.string() +
                                      "\nProbably it does not exist or may not be read.");
    EXPECT_EQ(fx.ctx.store.remoteKeyTable.snapshot(), before);
    EXPECT_TRUE(fx.sent().empty());

    const FileResult save = saveRemoteFile(fx.ctx.store, dir / "no folder" / "x.remo");
    EXPECT_EQ(save.error.kind, FileErrorKind::CannotWrite);
    EXPECT_EQ(save.error.textFor(1).rfind("Errcode=" + std::to_string(ENOENT) + ",", 0), 0u);
}

TEST(RemoteFile, ChosenNamesGetTheRemoExtension) {
    struct Case {
        const char* chosen;
        const char* saved;
    };
    const Case cases[] = {
        {"keys.txt", "keys.remo"},
        {"keys", "keys.remo"},
        {"keys.remo", "keys.remo"},
        {"keys.REMO", "keys.remo"},
        {"a.b.txt", "a.b.remo"},
        {"dir.d/keys", "dir.d/keys.remo"},
        {"/tmp/x/keys.", "/tmp/x/keys.remo"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(withRemoteExtension(c.chosen), fs::path(c.saved)) << c.chosen;
    EXPECT_EQ(withRemoteExtension(fs::path(u8"遥控.dat")), fs::path(u8"遥控.remo"));
}

}  // namespace
}  // namespace v36
