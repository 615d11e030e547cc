#include "main_window/new_hit_marks.h"

#include "platform/string_grid_widget.h"

namespace veskor {

NewHitMarks::NewHitMarks(TStringGrid& table, SearchKey key, std::string recordPath)
    : ForwardingTable(table), grid_(table), record_(std::move(recordPath), std::move(key)) {}

bool NewHitMarks::Load() {
  unreadable_ = record_.Load() == FileRead::Unreadable;
  return !unreadable_;
}

void NewHitMarks::SetRowLink(std::size_t row, std::string_view link) {
  ForwardingTable::SetRowLink(row, link);
  // The row that ends a page is blanked with an empty link: no hit. A hit
  // without a link cannot be recognised, and is new every time.
  const bool hit = !link.empty() || !grid_.BlankRow(row);
  const bool fresh = hit && Marking() && record_.IsNew(link);
  grid_.SetRowMarked(row, fresh);
  if (!hit) return;
  ++hits_;
  if (fresh) ++newHits_;
  record_.Add(link);
}

void NewHitMarks::Save() {
  // Told once already, when it was read.
  if (unreadable_) return;
  record_.Save();
}

}  // namespace veskor
