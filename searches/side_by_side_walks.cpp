#include "searches/side_by_side_walks.h"

#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "engine/archive_requests.h"
#include "engine/recorded_rows.h"
#include "engine/results_page.h"

namespace veskor {
namespace {

// A page that has come back and waits for its turn on screen.
struct HeldPage {
  RecordedRows rows;           // the page's cut, from row 0
  std::size_t rowsCut = 0;     // the cut's cursor, counted from row 0
  std::exception_ptr failure;  // the fetch's or the cut's, raised at the page's turn
  bool linksNext = false;      // its rest holds the link text of the page after it
  std::size_t footprint = 0;
};

// A page asked for and not shown yet: in flight, then come back.
struct AskedPage {
  std::optional<RequestId> request;
  std::optional<HeldPage> held;
};

// One newsgroup's walk. `reached` moves by the walk's own rule only: page
// k + 1 is on the walk once page k has come back and links to it. Pages
// past `reached` are asked for on the strength of a link seen, and shown
// only if the walk reaches them.
struct Walk {
  const GroupEntry* entry = nullptr;
  std::map<long long, AskedPage> asked;  // by page number
  std::set<long long> linked;            // past `reached`, linked from a page of this walk
  long long shown = 0;                   // the last page on screen
  long long reached = 1;
  bool ended = false;                    // no page after `reached`
};

class SideBySideWalks {
 public:
  SideBySideWalks(SearchContext& ctx, ConcurrentFetcher& fetcher, std::string_view pattern,
                  const std::vector<GroupEntry>& entries, WalkAheadLimits limits)
      : ctx_(ctx), fetcher_(fetcher), pattern_(pattern), limits_(limits),
        connections_(std::max<std::size_t>(1, fetcher.ConnectionLimit())) {
    walks_.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) walks_[i].entry = &entries[i];
  }

  // Whatever ended the search, nothing it asked for goes on loading.
  ~SideBySideWalks() {
    for (const auto& [id, page] : ownerOf_) fetcher_.Cancel(id);
  }

  SideBySideWalks(const SideBySideWalks&) = delete;
  SideBySideWalks& operator=(const SideBySideWalks&) = delete;

  void Run() {
    for (std::size_t i = 0; i < walks_.size(); ++i) ShowWalk(i);
  }

 private:
  using PageOf = std::pair<std::size_t, long long>;  // walk, page number

  // The same address the walk builds for the page, whoever asks for it.
  std::string Address(const Walk& walk, long long page) const {
    return page == 1 ? FirstPageAddress(ctx_.server, pattern_, walk.entry->archiveId)
                     : NextPageAddress(ctx_.server, walk.entry->archiveId, page, pattern_);
  }

  // The display: the sequential walk's order of effects, page after page.
  void ShowWalk(std::size_t index) {
    Walk& walk = walks_[index];
    std::size_t row = ctx_.table.RowCount() - 1;
    for (;;) {
      const long long number = walk.shown + 1;
      // Written when the wait starts, as the one-by-one walk writes them
      // before its fetch: the address that hangs or fails is on the console.
      ctx_.console.AddLine("Connexion \xE0 ");
      ctx_.console.AddLine(Address(walk, number));
      HeldPage page = TakePage(index, number);
      walk.shown = number;
      page.rows.Replay(ctx_.table, row);
      if (page.failure) std::rethrow_exception(page.failure);
      row += page.rowsCut;
      if (ctx_.pageDone) ctx_.pageDone();

      if (StopFlag.load() != 0) {
        KeepOnlyWhatAStopShows(index, number);
        return;
      }
      if (walk.ended && walk.reached == number) return;
    }
  }

  HeldPage TakePage(std::size_t index, long long number) {
    Walk& walk = walks_[index];
    for (;;) {
      const auto found = walk.asked.find(number);
      if (found != walk.asked.end() && found->second.held) {
        HeldPage page = std::move(*found->second.held);
        walk.asked.erase(found);
        --heldPages_;
        heldBytes_ -= page.footprint;
        if (number == 1) --firstPagesAsked_;
        return page;
      }
      StartRequests(index);
      Receive(fetcher_.WaitForAny());
      // The stop was raised while the display waited for this page: like a
      // stop during its fetch, the page is still shown and nothing after it.
      if (!stopSeen_ && StopFlag.load() != 0) KeepOnlyWhatAStopShows(index, number);
    }
  }

  // Fills the free connections in display order: the page the display waits
  // for first, then the pages after it, then the later walks, each walk's
  // pages in page order, while the bounds allow.
  void StartRequests(std::size_t shownWalk) {
    for (std::size_t i = shownWalk; i < walks_.size(); ++i) {
      Walk& walk = walks_[i];
      if (walk.reached > walk.shown && !TryStart(shownWalk, i, walk.reached)) return;
      for (const long long page : walk.linked)
        if (!TryStart(shownWalk, i, page)) return;
    }
  }

  // False once nothing more may start at all.
  bool TryStart(std::size_t shownWalk, std::size_t index, long long page) {
    if (inFlight_ >= connections_) return false;
    Walk& walk = walks_[index];
    if (walk.asked.count(page) != 0) return true;
    const bool forDisplay = index == shownWalk && page == walk.shown + 1;
    if (!forDisplay) {
      if (heldPages_ + inFlight_ >= limits_.pages || heldBytes_ >= limits_.bytes) return false;
      if (page > 1 && (page - walk.shown > static_cast<long long>(limits_.pagesAhead) ||
                       PagesAStopWouldDrop(shownWalk) >= limits_.pagesAhead))
        return true;
    }
    const RequestId id = fetcher_.Start(Address(walk, page));
    walk.asked[page].request = id;
    ownerOf_[id] = {index, page};
    ++inFlight_;
    if (page == 1) ++firstPagesAsked_;
    return true;
  }

  // Asked for and not shown, minus what a stop still shows: the page the
  // display waits for and every first page.
  std::size_t PagesAStopWouldDrop(std::size_t shownWalk) const {
    const Walk& walk = walks_[shownWalk];
    const bool awaitedAsked = walk.shown > 0 && walk.asked.count(walk.shown + 1) != 0;
    return heldPages_ + inFlight_ - firstPagesAsked_ - (awaitedAsked ? 1 : 0);
  }

  // Cuts a page as soon as it comes back: its rest tells which pages of its
  // walk come next, and holding the rows instead of the body keeps less.
  void Receive(FetchCompletion completion) {
    const auto found = ownerOf_.find(completion.id);
    if (found == ownerOf_.end()) return;  // cancelled: never shown
    const auto [index, number] = found->second;
    ownerOf_.erase(found);
    --inFlight_;
    Walk& walk = walks_[index];

    HeldPage page;
    std::string rest;
    if (completion.error) {
      page.failure = std::make_exception_ptr(*completion.error);
    } else {
      try {
        PageCutResult cut = CutResultsPage(completion.body, 0, walk.entry->newsgroup, page.rows);
        page.rowsCut = cut.cursor;
        rest = std::move(cut.remaining);
      } catch (const VeskorError&) {
        page.failure = std::current_exception();
      }
    }
    completion.body = std::string();
    if (!page.failure) {
      page.linksNext =
          FollowNextPage(ctx_, rest, number, pattern_, walk.entry->archiveId).has_value();
      const long long past = std::max(number, walk.reached);
      if (!walk.ended)
        for (const long long linked :
             LinkedPages(rest, past, number + static_cast<long long>(limits_.pagesAhead)))
          walk.linked.insert(linked);
    }
    page.footprint = sizeof(HeldPage) + page.rows.Footprint();
    ++heldPages_;
    heldBytes_ += page.footprint;
    AskedPage& asked = walk.asked.at(number);
    asked.request.reset();
    asked.held = std::move(page);
    FollowWalk(walk);
  }

  // The walk's own steps over the pages that have come back.
  void FollowWalk(Walk& walk) {
    while (!walk.ended) {
      const auto found = walk.asked.find(walk.reached);
      if (found == walk.asked.end() || !found->second.held) return;
      const HeldPage& page = *found->second.held;
      if (page.failure || !page.linksNext) {
        EndWalk(walk, walk.reached);
        return;
      }
      ++walk.reached;
      walk.linked.erase(walk.linked.begin(), walk.linked.upper_bound(walk.reached));
    }
  }

  // After a stop the walk on screen ends after `lastOfCurrent` and every
  // later walk after its first page; whatever lies beyond is dropped now.
  void KeepOnlyWhatAStopShows(std::size_t index, long long lastOfCurrent) {
    stopSeen_ = true;
    EndWalk(walks_[index], lastOfCurrent);
    for (std::size_t i = index + 1; i < walks_.size(); ++i) EndWalk(walks_[i], 1);
  }

  void EndWalk(Walk& walk, long long lastPage) {
    walk.ended = true;
    walk.reached = std::min(walk.reached, lastPage);
    walk.linked.clear();
    for (auto it = walk.asked.upper_bound(walk.reached); it != walk.asked.end();
         it = walk.asked.erase(it)) {
      AskedPage& asked = it->second;
      if (asked.request) {
        fetcher_.Cancel(*asked.request);
        ownerOf_.erase(*asked.request);
        --inFlight_;
      }
      if (asked.held) {
        --heldPages_;
        heldBytes_ -= asked.held->footprint;
      }
    }
  }

  SearchContext& ctx_;
  ConcurrentFetcher& fetcher_;
  std::string_view pattern_;
  WalkAheadLimits limits_;
  std::size_t connections_;
  std::vector<Walk> walks_;
  std::unordered_map<RequestId, PageOf> ownerOf_;  // the requests in flight
  std::size_t inFlight_ = 0;
  std::size_t heldPages_ = 0;
  std::size_t heldBytes_ = 0;
  std::size_t firstPagesAsked_ = 0;  // first pages asked for and not shown
  bool stopSeen_ = false;
};

}  // namespace

void WalkNewsgroupsSideBySide(SearchContext& ctx, ConcurrentFetcher& fetcher,
                              std::string_view pattern, const std::vector<GroupEntry>& entries,
                              WalkAheadLimits limits) {
  SideBySideWalks(ctx, fetcher, pattern, entries, limits).Run();
}

}  // namespace veskor
