#pragma once
// Cutting the hits of one results page into table rows.

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/string_grid.h"

namespace veskor {

struct PageCutResult {
  std::string remaining;  // the text after the last hit, for the next-page link
  std::size_t cursor;     // the first free row after the page's blank row
};

// Writes one row per hit of `body`, starting at `row`, with `newsgroup` in
// column 3, then one blank row. The table's row count must be row + 1.
PageCutResult CutResultsPage(std::string_view body, std::size_t row, std::string_view newsgroup,
                             ResultTable& table);

}  // namespace veskor
