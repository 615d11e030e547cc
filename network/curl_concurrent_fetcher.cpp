#include "network/curl_concurrent_fetcher.h"

#include <algorithm>
#include <utility>

#include "network/curl_transfer.h"
#include "network/fetch_failure.h"

namespace veskor {

struct CurlConcurrentFetcher::Request {
  explicit Request(std::string address) : url(std::move(address)) {}
  // CurlTransfer keeps a reference to the address: it lives here, beside it.
  const std::string url;
  std::optional<CurlTransfer> transfer;  // none for an address refused at once
};

CurlConcurrentFetcher::CurlConcurrentFetcher(CurlPageFetcher& pages) : pages_(pages) {}

CurlConcurrentFetcher::~CurlConcurrentFetcher() {
  for (auto& [id, request] : requests_) Release(*request);
}

std::size_t CurlConcurrentFetcher::ConnectionLimit() const {
  return static_cast<std::size_t>(std::max(1, pages_.limits_.maxConnections));
}

RequestId CurlConcurrentFetcher::Start(const std::string& url) {
  const RequestId id = ++lastId_;
  auto request = std::make_unique<Request>(url);
  Request& r = *request;
  requests_.emplace(id, std::move(request));
  if (!IsFetchableAddress(url)) {
    // Reported from the caller's next wait, in its turn, like any failure.
    ended_.push_back(id);
    return id;
  }
  CURL* easy = nullptr;
  try {
    easy = pages_.TakeHandle();
  } catch (...) {
    requests_.erase(id);
    throw;
  }
  r.transfer.emplace(easy, r.url, pages_.limits_, pages_.directHosts_);
  pages_.multi_.Add(easy, [this, id, &r](CURL*, CURLcode result) {
    r.transfer->End(result);
    ended_.push_back(id);
  });
  return id;
}

void CurlConcurrentFetcher::Release(Request& request) noexcept {
  if (!request.transfer) return;
  CURL* easy = request.transfer->Easy();
  if (!request.transfer->Ended()) pages_.multi_.Remove(easy);
  request.transfer.reset();
  pages_.ReturnHandle(easy);
}

void CurlConcurrentFetcher::Cancel(RequestId id) noexcept {
  const auto found = requests_.find(id);
  if (found == requests_.end()) return;
  Release(*found->second);
  requests_.erase(found);
  ended_.erase(std::remove(ended_.begin(), ended_.end(), id), ended_.end());
}

std::string CurlConcurrentFetcher::OldestInFlight() const {
  const Request* oldest = nullptr;
  RequestId oldestId = 0;
  for (const auto& [id, request] : requests_) {
    const bool inFlight = request->transfer && !request->transfer->Ended();
    if (!inFlight || (oldest && id > oldestId)) continue;
    oldest = request.get();
    oldestId = id;
  }
  return oldest ? oldest->url : std::string();
}

FetchCompletion CurlConcurrentFetcher::WaitForAny() {
  const unsigned abortsAtStart = pages_.aborts_.load();
  const auto aborted = [&] { return pages_.aborts_.load() != abortsAtStart; };
  const bool waited = pages_.waiter_->WaitUntil([&] { return !ended_.empty() || aborted(); });
  if (!waited || aborted()) {
    // The whole wait was given up, even when a request ended in the same
    // round of events: what has ended stays queued for the caller to take
    // or cancel. The message names the oldest request still in flight, as
    // the page fetcher's would.
    throw FetchFailure(OldestInFlight(), waited ? AbandonedReason() : ClosingReason());
  }
  const RequestId id = ended_.front();
  ended_.pop_front();
  const auto found = requests_.find(id);
  std::unique_ptr<Request> request = std::move(found->second);
  requests_.erase(found);

  FetchCompletion completion;
  completion.id = id;
  if (!request->transfer) {
    completion.error = FetchFailure(request->url, InvalidAddressReason());
    return completion;
  }
  try {
    completion.body = request->transfer->TakeBody();
  } catch (const FetchError& error) {
    completion.error = error;
  }
  Release(*request);
  return completion;
}

}  // namespace veskor
