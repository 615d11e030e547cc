#pragma once
// A full disk that works for root too: while the object lives, no file of
// this process can grow beyond `bytes` (writes past it fail with EFBIG
// instead of killing the process with SIGXFSZ).

#include <sys/resource.h>

#include <csignal>
#include <cstddef>

namespace veskor::testing {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::size_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Ok() const { return ok_; }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
  bool ok_ = false;
};

}  // namespace veskor::testing
