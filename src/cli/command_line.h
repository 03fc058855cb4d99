#pragma once

#include <string>
#include <vector>

namespace v36::cli {

// The program's arguments as UTF-8, whatever the system's code page: on
// Windows they come from the wide command line (the narrow argv there is in
// the ANSI code page, which cannot hold every file name), elsewhere they are
// argv as given. On Windows the console is also set to print UTF-8.
class Utf8CommandLine {
  public:
    Utf8CommandLine(int argc, char** argv);
    Utf8CommandLine(const Utf8CommandLine&) = delete;
    Utf8CommandLine& operator=(const Utf8CommandLine&) = delete;

    int argc() const { return static_cast<int>(args_.size()); }
    char** argv() { return pointers_.data(); }

  private:
    // Points argv() at the collected arguments.
    void index() {
        for (std::string& arg : args_)
            pointers_.push_back(arg.data());
        pointers_.push_back(nullptr);
    }

    std::vector<std::string> args_;
    std::vector<char*> pointers_;  // into args_, ending with a null pointer
};

}  // namespace v36::cli
