#pragma once
// One fetching command at a time. Every window command that fetches (the two
// searches, the editor's "Mettre à jour") takes the guard for its whole run
// and fetches through the guard's fetcher; the windows disable their fetching
// buttons while the guard is busy. The main window owns the one guard of the
// program: Form1->Fetches().
//
//   void TF_edition::B_updateClick() {
//     veskor::FetchScope fetching(Form1->Fetches());
//     if (!fetching) return;  // a search is running
//     ... fetch with Form1->Fetches().Fetcher() ...
//   }  // released on every way out, errors included
//
//   connect(&Form1->Fetches(), &veskor::FetchGuard::busyChanged, B_update,
//           [this](bool busy) { B_update->setEnabled(!busy); });

#include <QObject>
#include <memory>
#include <string>

#include "engine/concurrent_fetcher.h"
#include "engine/errors.h"
#include "engine/page_fetcher.h"

namespace veskor {

// Thrown by the Get that AbandonWaitingFetch gave up: the user stopped the
// command, nothing failed.
class FetchAbandoned final : public FetchError {
 public:
  using FetchError::FetchError;
};

class CurlConcurrentFetcher;
class CurlPageFetcher;

class FetchGuard : public QObject {
  Q_OBJECT

 public:
  explicit FetchGuard(QObject* parent = nullptr);
  ~FetchGuard() override;

  bool Busy() const { return busy_; }

  // The fetcher the program's commands share. Once the guard is closed, its
  // Get throws FetchError at once instead of reaching the network.
  PageFetcher& Fetcher();
  // The same connections, for the commands that keep several fetches in
  // flight: the group search's walks, the ID update's lookups. Its waits obey
  // Close and AbandonWaitingFetch as Fetcher's Gets do.
  ConcurrentFetcher& SideBySideFetcher();

  // For the program closing: a fetch still waiting fails at once and no later
  // fetch starts. Commands then end without reporting anything.
  void Close();
  bool Closed() const { return closed_; }

  // Gives up the fetch waiting at this moment, if there is one: its Get
  // throws FetchAbandoned at once. Later fetches go ahead as usual. For the
  // stop button, when the page on its way does not come.
  void AbandonWaitingFetch();
  bool Fetching() const { return fetching_ > 0; }

 signals:
  void busyChanged(bool busy);

 private:
  friend class FetchScope;
  class ClosableFetcher;
  class ClosableConcurrentFetcher;
  // Runs one wait of a command's fetch (for the page at `url`, when there is
  // one) under the guard's rules: none once the program closes, and the wait
  // that AbandonWaitingFetch gives up ends in FetchAbandoned.
  template <class Wait>
  auto GuardedWait(const std::string& url, Wait&& wait) -> decltype(wait());
  // Whether the fetch that just ended was the one given up.
  bool LeaveFetch();

  bool busy_ = false;
  bool closed_ = false;
  int fetching_ = 0;  // Gets in progress
  bool abandoning_ = false;
  std::unique_ptr<CurlPageFetcher> network_;
  std::unique_ptr<ClosableFetcher> fetcher_;
  std::unique_ptr<CurlConcurrentFetcher> concurrentNetwork_;
  std::unique_ptr<ClosableConcurrentFetcher> concurrentFetcher_;
};

// Holds the guard from construction to destruction, if it was free.
class FetchScope {
 public:
  explicit FetchScope(FetchGuard& guard);
  ~FetchScope();
  FetchScope(const FetchScope&) = delete;
  FetchScope& operator=(const FetchScope&) = delete;

  // False when another command held the guard: do nothing then.
  explicit operator bool() const { return held_; }

 private:
  FetchGuard& guard_;
  bool held_;
};

}  // namespace veskor
