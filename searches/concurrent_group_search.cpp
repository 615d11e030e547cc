#include "searches/concurrent_group_search.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "engine/archive_requests.h"
#include "engine/recorded_rows.h"
#include "engine/results_page.h"
#include "searches/search_commands.h"

namespace veskor {
namespace {

// A page that has come back and waits for its turn on screen.
struct HeldPage {
  long long page = 0;
  std::string url;
  RecordedRows rows;           // the page's cut, from row 0
  std::size_t rowsCut = 0;     // the cut's cursor, counted from row 0
  std::exception_ptr failure;  // the fetch's or the cut's, raised at the page's turn
  std::size_t footprint = 0;
};

// One newsgroup's walk. Its pages come one at a time (each address is found
// on the page before), so at most one of them is in flight.
struct Walk {
  const GroupEntry* entry = nullptr;
  std::deque<HeldPage> held;
  std::optional<NextPage> next;      // the page after the held ones, if known
  std::optional<RequestId> request;  // set while `next` is in flight
  long long lastPage = std::numeric_limits<long long>::max();  // lowered by a stop
  long long shown = 0;

  bool HasMore() const { return !held.empty() || next.has_value(); }
};

class SideBySideWalks {
 public:
  SideBySideWalks(SearchContext& ctx, ConcurrentFetcher& fetcher, std::string_view pattern,
                  const std::vector<GroupEntry>& entries, WalkAheadLimits limits)
      : ctx_(ctx), fetcher_(fetcher), pattern_(pattern), limits_(limits),
        connections_(std::max<std::size_t>(1, fetcher.ConnectionLimit())) {
    walks_.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      walks_[i].entry = &entries[i];
      walks_[i].next = NextPage{FirstPageAddress(ctx.server, pattern, entries[i].archiveId), 1};
    }
  }

  // Whatever ended the search, nothing it asked for goes on loading.
  ~SideBySideWalks() {
    for (Walk& walk : walks_)
      if (walk.request) fetcher_.Cancel(*walk.request);
  }

  SideBySideWalks(const SideBySideWalks&) = delete;
  SideBySideWalks& operator=(const SideBySideWalks&) = delete;

  void Run() {
    for (std::size_t i = 0; i < walks_.size(); ++i) ShowWalk(i);
  }

 private:
  // The display: the sequential walk's order of effects, page after page.
  void ShowWalk(std::size_t index) {
    Walk& walk = walks_[index];
    std::size_t row = ctx_.table.RowCount() - 1;
    do {
      WaitForPageOf(index);
      HeldPage page = std::move(walk.held.front());
      walk.held.pop_front();
      --heldPages_;
      heldBytes_ -= page.footprint;
      ++walk.shown;

      ctx_.console.AddLine("Connexion \xE0 ");
      ctx_.console.AddLine(page.url);
      page.rows.Replay(ctx_.table, row);
      if (page.failure) std::rethrow_exception(page.failure);
      row += page.rowsCut;
      if (ctx_.pageDone) ctx_.pageDone();

      if (StopFlag.load() != 0) {
        KeepOnlyWhatAStopShows(index, walk.shown);
        return;
      }
    } while (walk.HasMore());
  }

  void WaitForPageOf(std::size_t index) {
    while (walks_[index].held.empty()) {
      StartRequests(index);
      Receive(fetcher_.WaitForAny());
      // The stop was raised while the display waited for this page: like a
      // stop during its fetch, the page is still shown and nothing after it.
      if (!stopSeen_ && StopFlag.load() != 0)
        KeepOnlyWhatAStopShows(index, walks_[index].shown + 1);
    }
  }

  // Fills the free connections in display order: the page the display waits
  // for first, then the walks ahead while the held pages stay within bounds.
  void StartRequests(std::size_t shownWalk) {
    for (std::size_t i = shownWalk; i < walks_.size() && inFlight_ < connections_; ++i) {
      Walk& walk = walks_[i];
      if (!walk.next || walk.request) continue;
      const bool forDisplay = i == shownWalk && walk.held.empty();
      if (!forDisplay && !MayFetchAhead()) break;
      walk.request = fetcher_.Start(walk.next->url);
      walkOf_[*walk.request] = i;
      ++inFlight_;
    }
  }

  // Pages in flight count against the page bound: each will be held on arrival.
  bool MayFetchAhead() const {
    return heldPages_ + inFlight_ < limits_.pages && heldBytes_ < limits_.bytes;
  }

  // Cuts a page as soon as it comes back: its cut gives the address of the
  // walk's next page, and holding the rows instead of the body keeps less.
  void Receive(FetchCompletion completion) {
    const auto found = walkOf_.find(completion.id);
    if (found == walkOf_.end()) return;  // cancelled: never shown
    Walk& walk = walks_[found->second];
    walkOf_.erase(found);
    --inFlight_;
    walk.request.reset();

    HeldPage page;
    page.page = walk.next->page;
    page.url = std::move(walk.next->url);
    walk.next.reset();
    std::optional<PageCutResult> cut;
    if (completion.error) {
      page.failure = std::make_exception_ptr(*completion.error);
    } else {
      try {
        cut = CutResultsPage(completion.body, 0, walk.entry->newsgroup, page.rows);
        page.rowsCut = cut->cursor;
      } catch (const VeskorError&) {
        page.failure = std::current_exception();
      }
    }
    completion.body = std::string();
    if (cut && page.page < walk.lastPage)
      walk.next = FollowNextPage(ctx_, cut->remaining, page.page, pattern_,
                                 walk.entry->archiveId);

    page.footprint = sizeof(HeldPage) + page.url.capacity() + page.rows.Footprint();
    ++heldPages_;
    heldBytes_ += page.footprint;
    walk.held.push_back(std::move(page));
  }

  // After a stop the walk on screen ends after `lastOfCurrent` and every
  // later walk after its first page; whatever lies beyond is dropped now.
  void KeepOnlyWhatAStopShows(std::size_t index, long long lastOfCurrent) {
    stopSeen_ = true;
    Forget(walks_[index], lastOfCurrent);
    for (std::size_t i = index + 1; i < walks_.size(); ++i) Forget(walks_[i], 1);
  }

  void Forget(Walk& walk, long long lastPage) {
    walk.lastPage = std::min(walk.lastPage, lastPage);
    while (!walk.held.empty() && walk.held.back().page > walk.lastPage) {
      --heldPages_;
      heldBytes_ -= walk.held.back().footprint;
      walk.held.pop_back();
    }
    if (walk.next && walk.next->page > walk.lastPage) {
      if (walk.request) {
        fetcher_.Cancel(*walk.request);
        walkOf_.erase(*walk.request);
        --inFlight_;
        walk.request.reset();
      }
      walk.next.reset();
    }
  }

  SearchContext& ctx_;
  ConcurrentFetcher& fetcher_;
  std::string_view pattern_;
  WalkAheadLimits limits_;
  std::size_t connections_;
  std::vector<Walk> walks_;
  std::unordered_map<RequestId, std::size_t> walkOf_;
  std::size_t inFlight_ = 0;
  std::size_t heldPages_ = 0;
  std::size_t heldBytes_ = 0;
  bool stopSeen_ = false;
};

}  // namespace

void WalkNewsgroupsSideBySide(SearchContext& ctx, ConcurrentFetcher& fetcher,
                              std::string_view pattern, const std::vector<GroupEntry>& entries,
                              WalkAheadLimits limits) {
  SideBySideWalks(ctx, fetcher, pattern, entries, limits).Run();
}

SearchOutcome RunGroupSearch(SearchContext& ctx, ConcurrentFetcher& fetcher, std::string_view word,
                             std::string_view groupName, WalkAheadLimits limits) {
  GroupSearchPlan plan = StartGroupSearch(ctx, word, groupName);
  WalkNewsgroupsSideBySide(ctx, fetcher, plan.pattern, plan.entries, limits);
  return plan.outcome;
}

}  // namespace veskor
