#pragma once
// A plain in-memory string grid (used by tools and tests).

#include <string>
#include <vector>

#include "engine/string_grid.h"

namespace veskor {

class MemoryGrid : public ResultTable {
 public:
  MemoryGrid(int cols, std::size_t rows);

  int ColCount() const override { return cols_; }
  std::size_t RowCount() const override { return rows_.size(); }
  void SetRowCount(std::size_t rows) override;
  std::string Cell(int col, std::size_t row) const override;
  void SetCell(int col, std::size_t row, std::string_view text) override;
  void SetRowLink(std::size_t row, std::string_view link) override;
  std::string RowLink(std::size_t row) const;

 private:
  struct Row {
    std::vector<std::string> cells;
    std::string link;
  };
  int cols_;
  std::vector<Row> rows_;
};

}  // namespace veskor
