#pragma once
// Waiting for transfers inside the desktop program: a fetch blocks its caller
// in a nested event loop, so windows, timers and the stop button keep working
// while a page loads. libcurl's sockets are watched with QSocketNotifier and
// its timer is a QTimer. Must live and be used on the application's thread.
//
// A page that arrives within a frame of the window's last events is taken
// without handing control to the window: otherwise a walk at network speed
// would repaint the window for every page, and the repaints would cost far
// more than the pages. The window still gets its events at least once a
// frame, so the stop button answers as promptly as the screen shows it.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

#include <map>
#include <memory>
#include <vector>

#include "network/curl_page_fetcher.h"
#include "network/transfer_waiter.h"

class QEventLoop;
class QSocketNotifier;

namespace veskor {

class QtTransferWaiter final : public TransferWaiter {
 public:
  QtTransferWaiter();
  ~QtTransferWaiter() override;

  void Attach(SocketActions& actions) override { actions_ = &actions; }
  void WatchSocket(int fd, bool read, bool write) override;
  void SetTimer(long ms) override;
  // Returns false when the application quits while waiting.
  bool WaitUntil(const std::function<bool()>& done) override;
  // From the application's thread only (a handler run during a wait).
  void Wake() override { EndFinishedWaits(); }

 private:
  struct Notifiers {
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;
  };
  struct Wait {
    QEventLoop* loop;
    const std::function<bool()>* done;
  };
  QSocketNotifier& NotifierFor(int fd, bool forWriting);
  void EndFinishedWaits();
  // Drives the transfers with poll() alone until `done` holds or `budgetMs`
  // has passed; window events wait meanwhile.
  void WaitWithoutEvents(const std::function<bool()>& done, qint64 budgetMs);

  SocketActions* actions_ = nullptr;
  // Kept once made: libcurl reuses the same few descriptors page after page.
  std::map<int, Notifiers> notifiers_;
  QTimer timer_;
  // When libcurl wants its timer, for the waits that bypass the event loop.
  std::optional<std::chrono::steady_clock::time_point> timerDue_;
  // Since the window last had its events handled by a wait of ours.
  QElapsedTimer sinceEvents_;
  // The waits in progress, innermost last.
  std::vector<Wait> waits_;
  bool closing_ = false;
  QObject context_;
};

// The fetcher of the desktop program; needs a QCoreApplication.
std::unique_ptr<CurlPageFetcher> MakeQtPageFetcher(FetchLimits limits = {});

}  // namespace veskor
