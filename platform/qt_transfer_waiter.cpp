#include "platform/qt_transfer_waiter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <algorithm>
#include <vector>

#include <poll.h>

namespace veskor {
namespace {

// About one frame of a 60 Hz screen.
constexpr qint64 kFrameMs = 16;

}  // namespace

QtTransferWaiter::QtTransferWaiter() {
  timer_.setSingleShot(true);
  // A coarse timer may fire 5 % late: 1.5 s past a 30 s stall limit.
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &context_, [this] {
    timerDue_.reset();
    actions_->OnTimeout();
    EndFinishedWaits();
  });
  // QCoreApplication::quit also makes every nested loop return, which
  // WaitUntil notices by itself; this covers a quit decided outside them.
  if (auto* app = QCoreApplication::instance()) {
    QObject::connect(app, &QCoreApplication::aboutToQuit, &context_, [this] {
      closing_ = true;
      for (const Wait& w : waits_) w.loop->quit();
    });
  }
}

QtTransferWaiter::~QtTransferWaiter() = default;

QSocketNotifier& QtTransferWaiter::NotifierFor(int fd, bool forWriting) {
  Notifiers& pair = notifiers_[fd];
  std::unique_ptr<QSocketNotifier>& slot = forWriting ? pair.write : pair.read;
  if (!slot) {
    const auto type = forWriting ? QSocketNotifier::Write : QSocketNotifier::Read;
    slot = std::make_unique<QSocketNotifier>(fd, type);
    slot->setEnabled(false);
    QObject::connect(slot.get(), &QSocketNotifier::activated, &context_,
                     [this, fd, forWriting] {
                       actions_->OnSocketReady(fd, !forWriting, forWriting, false);
                       EndFinishedWaits();
                     });
  }
  return *slot;
}

void QtTransferWaiter::WatchSocket(int fd, bool read, bool write) {
  if (read || notifiers_.count(fd)) NotifierFor(fd, false).setEnabled(read);
  if (write || notifiers_.count(fd)) NotifierFor(fd, true).setEnabled(write);
}

void QtTransferWaiter::SetTimer(long ms) {
  if (ms < 0) {
    timer_.stop();
    timerDue_.reset();
    return;
  }
  const long capped = std::min<long>(ms, 60'000);
  timer_.start(static_cast<int>(capped));
  timerDue_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(capped);
}

bool QtTransferWaiter::WaitUntil(const std::function<bool()>& done) {
  if (done()) return true;
  if (closing_) return false;
  if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kFrameMs) {
    WaitWithoutEvents(done, kFrameMs - sinceEvents_.elapsed());
    if (done()) return true;
  }
  QEventLoop loop;
  waits_.push_back(Wait{&loop, &done});
  loop.exec();
  waits_.pop_back();
  sinceEvents_.start();
  return done();
}

void QtTransferWaiter::WaitWithoutEvents(const std::function<bool()>& done, qint64 budgetMs) {
  using namespace std::chrono;
  const auto end = steady_clock::now() + milliseconds(budgetMs);
  std::vector<pollfd> polled;
  while (!done()) {
    const auto now = steady_clock::now();
    if (now >= end) return;
    auto until = end;
    if (timerDue_) until = std::min(until, *timerDue_);
    polled.clear();
    for (const auto& [fd, pair] : notifiers_) {
      const short events = static_cast<short>((pair.read && pair.read->isEnabled() ? POLLIN : 0) |
                                              (pair.write && pair.write->isEnabled() ? POLLOUT : 0));
      if (events) polled.push_back(pollfd{fd, events, 0});
    }
    const int ready = poll(polled.data(), polled.size(),
                           static_cast<int>(ceil<milliseconds>(std::max(until - now, nanoseconds(0))).count()));
    if (ready < 0) return;  // EINTR and the like: the event loop takes over
    for (const pollfd& p : polled) {
      if (p.revents == 0) continue;
      // An earlier action of this round may have closed the socket.
      const auto it = notifiers_.find(p.fd);
      if (it == notifiers_.end()) continue;
      const bool stillRead = it->second.read && it->second.read->isEnabled();
      const bool stillWrite = it->second.write && it->second.write->isEnabled();
      if (!stillRead && !stillWrite) continue;
      actions_->OnSocketReady(p.fd, (p.revents & (POLLIN | POLLHUP)) != 0, (p.revents & POLLOUT) != 0,
                              (p.revents & (POLLERR | POLLNVAL)) != 0);
    }
    if (timerDue_ && steady_clock::now() >= *timerDue_) {
      timer_.stop();
      timerDue_.reset();
      actions_->OnTimeout();
    }
    // A wait further out may have been waiting for what just came in.
    EndFinishedWaits();
  }
}

void QtTransferWaiter::EndFinishedWaits() {
  // An outer loop told to quit returns as soon as the inner ones have.
  for (const Wait& w : waits_)
    if ((*w.done)()) w.loop->quit();
}

std::unique_ptr<CurlPageFetcher> MakeQtPageFetcher(FetchLimits limits) {
  return std::make_unique<CurlPageFetcher>(std::make_unique<QtTransferWaiter>(), limits);
}

}  // namespace veskor
