#include "engine/string_grid.h"

namespace veskor {

void ResetGrid(StringGrid& grid) {
  const std::size_t rows = grid.RowCount();
  for (std::size_t row = 1; row < rows; ++row)
    for (int col = 0; col < grid.ColCount(); ++col) grid.SetCell(col, row, "");
  grid.SetRowCount(2);
}

}  // namespace veskor
