#pragma once
// The rows of one results page, cut ahead of the moment they may be shown.
// The page is cut into this recording exactly as it would be cut into the
// result table, then every table call is replayed, in order, once the page's
// turn comes. Replaying the calls, rather than copying the resulting cells,
// keeps the table identical even for a cut that failed half way through a
// row, and whatever the rows below the cursor held before.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/string_grid.h"

namespace veskor {

class RecordedRows : public ResultTable {
 public:
  // Starts as a table of `cols` columns whose only row, row 0, is the empty
  // bottom row: cut the page with first row 0, then replay from the real row.
  explicit RecordedRows(int cols = 4) : cols_(cols) {}

  int ColCount() const override { return cols_; }
  std::size_t RowCount() const override { return rowCount_; }
  void SetRowCount(std::size_t rows) override;
  std::string Cell(int col, std::size_t row) const override;
  void SetCell(int col, std::size_t row, std::string_view text) override;
  void SetRowLink(std::size_t row, std::string_view link) override;

  // Makes the recorded calls on `table`, every row moved down by `firstRow`.
  void Replay(ResultTable& table, std::size_t firstRow) const;

  // Bytes held by the recording, for the bound on pages kept in advance.
  std::size_t Footprint() const {
    return calls_.capacity() * sizeof(Call) + texts_.capacity();
  }

 private:
  enum class Kind { RowCount, Cell, Link };
  // Texts live end to end in one buffer: a page of a thousand hits would
  // otherwise cost thousands of small allocations on top of the table's own.
  struct Call {
    Kind kind;
    int col;
    std::size_t row;  // the new row count, for Kind::RowCount
    std::size_t textStart, textSize;
  };
  void Record(Kind kind, int col, std::size_t row, std::string_view text);

  int cols_;
  std::size_t rowCount_ = 1;
  std::vector<Call> calls_;
  std::string texts_;
};

}  // namespace veskor
