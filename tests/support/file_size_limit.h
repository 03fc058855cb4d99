#pragma once

// Limits the size of the files this process may write (even as root), for
// the duration of a scope: a write past the limit fails with EFBIG, as on a
// full disk. Only POSIX systems have such a limit; elsewhere kAvailable is
// false and the object does nothing.
#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>

#include <csignal>
#endif

#include <cstddef>

namespace v36::test {

#if defined(__unix__) || defined(__APPLE__)

class FileSizeLimit {
  public:
    static constexpr bool kAvailable = true;

    explicit FileSizeLimit(std::size_t bytes) {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

#else

class FileSizeLimit {
  public:
    static constexpr bool kAvailable = false;
    explicit FileSizeLimit(std::size_t) {}
};

#endif

}  // namespace v36::test
