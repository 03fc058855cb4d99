#pragma once

// Runs the built v36ctl in a shell, in a folder of the test's own.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/mode_file.h"

namespace v36::test {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs v36ctl with `args` (each quoted for the shell).
class Cli : public ::testing::Test {
  protected:
    Cli() {
        dir_ = fs::temp_directory_path() /
               ("v36ctl-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    ~Cli() override { fs::remove_all(dir_); }

    fs::path file(const std::string& name) const { return dir_ / name; }

    // A text file, or a mode file of the store's defaults.
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name), std::ios::binary) << text;
        return file(name).string();
    }
    std::string defaultModeFile(const std::string& name) const {
        ParamStore store;
        store.resetToDefaults();
        EXPECT_TRUE(saveModeFile(store, file(name)).ok());
        return file(name).string();
    }

    // `prefix` runs before the tool in the same shell (limits, traps).
    Outcome run(const std::vector<std::string>& args, const std::string& prefix = {}) {
        std::string cmd = prefix + V36CTL_PATH;
        for (const auto& a : args)
            cmd += " '" + a + "'";
        const fs::path out = file("stdout.txt");
        const fs::path err = file("stderr.txt");
        cmd += " >'" + out.string() + "' 2>'" + err.string() + "' </dev/null";
        const int status = std::system(cmd.c_str());
        Outcome r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    fs::path dir_;
};

}  // namespace v36::test
