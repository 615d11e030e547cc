#pragma once
// Newsgroups' walks run side by side over a few connections, shown exactly as
// the one-after-the-other walk shows them: the quick search's one newsgroup
// and each newsgroup of a group search.
//
// Every newsgroup's first page is fetched whatever happens (a stop still
// gives each later newsgroup its first page), and a newsgroup's later pages
// depend only on its own earlier pages, so the walks can go ahead of the
// display. Within a newsgroup, the archive's pages link to several pages
// after them: a page whose link text came in a page already fetched may be
// fetched before the walk reaches it, at the very address the walk would
// build. The walk itself still goes from page k to page k + 1 only when
// page k links to it; pages fetched ahead that it never reaches are dropped.
//
// Pages that come back early are cut at once and held until their turn; the
// display then writes them newsgroup after newsgroup, page after page, with
// their console lines, reading StopFlag after each page as the sequential
// walk does.

#include <cstddef>
#include <string_view>
#include <vector>

#include "engine/concurrent_fetcher.h"
#include "engine/page_walker.h"
#include "groups/group_store.h"

namespace veskor {

// How far the walks may run ahead of the display. Past the page that the
// display waits for, a request starts only while every bound holds; requests
// already in flight may still land past the byte bound.
struct WalkAheadLimits {
  // Pages asked for and not shown yet.
  std::size_t pages = 32;
  // Bytes held by the pages that came back and are not shown yet.
  std::size_t bytes = std::size_t{16} << 20;
  // Pages that a stop raised now would never show (those after the one the
  // display waits for, in its newsgroup, and every later newsgroup's pages
  // after its first): at most this many asked for at a time. Within a
  // newsgroup, no page further than this past the one on screen is asked for.
  std::size_t pagesAhead = 8;
};

// Walks the newsgroups of `entries` from the table's first free row on, as
// the sequential loop of ScrapeResultsPage over them would: same rows, same
// console lines, same pageDone calls, the same error at the same point. The
// table and the stop flag are the caller's to prepare. Requests still in
// flight when it returns or throws are cancelled.
void WalkNewsgroupsSideBySide(SearchContext& ctx, ConcurrentFetcher& fetcher,
                              std::string_view pattern, const std::vector<GroupEntry>& entries,
                              WalkAheadLimits limits = {});

}  // namespace veskor
