#include "tools/search_cli/streaming_table.h"

#include <algorithm>

namespace veskor::search_cli {
namespace {

const TableRow kTitles = {"Sujet", "Date", "Posteur", "Newsgroup"};

}  // namespace

StreamingTable::StreamingTable(RowHandler onRow) : onRow_(std::move(onRow)), held_(1) {}

void StreamingTable::SetRowCount(std::size_t rows) {
  rows = std::max<std::size_t>(rows, 2);
  // Shrinking below what was printed is a new search: the printed rows stay
  // printed, and the table holds again from its new bottom row.
  if (rows <= firstHeld_) {
    firstHeld_ = rows - 1;
    held_.clear();
  }
  rowCount_ = rows;
  held_.resize(rowCount_ - firstHeld_);
}

std::string StreamingTable::Cell(int col, std::size_t row) const {
  if (col < 0 || col >= ColCount()) return {};
  if (row == 0) return kTitles[static_cast<std::size_t>(col)];
  if (row < firstHeld_ || row >= rowCount_) return {};
  return held_[row - firstHeld_].cells[static_cast<std::size_t>(col)];
}

void StreamingTable::SetCell(int col, std::size_t row, std::string_view text) {
  if (col < 0 || col >= ColCount() || row < firstHeld_ || row >= rowCount_) return;
  held_[row - firstHeld_].cells[static_cast<std::size_t>(col)] = text;
}

void StreamingTable::SetRowLink(std::size_t row, std::string_view link) {
  if (row >= firstHeld_ && row < rowCount_) held_[row - firstHeld_].link = link;
}

void StreamingTable::Flush() {
  const std::size_t bottom = rowCount_ - 1;
  for (std::size_t row = firstHeld_; row < bottom; ++row) {
    const HeldRow& held = held_[row - firstHeld_];
    onRow_(held.cells, held.link);
  }
  held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(bottom - firstHeld_));
  firstHeld_ = bottom;
}

}  // namespace veskor::search_cli
