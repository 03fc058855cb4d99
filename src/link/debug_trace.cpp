#include "link/debug_trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace v36 {

DebugTrace::DebugTrace() : enabled_(enabledByEnvironment()) {}

bool DebugTrace::enabledByEnvironment() {
    const char* value = std::getenv("V36_DEBUG_TRACE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

bool DebugTrace::enabled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return enabled_;
}

void DebugTrace::setEnabled(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    enabled_ = on;
}

void DebugTrace::setSink(Sink sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = std::move(sink);
}

void DebugTrace::write(std::string_view text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!enabled_) return;
    if (sink_) {
        sink_(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace v36
