#pragma once
// A full disk for tests: a lowered file-size limit (RLIMIT_FSIZE) fails writes past it
// with EFBIG, as a full file system fails them with ENOSPC.
#include <sys/resource.h>

#include <csignal>

namespace velta::test {

// Lowers the file-size limit for its lifetime; writes past it fail instead of raising
// SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = saved_;
    lower.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

}  // namespace velta::test
