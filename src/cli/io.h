#pragma once

#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>

namespace v36::cli {

// Where a run writes: results on `out`, messages on the error stream, each
// a line "v36ctl: ...". Messages may also come from a unit's read thread:
// each is written whole, one at a time. A run on several units gives each
// unit an Io of its own.
class Io {
  public:
    Io(std::ostream& results, std::ostream& messages) : out(results), err_(messages) {}
    Io(const Io&) = delete;
    Io& operator=(const Io&) = delete;

    std::ostream& out;

    // A message that is not a failure.
    void note(std::string_view message);
    // A failure: the exit code of a device or file error (1) or of a wrong
    // command line (2). The last one is kept for the caller.
    int fail(std::string_view message);
    int usage(std::string_view message);
    // With keep, failures are only kept: the caller shows them (one line per
    // unit of --all).
    void keepFailures(bool keep) { keepFailures_ = keep; }
    std::string failure() const;

  private:
    int failed(std::string_view message, int code);

    std::ostream& err_;
    mutable std::mutex mutex_;
    std::string failure_;
    bool keepFailures_ = false;
};

}  // namespace v36::cli
