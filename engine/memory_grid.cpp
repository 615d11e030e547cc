#include "engine/memory_grid.h"

namespace veskor {

MemoryGrid::MemoryGrid(int cols, std::size_t rows) : cols_(cols) { SetRowCount(rows); }

void MemoryGrid::SetRowCount(std::size_t rows) {
  rows_.resize(rows, Row{std::vector<std::string>(static_cast<std::size_t>(cols_)), {}});
}

std::string MemoryGrid::Cell(int col, std::size_t row) const {
  if (col < 0 || col >= cols_ || row >= rows_.size()) return {};
  return rows_[row].cells[static_cast<std::size_t>(col)];
}

void MemoryGrid::SetCell(int col, std::size_t row, std::string_view text) {
  if (col < 0 || col >= cols_ || row >= rows_.size()) return;
  rows_[row].cells[static_cast<std::size_t>(col)] = std::string(text);
}

void MemoryGrid::SetRowLink(std::size_t row, std::string_view link) {
  if (row < rows_.size()) rows_[row].link = std::string(link);
}

std::string MemoryGrid::RowLink(std::size_t row) const {
  return row < rows_.size() ? rows_[row].link : std::string();
}

}  // namespace veskor
