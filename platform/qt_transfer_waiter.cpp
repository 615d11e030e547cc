#include "platform/qt_transfer_waiter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

namespace veskor {

QtTransferWaiter::QtTransferWaiter() {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, &context_, [this] {
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
  if (ms < 0)
    timer_.stop();
  else
    timer_.start(static_cast<int>(std::min<long>(ms, 60'000)));
}

bool QtTransferWaiter::WaitUntil(const std::function<bool()>& done) {
  if (done()) return true;
  if (closing_) return false;
  QEventLoop loop;
  waits_.push_back(Wait{&loop, &done});
  loop.exec();
  waits_.pop_back();
  return done();
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
