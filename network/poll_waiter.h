#pragma once
// Waiting for transfers with poll(), for programs without an event loop of
// their own (the command line). A signal that interrupts the wait only makes
// it look again: the handler has done its work by then (a first Ctrl-C raises
// the stop flag, a second one ends the program from inside the handler).

#include <chrono>
#include <optional>
#include <vector>

#include <poll.h>

#include "network/transfer_waiter.h"

namespace veskor {

class PollWaiter final : public TransferWaiter {
 public:
  PollWaiter();
  ~PollWaiter() override;
  PollWaiter(const PollWaiter&) = delete;
  PollWaiter& operator=(const PollWaiter&) = delete;

  void Attach(SocketActions& actions) override { actions_ = &actions; }
  void WatchSocket(int fd, bool read, bool write) override;
  void SetTimer(long ms) override;
  bool WaitUntil(const std::function<bool()>& done) override;
  // Safe from any thread and from a signal handler: it only writes a byte.
  void Wake() override;

 private:
  void HandleReady(const std::vector<pollfd>& polled);

  SocketActions* actions_ = nullptr;
  // The sockets libcurl asked for; the wake pipe is added on each poll.
  std::vector<pollfd> watched_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
};

}  // namespace veskor
