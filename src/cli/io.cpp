#include "cli/io.h"

#include <ostream>

#include "cli/cli.h"

namespace v36::cli {

void Io::note(std::string_view message) {
    std::lock_guard<std::mutex> lock(mutex_);
    err_ << "v36ctl: " << message << "\n";
    err_.flush();
}

int Io::failed(std::string_view message, int code) {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::string(message);
    if (!keepFailures_) {
        err_ << "v36ctl: " << message << "\n";
        err_.flush();
    }
    return code;
}

int Io::fail(std::string_view message) {
    return failed(message, kExitFailure);
}

int Io::usage(std::string_view message) {
    return failed(message, kExitUsage);
}

std::string Io::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

}  // namespace v36::cli
