#pragma once
// A full disk that works for root too: while the object lives, no file of
// this process can grow beyond `bytes`. The process first does what every
// program of ours does as it starts, so that writes past the limit fail with
// EFBIG as they do in the programs, instead of killing the test.

#include <sys/resource.h>

#include <cstddef>

#include "base/process_start.h"

namespace veskor::testing {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::size_t bytes) {
    IgnoreFileSizeSignal();
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous_); }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Ok() const { return ok_; }

 private:
  rlimit previous_{};
  bool ok_ = false;
};

}  // namespace veskor::testing
