#include "tools/search_cli/interrupt.h"

#include <csignal>
#include <unistd.h>

#include "engine/page_walker.h"

namespace veskor::search_cli {
namespace {

// The stop flag doubles as the count of presses: only the search lowers it,
// once at its start, so a raised flag means Ctrl-C was already pressed.
// Everything here is async-signal-safe: a lock-free atomic, write and _exit.
void StopQuietly(int) {
  if (StopFlag.exchange(1) != 0) _exit(130);
}

void StopWithNotice(int) {
  if (StopFlag.exchange(1) != 0) _exit(130);
  static constexpr char kNotice[] =
      "\nArr\xC3\xAAt demand\xC3\xA9 : la page en cours se termine (Ctrl-C encore pour "
      "interrompre tout de suite)\n";
  const ssize_t ignored = write(STDERR_FILENO, kNotice, sizeof kNotice - 1);
  (void)ignored;
}

}  // namespace

void InstallInterruptHandler(bool quiet) {
  static_assert(std::atomic<int>::is_always_lock_free);
  struct sigaction action {};
  action.sa_handler = quiet ? StopQuietly : StopWithNotice;
  sigemptyset(&action.sa_mask);
  // Restarted calls keep a press from turning into a failed read or write.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

void IgnoreClosedPipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace veskor::search_cli
