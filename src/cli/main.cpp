#include "cli/cli.h"

int main(int argc, char** argv) {
    return v36::cli::run(argc, argv);
}
