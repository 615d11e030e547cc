#include "main_window/search_progress.h"

namespace veskor {
namespace {

constexpr int kNewsgroupColumn = 3;

// French counts: the singular goes with 0 and 1.
std::string Count(long long n, const char* singular, const char* plural) {
  return std::to_string(n) + ' ' + (n < 2 ? singular : plural);
}

std::string HitCount(long long n) { return Count(n, "r\xE9sultat", "r\xE9sultats"); }

}  // namespace

void SearchProgress::PageDone(const StringGrid& table) {
  const std::size_t freeRow = table.RowCount() - 1;
  // A search that cleared the table again restarts the count at its top.
  if (counted_ > freeRow) counted_ = 1;
  for (std::size_t row = counted_; row < freeRow; ++row) {
    for (int col = 0; col < table.ColCount(); ++col) {
      if (!table.Cell(col, row).empty()) {
        ++hits_;
        break;
      }
    }
  }
  counted_ = freeRow;
  ++pages_;
  if (pages_ == 1 || newsgroup_ != pagedNewsgroup_) {
    pagedNewsgroup_ = newsgroup_;
    pageInNewsgroup_ = 1;
  } else {
    ++pageInNewsgroup_;
  }
}

std::string SearchProgress::RunningText() const {
  if (pages_ == 0) return "Recherche en cours\x85";
  std::string text = "Page " + std::to_string(pageInNewsgroup_) + " : " + HitCount(hits_);
  if (namesNewsgroups_) text = pagedNewsgroup_ + ", page" + text.substr(4);
  return text;
}

std::string SearchProgress::EndText(End end, std::optional<std::size_t> newHits) const {
  std::string total = HitCount(hits_) + " sur " + Count(pages_, "page", "pages");
  // "dont 0 nouveau" too: that nothing is new is the answer to the search.
  if (newHits) total += ", dont " + Count(static_cast<long long>(*newHits), "nouveau", "nouveaux");
  switch (end) {
    case End::Complete:
      return total;
    case End::Stopped:
      return "Recherche arr\xEAt\xE9" "e : " + total;
    case End::Failed:
      return "Recherche interrompue : " + total;
  }
  return total;
}

void ProgressTable::SetCell(int col, std::size_t row, std::string_view text) {
  ForwardingTable::SetCell(col, row, text);
  // Blanking a page's last row writes empty texts; they name no newsgroup.
  if (col == kNewsgroupColumn && !text.empty()) progress_.NewsgroupSeen(text);
}

}  // namespace veskor
