#include "searches/search_commands.h"

#include "engine/archive_requests.h"

namespace veskor {
namespace {

void Count(SearchOutcome& outcome, std::string_view archiveId, std::string_view newsgroup) {
  if (IsUnknownArchiveId(archiveId))
    outcome.unknownNewsgroups.emplace_back(newsgroup);
  else
    ++outcome.searchedNewsgroups;
}

SearchPlan Start(SearchContext& ctx, std::string_view word) {
  ResetGrid(ctx.table);
  LowerStopFlag();
  SearchPlan plan;
  plan.pattern = SpacesToPercent(word);
  return plan;
}

// The flag is not looked at between newsgroups: after a stop, every later
// newsgroup still gets its first page, and only that.
SearchOutcome WalkOneByOne(SearchContext& ctx, const SearchPlan& plan) {
  for (const GroupEntry& entry : plan.entries)
    ScrapeResultsPage(ctx, FirstPageAddress(ctx.server, plan.pattern, entry.archiveId), 1,
                      ctx.table.RowCount() - 1, plan.pattern, entry.archiveId, entry.newsgroup);
  return plan.outcome;
}

SearchOutcome WalkSideBySide(SearchContext& ctx, ConcurrentFetcher& fetcher,
                             const SearchPlan& plan, WalkAheadLimits limits) {
  WalkNewsgroupsSideBySide(ctx, fetcher, plan.pattern, plan.entries, limits);
  return plan.outcome;
}

}  // namespace

SearchPlan StartQuickSearch(SearchContext& ctx, std::string_view word,
                            std::string_view newsgroup) {
  SearchPlan plan = Start(ctx, word);
  GroupEntry entry{std::string(newsgroup),
                   LookupNewsgroupId(ctx.fetcher, IdLookupAddress(ctx.server, newsgroup))};
  Count(plan.outcome, entry.archiveId, entry.newsgroup);
  plan.entries.push_back(std::move(entry));
  return plan;
}

SearchPlan StartGroupSearch(SearchContext& ctx, std::string_view word,
                            std::string_view groupName) {
  SearchPlan plan = Start(ctx, word);
  auto entries = ReadGroupForSearch(groupName);
  if (!entries) {
    plan.outcome.missingGroupFile = std::string(groupName) + ".txt";
    return plan;
  }
  if (entries->empty()) plan.outcome.emptyGroup = std::string(groupName);
  plan.entries = std::move(*entries);
  for (const GroupEntry& entry : plan.entries) Count(plan.outcome, entry.archiveId, entry.newsgroup);
  return plan;
}

SearchOutcome RunQuickSearch(SearchContext& ctx, std::string_view word,
                             std::string_view newsgroup) {
  return WalkOneByOne(ctx, StartQuickSearch(ctx, word, newsgroup));
}

SearchOutcome RunGroupSearch(SearchContext& ctx, std::string_view word,
                             std::string_view groupName) {
  return WalkOneByOne(ctx, StartGroupSearch(ctx, word, groupName));
}

SearchOutcome RunQuickSearch(SearchContext& ctx, ConcurrentFetcher& fetcher,
                             std::string_view word, std::string_view newsgroup,
                             WalkAheadLimits limits) {
  return WalkSideBySide(ctx, fetcher, StartQuickSearch(ctx, word, newsgroup), limits);
}

SearchOutcome RunGroupSearch(SearchContext& ctx, ConcurrentFetcher& fetcher,
                             std::string_view word, std::string_view groupName,
                             WalkAheadLimits limits) {
  return WalkSideBySide(ctx, fetcher, StartGroupSearch(ctx, word, groupName), limits);
}

}  // namespace veskor
