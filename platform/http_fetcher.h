#pragma once
// The HTTP fetch over Qt Network. Get blocks its caller in a nested event loop,
// so the application's windows and timers keep running while a page loads; that
// is how the stop button reaches a search that waits for the network.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <QNetworkAccessManager>
#include <QNetworkRequest>

#include "engine/page_fetcher.h"

namespace veskor {

struct FetchLimits {
  // A transfer that makes no progress for this long fails.
  std::chrono::milliseconds stallTimeout{30'000};
  // A body larger than this fails as soon as the excess arrives.
  std::int64_t maxBodyBytes = std::int64_t{64} << 20;
  int maxRedirects = 5;
};

// Needs a QCoreApplication, and must be used on its thread; it must outlive
// every Get in progress.
class QtPageFetcher final : public PageFetcher {
 public:
  explicit QtPageFetcher(FetchLimits limits = {});
  ~QtPageFetcher() override;
  QtPageFetcher(const QtPageFetcher&) = delete;
  QtPageFetcher& operator=(const QtPageFetcher&) = delete;

  std::string Get(const std::string& url) override;

  // Makes every Get still waiting throw at once; for a window that closes in
  // the middle of a search.
  void Abort();

 private:
  // Why a transfer ended early on our own initiative.
  enum class StopReason { None, TooLarge, Abandoned, Closing };
  struct Transfer;
  void StopPending(StopReason reason);

  FetchLimits limits_;
  // Kept for the fetcher's lifetime so that a kept-alive connection serves
  // the next page; it holds no cookie and no cache.
  QNetworkAccessManager manager_;
  QNetworkRequest prototype_;
  // Gets nest when a dispatched event starts another fetch; innermost last.
  std::vector<Transfer*> pending_;
};

}  // namespace veskor
