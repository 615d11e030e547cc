#pragma once
// A concurrent fetcher answering from a FakeArchive, whose requests in flight
// complete in the order the test picks, and which counts what a real one must
// respect: the connection limit, cancelled and returned requests.

#include <algorithm>
#include <functional>
#include <random>
#include <stdexcept>

#include "engine/concurrent_fetcher.h"
#include "../engine/fake_archive.h"

namespace veskor::testing {

// The oldest request completes first, or the newest (later newsgroups finish
// first), or one drawn from a seeded generator.
enum class CompletionOrder { Oldest, Newest, Random };

class FakeConcurrentFetcher : public ConcurrentFetcher {
 public:
  FakeArchive archive;
  std::size_t limit = kDefaultConnectionLimit;
  CompletionOrder order = CompletionOrder::Newest;
  std::mt19937 random{1};
  std::function<void()> duringWait;  // as window events would run

  std::vector<std::pair<RequestId, std::string>> inFlight;
  std::vector<std::string> started, returned, cancelled;
  std::size_t mostInFlight = 0, startsOverLimit = 0;

  std::size_t ConnectionLimit() const override { return limit; }

  RequestId Start(const std::string& url) override {
    if (inFlight.size() >= limit) ++startsOverLimit;
    started.push_back(url);
    inFlight.emplace_back(++lastId_, url);
    mostInFlight = std::max(mostInFlight, inFlight.size());
    return lastId_;
  }

  void Cancel(RequestId id) noexcept override {
    for (auto it = inFlight.begin(); it != inFlight.end(); ++it)
      if (it->first == id) {
        cancelled.push_back(it->second);
        inFlight.erase(it);
        return;
      }
  }

  FetchCompletion WaitForAny() override {
    if (duringWait) duringWait();
    if (inFlight.empty()) throw std::logic_error("wait with nothing in flight");
    const std::size_t pick = order == CompletionOrder::Oldest   ? 0
                             : order == CompletionOrder::Newest ? inFlight.size() - 1
                                                                : random() % inFlight.size();
    const auto [id, url] = inFlight[pick];
    inFlight.erase(inFlight.begin() + static_cast<std::ptrdiff_t>(pick));
    returned.push_back(url);
    FetchCompletion done{id, {}, {}};
    try {
      done.body = archive.Get(url);
    } catch (const FetchError& e) {
      done.error = e;
    }
    return done;
  }

 private:
  RequestId lastId_ = 0;
};

}  // namespace veskor::testing
