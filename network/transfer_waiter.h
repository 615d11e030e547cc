#pragma once
// How a blocking fetch waits. libcurl's multi interface tells us which sockets
// to watch and when to call it back; a waiter watches them with whatever event
// loop its program runs (Qt's in the windows, poll() in the command line) and
// hands every event back to the transfers.

#include <functional>

namespace veskor {

// The side of the transfers that a waiter drives.
class SocketActions {
 public:
  virtual ~SocketActions() = default;
  // `readable`/`writable`/`failed`: what the loop saw on the socket.
  virtual void OnSocketReady(int fd, bool readable, bool writable, bool failed) = 0;
  virtual void OnTimeout() = 0;
};

class TransferWaiter {
 public:
  virtual ~TransferWaiter() = default;

  // Called once, before any of the others, with the transfers to drive.
  virtual void Attach(SocketActions& actions) = 0;

  // Watch `fd` for reading and/or writing; both false: stop watching it.
  virtual void WatchSocket(int fd, bool read, bool write) = 0;
  // Call OnTimeout once, `ms` milliseconds from now (0: as soon as the
  // current event is handled); a negative value cancels the timer.
  virtual void SetTimer(long ms) = 0;

  // Blocks, handing events to the transfers, until `done` holds. Returns false
  // when the wait was given up because the program is closing. Waits nest:
  // an event handled inside one may start another.
  virtual bool WaitUntil(const std::function<bool()>& done) = 0;

  // Makes every wait look at its condition again. Each waiter says from where
  // it may be called.
  virtual void Wake() = 0;
};

}  // namespace veskor
