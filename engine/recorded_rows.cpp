#include "engine/recorded_rows.h"

namespace veskor {

void RecordedRows::Record(Call call) {
  footprint_ += sizeof(Call) + call.text.capacity();
  calls_.push_back(std::move(call));
}

void RecordedRows::SetRowCount(std::size_t rows) {
  rowCount_ = rows;
  Record({Kind::RowCount, 0, rows, {}});
}

void RecordedRows::SetCell(int col, std::size_t row, std::string_view text) {
  Record({Kind::Cell, col, row, std::string(text)});
}

void RecordedRows::SetRowLink(std::size_t row, std::string_view link) {
  Record({Kind::Link, 0, row, std::string(link)});
}

// The last text written into the cell, unless the row was dropped since.
std::string RecordedRows::Cell(int col, std::size_t row) const {
  for (auto call = calls_.rbegin(); call != calls_.rend(); ++call) {
    if (call->kind == Kind::RowCount && call->row <= row) return {};
    if (call->kind == Kind::Cell && call->col == col && call->row == row) return call->text;
  }
  return {};
}

void RecordedRows::Replay(ResultTable& table, std::size_t firstRow) const {
  for (const Call& call : calls_) {
    switch (call.kind) {
      case Kind::RowCount: table.SetRowCount(firstRow + call.row); break;
      case Kind::Cell: table.SetCell(call.col, firstRow + call.row, call.text); break;
      case Kind::Link: table.SetRowLink(firstRow + call.row, call.text); break;
    }
  }
}

}  // namespace veskor
