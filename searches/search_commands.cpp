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

}  // namespace

SearchOutcome RunQuickSearch(SearchContext& ctx, std::string_view word,
                             std::string_view newsgroup) {
  ResetGrid(ctx.table);
  LowerStopFlag();
  const std::string pattern = SpacesToPercent(word);
  const std::string archiveId =
      LookupNewsgroupId(ctx.fetcher, IdLookupAddress(ctx.server, newsgroup));
  ScrapeResultsPage(ctx, FirstPageAddress(ctx.server, pattern, archiveId), 1, 1, pattern,
                    archiveId, newsgroup);
  SearchOutcome outcome;
  Count(outcome, archiveId, newsgroup);
  return outcome;
}

GroupSearchPlan StartGroupSearch(SearchContext& ctx, std::string_view word,
                                 std::string_view groupName) {
  ResetGrid(ctx.table);
  LowerStopFlag();
  GroupSearchPlan plan;
  plan.pattern = SpacesToPercent(word);
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

SearchOutcome RunGroupSearch(SearchContext& ctx, std::string_view word,
                             std::string_view groupName) {
  GroupSearchPlan plan = StartGroupSearch(ctx, word, groupName);
  // The flag is not looked at between newsgroups: after a stop, every later
  // newsgroup still gets its first page, and only that.
  for (const GroupEntry& entry : plan.entries)
    ScrapeResultsPage(ctx, FirstPageAddress(ctx.server, plan.pattern, entry.archiveId), 1,
                      ctx.table.RowCount() - 1, plan.pattern, entry.archiveId, entry.newsgroup);
  return plan.outcome;
}

}  // namespace veskor
