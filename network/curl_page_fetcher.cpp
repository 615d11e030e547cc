#include "network/curl_page_fetcher.h"

#include <new>

#include "network/curl_transfer.h"
#include "network/fetch_failure.h"

namespace veskor {

CurlPageFetcher::CurlPageFetcher(std::unique_ptr<TransferWaiter> waiter, FetchLimits limits)
    : limits_(limits),
      directHosts_(DirectHosts()),
      waiter_(std::move(waiter)),
      multi_(*waiter_, limits.maxConnections, limits.stallTimeout) {}

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
  CurlTransfer transfer(easy, url, limits_, directHosts_);
  // On every way out, a wait that throws included: libcurl must not keep a
  // transfer whose state is gone, and the handle serves the next Get.
  struct Release {
    CurlPageFetcher& fetcher;
    CurlTransfer& transfer;
    ~Release() {
      if (!transfer.Ended()) fetcher.multi_.Remove(transfer.Easy());
      fetcher.ReturnHandle(transfer.Easy());
    }
  } release{*this, transfer};

  multi_.Add(easy, [&transfer](CURL*, CURLcode result) { transfer.End(result); });
  const bool waited = waiter_->WaitUntil([&] { return transfer.Ended() || aborted(); });
  if (!transfer.Ended()) throw FetchFailure(url, waited ? AbandonedReason() : ClosingReason());
  return transfer.TakeBody();
}

}  // namespace veskor
