// id_update_bench: the group editor's "Mettre à jour" without the window, on
// the program's libcurl fetcher, one process per run so that a script can
// time each run exactly (bench/id_update_concurrency.sh).
//
//   id_update_bench URL CONNECTIONS NEWSGROUP...
//
// Looks up the archive IDs of the NEWSGROUPs, one grid row each, "Tout mettre
// à jour" checked, at the archive URL over at most CONNECTIONS connections
// (1: one lookup after the other), then prints the rows as "name|ID", one a
// line. Exit 1 with the error on stderr when a lookup fails.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "engine/memory_grid.h"
#include "groups/id_update.h"
#include "network/curl_concurrent_fetcher.h"
#include "network/curl_page_fetcher.h"
#include "network/poll_waiter.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage : %s URL CONNEXIONS NEWSGROUP...\n", argv[0]);
    return 2;
  }
  veskor::FetchLimits limits;
  limits.maxConnections = std::atoi(argv[2]);
  veskor::CurlPageFetcher pages(std::make_unique<veskor::PollWaiter>(), limits);
  veskor::CurlConcurrentFetcher fetcher(pages);

  veskor::MemoryGrid grid(2, static_cast<std::size_t>(argc - 3) + 2);
  for (int i = 3; i < argc; ++i) grid.SetCell(0, static_cast<std::size_t>(i - 2), argv[i]);
  try {
    veskor::UpdateNewsgroupIds(grid, [] { return true; }, fetcher, argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  for (std::size_t row = 1; row + 1 < grid.RowCount(); ++row)
    std::printf("%s|%s\n", grid.Cell(0, row).c_str(), grid.Cell(1, row).c_str());
  return 0;
}
