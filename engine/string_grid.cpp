#include "engine/string_grid.h"

namespace veskor {

void ResetGrid(StringGrid& grid) {
  const std::size_t rows = grid.RowCount();
  for (std::size_t row = 1; row < rows; ++row)
    for (int col = 0; col < grid.ColCount(); ++col) grid.SetCell(col, row, "");
  grid.SetRowCount(2);
}

void ResetGrid(ResultTable& table) {
  ResetGrid(static_cast<StringGrid&>(table));
  // The rows lost took their links along; the one left keeps its own.
  table.SetRowLink(1, "");
}

}  // namespace veskor
