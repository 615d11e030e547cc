#include "platform/curl_page_fetcher.h"

#include <new>

#include "platform/curl_transfer.h"
#include "platform/fetch_failure.h"

namespace veskor {

CurlPageFetcher::CurlPageFetcher(std::unique_ptr<TransferWaiter> waiter, FetchLimits limits)
    : limits_(limits),
      directHosts_(DirectHosts()),
      waiter_(std::move(waiter)),
      multi_(*waiter_, limits.maxConnections) {}

CurlPageFetcher::~CurlPageFetcher() {
  for (CURL* easy : idle_) curl_easy_cleanup(easy);
}

void CurlPageFetcher::Abort() {
  aborts_.fetch_add(1);
  waiter_->Wake();
}

CURL* CurlPageFetcher::TakeHandle() {
  if (idle_.empty()) {
    CURL* easy = curl_easy_init();
    if (!easy) throw std::bad_alloc();
    return easy;
  }
  CURL* easy = idle_.back();
  idle_.pop_back();
  return easy;
}

void CurlPageFetcher::ReturnHandle(CURL* easy) { idle_.push_back(easy); }

std::string CurlPageFetcher::Get(const std::string& url) {
  if (!IsFetchableAddress(url)) throw FetchFailure(url, InvalidAddressReason());

  const unsigned abortsAtStart = aborts_.load();
  const auto aborted = [this, abortsAtStart] { return aborts_.load() != abortsAtStart; };
  CURL* easy = TakeHandle();
  struct HandleBack {
    CurlPageFetcher& fetcher;
    CURL* easy;
    ~HandleBack() { fetcher.ReturnHandle(easy); }
  } handleBack{*this, easy};

  CurlTransfer transfer(easy, url, limits_, directHosts_);
  multi_.Add(easy, [&transfer](CURL*, CURLcode result) { transfer.End(result); });
  const bool waited = waiter_->WaitUntil([&] { return transfer.Ended() || aborted(); });

  if (!transfer.Ended()) {
    multi_.Remove(easy);
    throw FetchFailure(url, waited ? AbandonedReason() : ClosingReason());
  }
  return transfer.TakeBody();
}

}  // namespace veskor
