// Files named in any script: a name given as UTF-8 (a command line, a text
// field) is the file's name on every system, Windows included, where a
// plain string would go through the ANSI code page.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "protocol/mode_file.h"
#include "remote/remote_file.h"
#include "remote/temp_folder.h"

namespace v36 {
namespace {

namespace fs = std::filesystem;

// The names in the folder as UTF-8.
std::vector<std::string> names(const test::TempFolder& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir.path()))
        out.push_back(pathText(e.path().filename()));
    std::sort(out.begin(), out.end());
    return out;
}

TEST(FileNames, Utf8NamesAreTheFilesNames) {
    const char* const kNames[] = {"模式 ü.ev36", "Ñandú – sala 2.ev36", "😀.ev36", "plain.ev36"};
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        test::TempFolder dir;
        const fs::path file = dir.path() / pathFromText(name);
        EXPECT_EQ(pathText(file.filename()), name);

        ParamStore s;
        s.resetToDefaults();
        s.params.setInt(0, 33);
        ASSERT_TRUE(saveModeFile(s, file)) << saveModeFile(s, file).error.detail;
        EXPECT_EQ(names(dir), std::vector<std::string>{name});

        // Saved again over itself: replaced in place, nothing left beside it.
        s.params.setInt(0, 34);
        ASSERT_TRUE(saveModeFile(s, file));
        EXPECT_EQ(names(dir), std::vector<std::string>{name});

        ParamStore loaded;
        loaded.resetToDefaults();
        ASSERT_TRUE(loadModeFile(loaded, file));
        EXPECT_EQ(loaded.params.getInt(0), 34);
        EXPECT_EQ(test::readAll(file).size(), kModeFileSizeV2);
    }
}

TEST(FileNames, RemoteFilesTakeTheirExtensionWithoutLosingTheName) {
    test::TempFolder dir;
    const fs::path chosen = dir.path() / pathFromText("遥控 é");
    const fs::path file = withRemoteExtension(chosen);
    EXPECT_EQ(pathText(file.filename()), "遥控 é.remo");
    ParamStore s;
    s.resetToDefaults();
    ASSERT_TRUE(saveRemoteFile(s, file));
    EXPECT_EQ(names(dir), std::vector<std::string>{"遥控 é.remo"});
    EXPECT_EQ(test::readAll(file).size(), kRemoteFileSize);
}

}  // namespace
}  // namespace v36
