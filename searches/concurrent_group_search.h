#pragma once
// The group search with its newsgroups' walks run side by side over a few
// connections, shown exactly as the one-after-the-other search shows them.
//
// Every newsgroup's first page is fetched whatever happens (a stop still
// gives each later newsgroup its first page), and a newsgroup's later pages
// depend only on its own previous page, so the walks can go ahead of the
// display. Pages that come back early are cut at once and held until their
// turn; the display then writes them newsgroup after newsgroup, page after
// page, with their console lines, reading StopFlag after each page as the
// sequential walk does.

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/concurrent_fetcher.h"
#include "engine/page_walker.h"
#include "groups/group_store.h"
#include "searches/search_outcome.h"

namespace veskor {

// How far the walks may run ahead of the display: pages that came back and
// are not shown yet. Once either bound is reached, no page beyond the one the
// display waits for is asked for until the display catches up; requests
// already in flight may still land past the byte bound.
struct WalkAheadLimits {
  std::size_t pages = 32;
  std::size_t bytes = std::size_t{16} << 20;
};

// Walks the newsgroups of `entries` from the table's first free row on, as
// the sequential loop of ScrapeResultsPage over them would: same rows, same
// console lines, same pageDone calls, the same error at the same point. The
// table and the stop flag are the caller's to prepare. Requests still in
// flight when it returns or throws are cancelled.
void WalkNewsgroupsSideBySide(SearchContext& ctx, ConcurrentFetcher& fetcher,
                              std::string_view pattern, const std::vector<GroupEntry>& entries,
                              WalkAheadLimits limits = {});

// The group search over several connections: clears the table, lowers the
// stop flag and walks every newsgroup of the group file "<group>.txt" side by
// side. Shows and returns what RunGroupSearch(ctx, word, groupName) shows
// and returns.
SearchOutcome RunGroupSearch(SearchContext& ctx, ConcurrentFetcher& fetcher,
                             std::string_view word, std::string_view groupName,
                             WalkAheadLimits limits = {});

}  // namespace veskor
