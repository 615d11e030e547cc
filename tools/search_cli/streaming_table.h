#pragma once
// The result table of the command-line search. A walk can run for thousands
// of pages, so the table holds only the rows of the page being cut: at the end
// of each page its rows are handed on to be printed and forgotten.

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/string_grid.h"

namespace veskor::search_cli {

using TableRow = std::array<std::string, 4>;

class StreamingTable final : public ResultTable {
 public:
  // A row and its hit's article link (empty for a blank row).
  using RowHandler = std::function<void(const TableRow&, const std::string& link)>;
  explicit StreamingTable(RowHandler onRow);

  int ColCount() const override { return 4; }
  std::size_t RowCount() const override { return rowCount_; }
  void SetRowCount(std::size_t rows) override;
  // Rows already handed on read as empty, and writes to them are dropped:
  // they are printed and cannot change any more.
  std::string Cell(int col, std::size_t row) const override;
  void SetCell(int col, std::size_t row, std::string_view text) override;
  void SetRowLink(std::size_t row, std::string_view link) override;

  // Hands on every data row above the empty bottom row, in order.
  void Flush();

 private:
  RowHandler onRow_;
  std::size_t rowCount_ = 2;  // the title row and one empty row, as after ResetGrid
  std::size_t firstHeld_ = 1;
  struct HeldRow {
    TableRow cells;
    std::string link;
  };
  std::vector<HeldRow> held_;  // rows firstHeld_ to rowCount_ - 1
};

}  // namespace veskor::search_cli
