#include "shell/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <utility>

namespace veskor {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// A handler may do next to nothing: it writes one byte into this pipe, which
// the event loop watches. The pipe is the process's, as the signals are.
int gPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signalNumber) {
  const int saved = errno;
  // The default action from now on: a second signal ends a program that
  // hangs in its ending.
  std::signal(signalNumber, SIG_DFL);
  const char byte = static_cast<char>(signalNumber);
  [[maybe_unused]] const ssize_t written = write(gPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

void CatchTerminationSignals() {
  if (pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the default actions stay
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signalNumber : kSignals) sigaction(signalNumber, &action, nullptr);
}

void EndOnTerminationSignal(QObject* context, std::function<void()> end) {
  if (gPipe[0] < 0) return;
  auto* notifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context,
                   [notifier, end = std::move(end)] {
                     char bytes[16];
                     while (read(gPipe[0], bytes, sizeof bytes) > 0) {
                     }
                     notifier->setEnabled(false);
                     end();
                   });
}

}  // namespace veskor
