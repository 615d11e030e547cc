#include "searches/search_commands.h"

#include "engine/archive_requests.h"
#include "groups/group_store.h"

namespace veskor {

void RunQuickSearch(SearchContext& ctx, std::string_view word, std::string_view newsgroup) {
  ResetGrid(ctx.table);
  LowerStopFlag();
  const std::string pattern = SpacesToPercent(word);
  const std::string archiveId =
      LookupNewsgroupId(ctx.fetcher, IdLookupAddress(ctx.server, newsgroup));
  ScrapeResultsPage(ctx, FirstPageAddress(ctx.server, pattern, archiveId), 1, 1, pattern,
                    archiveId, newsgroup);
}

void RunGroupSearch(SearchContext& ctx, std::string_view word, std::string_view groupName) {
  ResetGrid(ctx.table);
  LowerStopFlag();
  const std::string pattern = SpacesToPercent(word);
  // The flag is not looked at between newsgroups: after a stop, every later
  // newsgroup still gets its first page, and only that.
  for (const GroupEntry& entry : ReadGroupForSearch(groupName)) {
    ScrapeResultsPage(ctx, FirstPageAddress(ctx.server, pattern, entry.archiveId), 1,
                      ctx.table.RowCount() - 1, pattern, entry.archiveId, entry.newsgroup);
  }
}

}  // namespace veskor
