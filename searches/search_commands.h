#pragma once
// The quick search and the group search, without their window: the desktop
// program and the command-line search both run these. Each comes in two
// walks that show the same: one page after the other through a PageFetcher,
// and side by side through a ConcurrentFetcher.

#include <string>
#include <string_view>
#include <vector>

#include "engine/concurrent_fetcher.h"
#include "engine/page_walker.h"
#include "groups/group_store.h"
#include "searches/search_outcome.h"
#include "searches/side_by_side_walks.h"

namespace veskor {

// What a search walks and how it will end, known before the first results
// page: every newsgroup is walked, a stop included, and an error ends the
// search with no outcome at all.
struct SearchPlan {
  std::string pattern;              // the word as the archive gets it
  std::vector<GroupEntry> entries;  // none when the group file is missing
  SearchOutcome outcome;
};

// The quick search's start: clears the table, lowers the stop flag and looks
// up the newsgroup's archive ID, which is walked whatever it is (the outcome
// says when it names no newsgroup). A lookup error propagates.
SearchPlan StartQuickSearch(SearchContext& ctx, std::string_view word,
                            std::string_view newsgroup);

// The group search's start: clears the table, lowers the stop flag and reads
// "<group>.txt".
SearchPlan StartGroupSearch(SearchContext& ctx, std::string_view word,
                            std::string_view groupName);

// The searches walked one page after the other. Errors propagate; rows
// already written stay.
SearchOutcome RunQuickSearch(SearchContext& ctx, std::string_view word,
                             std::string_view newsgroup);
SearchOutcome RunGroupSearch(SearchContext& ctx, std::string_view word,
                             std::string_view groupName);

// The same searches with their pages fetched side by side through `fetcher`
// (the ID lookup stays a Get of ctx.fetcher): they show and return what the
// ones above show and return.
SearchOutcome RunQuickSearch(SearchContext& ctx, ConcurrentFetcher& fetcher,
                             std::string_view word, std::string_view newsgroup,
                             WalkAheadLimits limits = {});
SearchOutcome RunGroupSearch(SearchContext& ctx, ConcurrentFetcher& fetcher,
                             std::string_view word, std::string_view groupName,
                             WalkAheadLimits limits = {});

}  // namespace veskor
