#include "cli/cli.h"
#include "cli/command_line.h"

int main(int argc, char** argv) {
    v36::cli::Utf8CommandLine args(argc, argv);
    return v36::cli::run(args.argc(), args.argv());
}
