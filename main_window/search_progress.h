#pragma once
// How far the running search has come, in one line for the main window: the
// newsgroup being searched (group search), its page and the hits so far;
// once over, the total and whether the user stopped it. Windows-1252 text.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/string_grid.h"

namespace veskor {

class SearchProgress {
 public:
  // `namesNewsgroups`: say which newsgroup the pages belong to (a group
  // search walks several).
  explicit SearchProgress(bool namesNewsgroups) : namesNewsgroups_(namesNewsgroups) {}

  // A hit row was written for `newsgroup`.
  void NewsgroupSeen(std::string_view newsgroup) {
    if (newsgroup != newsgroup_) newsgroup_.assign(newsgroup);
  }
  // A page is done: its hits are the filled rows from the previous page's
  // end up to the table's first free row.
  void PageDone(const StringGrid& table);

  long long Pages() const { return pages_; }
  long long Hits() const { return hits_; }

  // While the search runs.
  std::string RunningText() const;
  // Once it has ended: complete, stopped by the user, or broken by an error;
  // with how many of the hits are new, when the search tells them apart.
  enum class End { Complete, Stopped, Failed };
  std::string EndText(End end, std::optional<std::size_t> newHits = std::nullopt) const;

 private:
  bool namesNewsgroups_;
  std::string newsgroup_;
  std::string pagedNewsgroup_;  // the newsgroup of the last page counted
  long long pages_ = 0;
  long long pageInNewsgroup_ = 0;
  long long hits_ = 0;
  std::size_t counted_ = 1;  // rows below this one have been counted
};

// The result table as the engine writes it, telling `progress` which
// newsgroup each row belongs to.
class ProgressTable final : public ForwardingTable {
 public:
  ProgressTable(ResultTable& table, SearchProgress& progress)
      : ForwardingTable(table), progress_(progress) {}

  void SetCell(int col, std::size_t row, std::string_view text) override;

 private:
  SearchProgress& progress_;
};

}  // namespace veskor
