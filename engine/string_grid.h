#pragma once
// A grid of text cells addressed by (column, row), both from 0, with one
// title row. The result table and the group editor's grid are both string
// grids; the engine and the group store only see them through this interface.

#include <cstddef>
#include <string>
#include <string_view>

namespace veskor {

class StringGrid {
 public:
  virtual ~StringGrid() = default;

  virtual int ColCount() const = 0;
  virtual std::size_t RowCount() const = 0;
  // Rows gained start empty; rows lost are forgotten.
  virtual void SetRowCount(std::size_t rows) = 0;
  virtual std::string Cell(int col, std::size_t row) const = 0;
  virtual void SetCell(int col, std::size_t row, std::string_view text) = 0;
};

// Blanks every data row, then leaves the title row and one empty row.
void ResetGrid(StringGrid& grid);

// The table that searches write their hits into. Besides the cells it can keep
// each hit's article link (as found on the page, relative to the archive).
class ResultTable : public StringGrid {
 public:
  virtual void SetRowLink(std::size_t /*row*/, std::string_view /*link*/) {}
};

// The same for a result table, whose rows lose their article links too: the
// empty row left must not open an earlier search's article.
void ResetGrid(ResultTable& table);

// A result table that hands every call on to another: those that watch the
// rows on their way override what they look at.
class ForwardingTable : public ResultTable {
 public:
  explicit ForwardingTable(ResultTable& table) : table_(table) {}

  int ColCount() const override { return table_.ColCount(); }
  std::size_t RowCount() const override { return table_.RowCount(); }
  void SetRowCount(std::size_t rows) override { table_.SetRowCount(rows); }
  std::string Cell(int col, std::size_t row) const override { return table_.Cell(col, row); }
  void SetCell(int col, std::size_t row, std::string_view text) override {
    table_.SetCell(col, row, text);
  }
  void SetRowLink(std::size_t row, std::string_view link) override { table_.SetRowLink(row, link); }

 private:
  ResultTable& table_;
};

}  // namespace veskor
