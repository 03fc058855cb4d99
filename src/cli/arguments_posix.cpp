// The arguments as given: file names on POSIX systems are bytes, and UTF-8
// ones reach the program unchanged.
#include "cli/command_line.h"

namespace v36::cli {

Utf8CommandLine::Utf8CommandLine(int argc, char** argv) {
    for (int i = 0; i < argc; ++i)
        args_.emplace_back(argv[i]);
    index();
}

}  // namespace v36::cli
