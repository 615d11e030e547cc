#include "network/poll_waiter.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace veskor {

PollWaiter::PollWaiter() {
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe2");
  wakeRead_ = fds[0];
  wakeWrite_ = fds[1];
}

PollWaiter::~PollWaiter() {
  close(wakeRead_);
  close(wakeWrite_);
}

void PollWaiter::WatchSocket(int fd, bool read, bool write) {
  const auto it = std::find_if(watched_.begin(), watched_.end(),
                               [fd](const pollfd& p) { return p.fd == fd; });
  if (!read && !write) {
    if (it != watched_.end()) watched_.erase(it);
    return;
  }
  const short events = static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0));
  if (it != watched_.end())
    it->events = events;
  else
    watched_.push_back(pollfd{fd, events, 0});
}

void PollWaiter::SetTimer(long ms) {
  if (ms < 0)
    deadline_.reset();
  else
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

void PollWaiter::Wake() {
  const char byte = 1;
  // A full pipe already holds a wake-up: nothing is lost when this fails.
  const ssize_t ignored = write(wakeWrite_, &byte, 1);
  (void)ignored;
}

bool PollWaiter::WaitUntil(const std::function<bool()>& done) {
  using namespace std::chrono;
  std::vector<pollfd> polled;
  while (!done()) {
    int timeoutMs = -1;
    if (deadline_) {
      const auto left = ceil<milliseconds>(*deadline_ - steady_clock::now()).count();
      // A timer already due runs at once: libcurl asks for one after every
      // new transfer, and a poll() for it would only cost a system call.
      if (left <= 0) {
        deadline_.reset();
        actions_->OnTimeout();
        continue;
      }
      timeoutMs = static_cast<int>(std::min<long long>(left, 60'000));
    }
    polled = watched_;
    polled.push_back(pollfd{wakeRead_, POLLIN, 0});
    const int ready = poll(polled.data(), polled.size(), timeoutMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "poll");
    }
    if (polled.back().revents != 0) {
      char drain[64];
      while (read(wakeRead_, drain, sizeof drain) > 0) {
      }
    }
    polled.pop_back();
    if (ready > 0) HandleReady(polled);
    if (deadline_ && steady_clock::now() >= *deadline_) {
      deadline_.reset();
      actions_->OnTimeout();
    }
  }
  return true;
}

void PollWaiter::HandleReady(const std::vector<pollfd>& polled) {
  for (const pollfd& p : polled) {
    if (p.revents == 0) continue;
    // A socket that an earlier action in this round closed is no longer ours.
    const bool stillWatched = std::any_of(watched_.begin(), watched_.end(),
                                          [&p](const pollfd& w) { return w.fd == p.fd; });
    if (!stillWatched) continue;
    actions_->OnSocketReady(p.fd, (p.revents & (POLLIN | POLLHUP)) != 0, (p.revents & POLLOUT) != 0,
                            (p.revents & (POLLERR | POLLNVAL)) != 0);
  }
}

}  // namespace veskor
