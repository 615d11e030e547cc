#include "platform/fetch_guard.h"

#include "engine/errors.h"
#include "network/curl_concurrent_fetcher.h"
#include "network/curl_page_fetcher.h"
#include "network/fetch_failure.h"
#include "platform/qt_transfer_waiter.h"

namespace veskor {

template <class Wait>
auto FetchGuard::GuardedWait(const std::string& url, Wait&& wait) -> decltype(wait()) {
  // Abort reaches only the fetch waiting at that moment; a closing program
  // must not start another one, nor take a page that had already come in.
  if (closed_) throw FetchFailure(url, ClosingReason());
  ++fetching_;
  try {
    auto result = wait();
    // Given up too late: the page came in, the command goes on with it.
    LeaveFetch();
    return result;
  } catch (const FetchError& error) {
    const bool abandoned = LeaveFetch();
    if (abandoned && !closed_) throw FetchAbandoned(error.what());
    throw;
  } catch (...) {
    LeaveFetch();
    throw;
  }
}

class FetchGuard::ClosableFetcher final : public PageFetcher {
 public:
  ClosableFetcher(FetchGuard& guard, PageFetcher& network) : guard_(guard), network_(network) {}

  std::string Get(const std::string& url) override {
    return guard_.GuardedWait(url, [&] { return network_.Get(url); });
  }

 private:
  FetchGuard& guard_;
  PageFetcher& network_;
};

// The waits of a side-by-side walk under the same rules as a Get.
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
    return guard_.GuardedWait(std::string(), [&] { return network_.WaitForAny(); });
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
