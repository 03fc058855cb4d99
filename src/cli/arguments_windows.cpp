// The arguments from the wide command line, as UTF-8.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "cli/command_line.h"
#include "link/win_text.h"

namespace v36::cli {

Utf8CommandLine::Utf8CommandLine(int argc, char** argv) {
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            args_.push_back(utf8FromWide(wide[i]));
        LocalFree(wide);
    } else {
        for (int i = 0; i < argc; ++i)
            args_.emplace_back(argv[i]);
    }
    index();
    // Messages carry UTF-8 file names; a console shows them as such.
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace v36::cli
