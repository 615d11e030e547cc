#include "engine/recorded_rows.h"

namespace veskor {

void RecordedRows::Record(Kind kind, int col, std::size_t row, std::string_view text) {
  calls_.push_back({kind, col, row, texts_.size(), text.size()});
  texts_.append(text);
}

void RecordedRows::SetRowCount(std::size_t rows) {
  rowCount_ = rows;
  Record(Kind::RowCount, 0, rows, {});
}

void RecordedRows::SetCell(int col, std::size_t row, std::string_view text) {
  Record(Kind::Cell, col, row, text);
}

void RecordedRows::SetRowLink(std::size_t row, std::string_view link) {
  Record(Kind::Link, 0, row, link);
}

// The last text written into the cell, unless the row was dropped since.
std::string RecordedRows::Cell(int col, std::size_t row) const {
  for (auto call = calls_.rbegin(); call != calls_.rend(); ++call) {
    if (call->kind == Kind::RowCount && call->row <= row) return {};
    if (call->kind == Kind::Cell && call->col == col && call->row == row)
      return texts_.substr(call->textStart, call->textSize);
  }
  return {};
}

void RecordedRows::Replay(ResultTable& table, std::size_t firstRow) const {
  const std::string_view texts = texts_;
  for (const Call& call : calls_) {
    const std::string_view text = texts.substr(call.textStart, call.textSize);
    switch (call.kind) {
      case Kind::RowCount: table.SetRowCount(firstRow + call.row); break;
      case Kind::Cell: table.SetCell(call.col, firstRow + call.row, text); break;
      case Kind::Link: table.SetRowLink(firstRow + call.row, text); break;
    }
  }
}

}  // namespace veskor
