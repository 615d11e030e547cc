#pragma once
// The walk from one results page to the next, and the stop control.

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/page_fetcher.h"
#include "engine/string_grid.h"

namespace veskor {

// 0: a walk may go on with its next page; 1: the user asked to stop. Raised by
// the stop command (or a signal in the command-line search), lowered at the
// start of every search, read once per page. Atomic only so that a signal
// handler may raise it; everything else runs on one thread.
extern std::atomic<int> StopFlag;
void RaiseStopFlag();
void LowerStopFlag();

// What every page step needs besides its own parameters.
struct SearchContext {
  std::string server;  // archive address, no trailing slash
  PageFetcher& fetcher;
  ResultTable& table;
  ConsoleSink& console;
  // Called after each page's rows are written and its blank row is blanked.
  std::function<void()> pageDone;
};

struct NextPage {
  std::string url;
  long long page;
};

// The next page of the walk when `remaining` links to it (">" page + 1 "<").
std::optional<NextPage> FollowNextPage(const SearchContext& ctx, std::string_view remaining,
                                       long long page, std::string_view word,
                                       std::string_view archiveId);

// The pages after `page`, up to `last`, whose link text (">" k "<") occurs in
// `remaining`, in increasing order. The archive's pages link to several
// later pages at once, so these are pages that the walk is likely to reach;
// only FollowNextPage says that it does.
std::vector<long long> LinkedPages(std::string_view remaining, long long page, long long last);

// Fetches page `page` at `url`, writes its hits from `row` on, then follows the
// next pages until there is none or StopFlag is raised. Returns the first free
// row. Fetch and cut errors propagate; rows already written stay.
std::size_t ScrapeResultsPage(SearchContext& ctx, std::string url, long long page,
                              std::size_t row, std::string_view word,
                              std::string_view archiveId, std::string_view newsgroup);

}  // namespace veskor
