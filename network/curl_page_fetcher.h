#pragma once
// The program's one page fetcher, on libcurl. Get blocks its caller until the
// page is in; how it waits (a nested Qt event loop in the windows, poll() in
// the command line) is the waiter's business. One fetcher keeps its
// connections alive from page to page and holds no cookie and no cache.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "engine/page_fetcher.h"
#include "network/curl_multi.h"
#include "network/fetch_limits.h"
#include "network/transfer_waiter.h"

namespace veskor {

class CurlPageFetcher final : public PageFetcher {
 public:
  explicit CurlPageFetcher(std::unique_ptr<TransferWaiter> waiter, FetchLimits limits = {});
  ~CurlPageFetcher() override;
  CurlPageFetcher(const CurlPageFetcher&) = delete;
  CurlPageFetcher& operator=(const CurlPageFetcher&) = delete;

  // Gets nest when the waiter runs an event that fetches in turn.
  std::string Get(const std::string& url) override;

  // Makes every Get waiting at this moment throw at once; Gets started later
  // run as usual. May be called wherever the waiter's Wake may be.
  void Abort();

 private:
  // Runs its transfers on this fetcher's connections and handles.
  friend class CurlConcurrentFetcher;

  CURL* TakeHandle();
  void ReturnHandle(CURL* easy);

  FetchLimits limits_;
  const std::string directHosts_;
  std::unique_ptr<TransferWaiter> waiter_;
  // Declared after the waiter: closing connections still reports to it.
  CurlMulti multi_;
  // Easy handles between Gets, so a page costs no new set-up.
  std::vector<CURL*> idle_;
  // Raised by each Abort; a Get compares it with its value at the start.
  std::atomic<unsigned> aborts_{0};
};

}  // namespace veskor
