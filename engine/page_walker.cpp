#include "engine/page_walker.h"

#include <algorithm>

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

// A link text is ">", a number in decimal digits without a leading zero, and
// "<": exactly the texts FollowNextPage looks for, whatever surrounds them.
std::vector<long long> LinkedPages(std::string_view remaining, long long page, long long last) {
  constexpr std::size_t kMostDigits = 18;  // beyond any page a walk reaches
  std::vector<long long> pages;
  for (std::size_t at = remaining.find('>'); at != std::string_view::npos;
       at = remaining.find('>', at + 1)) {
    std::size_t end = at + 1;
    long long number = 0;
    while (end < remaining.size() && end - at <= kMostDigits && remaining[end] >= '0' &&
           remaining[end] <= '9')
      number = number * 10 + (remaining[end++] - '0');
    if (end == at + 1 || remaining[at + 1] == '0' || end >= remaining.size() ||
        remaining[end] != '<')
      continue;
    if (number > page && number <= last) pages.push_back(number);
  }
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  return pages;
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
