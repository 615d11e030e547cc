#include "platform/fetch_guard.h"

#include "engine/errors.h"
#include "platform/curl_page_fetcher.h"
#include "platform/qt_transfer_waiter.h"

namespace veskor {

class FetchGuard::ClosableFetcher final : public PageFetcher {
 public:
  ClosableFetcher(FetchGuard& guard, PageFetcher& network)
      : guard_(guard), network_(network) {}

  std::string Get(const std::string& url) override {
    // Abort reaches only the fetch waiting at that moment; a closing program
    // must not start another one either.
    if (guard_.Closed())
      throw FetchError("Impossible de joindre " + url +
                       " : requ\xEAte abandonn\xE9" "e, le programme se ferme");
    ++guard_.fetching_;
    try {
      std::string body = network_.Get(url);
      Leave();
      return body;
    } catch (const FetchError&) {
      const bool abandoned = Leave();
      if (abandoned && !guard_.Closed())
        throw FetchAbandoned("Impossible de joindre " + url + " : requ\xEAte abandonn\xE9" "e");
      throw;
    } catch (...) {
      Leave();
      throw;
    }
  }

 private:
  // Whether this Get was the one given up.
  bool Leave() {
    --guard_.fetching_;
    const bool abandoned = guard_.abandoning_;
    guard_.abandoning_ = false;
    return abandoned;
  }

  FetchGuard& guard_;
  PageFetcher& network_;
};

FetchGuard::FetchGuard(QObject* parent)
    : QObject(parent),
      network_(MakeQtPageFetcher()),
      fetcher_(std::make_unique<ClosableFetcher>(*this, *network_)) {}

FetchGuard::~FetchGuard() = default;

PageFetcher& FetchGuard::Fetcher() { return *fetcher_; }

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
