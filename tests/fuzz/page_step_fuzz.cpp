// libFuzzer target: any reply of the archive, cut as a results page and as an
// ID lookup reply, and searched for the next-page link. Only the engine's own
// out-of-range error may come out of it; anything else is a crash.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/archive_requests.h"
#include "engine/errors.h"
#include "engine/memory_grid.h"
#include "engine/page_walker.h"
#include "engine/results_page.h"

namespace {

class NoFetcher : public veskor::PageFetcher {
 public:
  std::string Get(const std::string&) override { return {}; }
};

class NoConsole : public veskor::ConsoleSink {
 public:
  void AddLine(std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);

  const std::string id = veskor::CutNewsgroupId(body);
  if (id.find_first_of("\r\n") != std::string::npos) __builtin_trap();

  veskor::MemoryGrid table(4, 2);
  try {
    const veskor::PageCutResult cut = veskor::CutResultsPage(body, 1, "fr.fuzz", table);
    // Each page leaves its rows, a blank row and the empty bottom row.
    if (table.RowCount() != cut.cursor + 1 || cut.cursor < 2) __builtin_trap();
    for (int col = 0; col < 4; ++col)
      if (!table.Cell(col, cut.cursor - 1).empty()) __builtin_trap();
    // Each hit's cells lie within that hit's own text, so the table of a
    // page holds at most three times the page, whatever markers it lacks.
    std::size_t cellBytes = 0;
    for (std::size_t row = 1; row < table.RowCount(); ++row)
      for (int col = 0; col < 3; ++col) cellBytes += table.Cell(col, row).size();
    if (cellBytes > 3 * size) __builtin_trap();
    NoFetcher fetcher;
    NoConsole console;
    veskor::SearchContext ctx{"http://fuzz", fetcher, table, console, {}};
    (void)veskor::FollowNextPage(ctx, cut.remaining, 1, "w", id);
  } catch (const veskor::OutOfRangeError&) {
    // A subject span too short to hold its subject: reported to the user.
  }
  return 0;
}
