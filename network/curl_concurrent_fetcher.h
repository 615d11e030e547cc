#pragma once
// Several GETs in flight at once on libcurl, for the group search's walks run
// side by side. It drives the transfers of a CurlPageFetcher's own multi
// handle: the program keeps one set of kept-alive connections (one limit, one
// connection cache), whichever kind of fetch uses them, and the page
// fetcher's Abort ends the waits of both.

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/concurrent_fetcher.h"
#include "network/curl_page_fetcher.h"

namespace veskor {

class CurlTransfer;

class CurlConcurrentFetcher final : public ConcurrentFetcher {
 public:
  // `pages` must outlive this object. The connection limit is the one its
  // limits set (FetchLimits::maxConnections).
  explicit CurlConcurrentFetcher(CurlPageFetcher& pages);
  // Requests still in flight are dropped with their connections.
  ~CurlConcurrentFetcher() override;
  CurlConcurrentFetcher(const CurlConcurrentFetcher&) = delete;
  CurlConcurrentFetcher& operator=(const CurlConcurrentFetcher&) = delete;

  std::size_t ConnectionLimit() const override;
  RequestId Start(const std::string& url) override;
  void Cancel(RequestId id) noexcept override;
  // Throws FetchError, naming the oldest request still in flight, when the
  // page fetcher's Abort is called during the wait (or the program closes),
  // even if a request ends in the same round: that completion stays queued.
  FetchCompletion WaitForAny() override;

 private:
  struct Request;
  void Release(Request& request) noexcept;
  std::string OldestInFlight() const;

  CurlPageFetcher& pages_;
  RequestId lastId_ = 0;
  std::unordered_map<RequestId, std::unique_ptr<Request>> requests_;
  // Requests that have ended, in the order they ended; returned first come,
  // first served.
  std::deque<RequestId> ended_;
};

}  // namespace veskor
