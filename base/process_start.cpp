#include "base/process_start.h"

#include <csignal>

namespace veskor {

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace veskor
