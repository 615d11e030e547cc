#include "platform/fetch_guard.h"

#include "engine/errors.h"
#include "platform/curl_concurrent_fetcher.h"
#include "platform/curl_page_fetcher.h"
#include "platform/qt_transfer_waiter.h"

namespace veskor {

namespace {

FetchError ClosingFailure(const std::string& url) {
  return FetchError("Impossible de joindre " + url +
                    " : requ\xEAte abandonn\xE9" "e, le programme se ferme");
}

FetchAbandoned AbandonedFailure(const std::string& url) {
  return FetchAbandoned("Impossible de joindre " + url + " : requ\xEAte abandonn\xE9" "e");
}

}  // namespace

class FetchGuard::ClosableFetcher final : public PageFetcher {
 public:
  ClosableFetcher(FetchGuard& guard, PageFetcher& network)
      : guard_(guard), network_(network) {}

  std::string Get(const std::string& url) override {
    // Abort reaches only the fetch waiting at that moment; a closing program
    // must not start another one either.
    if (guard_.Closed()) throw ClosingFailure(url);
    ++guard_.fetching_;
    try {
      std::string body = network_.Get(url);
      guard_.LeaveFetch();
      return body;
    } catch (const FetchError&) {
      const bool abandoned = guard_.LeaveFetch();
      if (abandoned && !guard_.Closed()) throw AbandonedFailure(url);
      throw;
    } catch (...) {
      guard_.LeaveFetch();
      throw;
    }
  }

 private:
  FetchGuard& guard_;
  PageFetcher& network_;
};

// The waits of a side-by-side walk under the same rules as a Get: none once
// the program closes, and the stop's grace gives up the wait in progress.
class FetchGuard::ClosableConcurrentFetcher final : public ConcurrentFetcher {
 public:
  ClosableConcurrentFetcher(FetchGuard& guard, CurlConcurrentFetcher& network)
      : guard_(guard), network_(network) {}

  std::size_t ConnectionLimit() const override { return network_.ConnectionLimit(); }
  RequestId Start(const std::string& url) override {
    // Nothing is sent before the next wait, which a closed guard refuses.
    return network_.Start(url);
  }
  void Cancel(RequestId id) noexcept override { network_.Cancel(id); }

  FetchCompletion WaitForAny() override {
    // A page that had already come in is not taken once the program closes:
    // the search must end at once, not show one more page.
    if (guard_.Closed()) throw ClosingFailure(std::string());
    ++guard_.fetching_;
    try {
      FetchCompletion completion = network_.WaitForAny();
      // Given up too late: the page came in, the search goes on with it.
      guard_.LeaveFetch();
      return completion;
    } catch (const FetchError& error) {
      const bool abandoned = guard_.LeaveFetch();
      if (abandoned && !guard_.Closed()) throw FetchAbandoned(error.what());
      throw;
    } catch (...) {
      guard_.LeaveFetch();
      throw;
    }
  }

 private:
  FetchGuard& guard_;
  CurlConcurrentFetcher& network_;
};

FetchGuard::FetchGuard(QObject* parent)
    : QObject(parent),
      network_(MakeQtPageFetcher()),
      fetcher_(std::make_unique<ClosableFetcher>(*this, *network_)),
      concurrentNetwork_(std::make_unique<CurlConcurrentFetcher>(*network_)),
      concurrentFetcher_(std::make_unique<ClosableConcurrentFetcher>(*this, *concurrentNetwork_)) {}

FetchGuard::~FetchGuard() = default;

PageFetcher& FetchGuard::Fetcher() { return *fetcher_; }

ConcurrentFetcher& FetchGuard::SideBySideFetcher() { return *concurrentFetcher_; }

bool FetchGuard::LeaveFetch() {
  --fetching_;
  const bool abandoned = abandoning_;
  abandoning_ = false;
  return abandoned;
}

void FetchGuard::Close() {
  closed_ = true;
  network_->Abort();
}

void FetchGuard::AbandonWaitingFetch() {
  if (fetching_ == 0) return;
  abandoning_ = true;
  network_->Abort();
}

FetchScope::FetchScope(FetchGuard& guard) : guard_(guard), held_(!guard.busy_) {
  if (!held_) return;
  guard_.busy_ = true;
  emit guard_.busyChanged(true);
}

FetchScope::~FetchScope() {
  if (!held_) return;
  guard_.busy_ = false;
  emit guard_.busyChanged(false);
}

}  // namespace veskor
