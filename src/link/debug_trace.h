#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace v36 {

// The application's debug output: off by default, switched on by the
// environment variable V36_DEBUG_TRACE (any value but "0") or by a program
// option. Lines are UTF-8 and go to standard error unless a sink is set.
class DebugTrace {
  public:
    using Sink = std::function<void(std::string_view)>;

    DebugTrace();

    bool enabled() const;
    void setEnabled(bool on);
    // Replaces the destination (tests capture lines this way); an empty sink
    // restores standard error.
    void setSink(Sink sink);

    // Writes one trace text as given; the texts carry their own line ends.
    void write(std::string_view text) const;

    // Reads V36_DEBUG_TRACE.
    static bool enabledByEnvironment();

  private:
    mutable std::mutex mutex_;
    bool enabled_;
    Sink sink_;
};

}  // namespace v36
