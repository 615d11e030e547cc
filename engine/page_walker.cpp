#include "engine/page_walker.h"

#include "engine/archive_requests.h"
#include "engine/results_page.h"
#include "engine/text_cut.h"

namespace veskor {

std::atomic<int> StopFlag{0};

void RaiseStopFlag() { StopFlag.store(1); }
void LowerStopFlag() { StopFlag.store(0); }

std::optional<NextPage> FollowNextPage(const SearchContext& ctx, std::string_view remaining,
                                       long long page, std::string_view word,
                                       std::string_view archiveId) {
  const long long next = page + 1;
  std::string linkText = ">";
  linkText.append(std::to_string(next)).push_back('<');
  if (FindMarker(remaining, linkText) == kNotFound) return std::nullopt;
  return NextPage{NextPageAddress(ctx.server, archiveId, next, word), next};
}

// The walk runs as a loop carrying its state from page to page, so a walk of
// any length needs no more stack or memory than a walk of one page.
std::size_t ScrapeResultsPage(SearchContext& ctx, std::string url, long long page,
                              std::size_t row, std::string_view word,
                              std::string_view archiveId, std::string_view newsgroup) {
  for (;;) {
    ctx.console.AddLine("Connexion \xE0 ");
    ctx.console.AddLine(url);
    const std::string body = ctx.fetcher.Get(url);
    const PageCutResult cut = CutResultsPage(body, row, newsgroup, ctx.table);
    row = cut.cursor;
    if (ctx.pageDone) ctx.pageDone();

    if (StopFlag.load() != 0) return row;
    auto next = FollowNextPage(ctx, cut.remaining, page, word, archiveId);
    if (!next) return row;
    url = std::move(next->url);
    page = next->page;
  }
}

}  // namespace veskor
