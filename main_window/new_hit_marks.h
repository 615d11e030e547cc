#pragma once
// The hits that a search had not shown before, told apart in the result
// table. The first run of a search (a word in a newsgroup, or a word in a
// group) only records the hits it shows; every later run marks those that no
// earlier run showed, which the table draws in bold, and records its own.
// The record is the one file beside the group files (groups/seen_record.h).
//
// It stands between the search and the table: the article link of every row
// that the search writes comes through here. The table shows each row the
// search writes, pages fetched ahead reaching it only in their turn, so what
// comes through is what the user was shown, up to a stop or an error.

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/string_grid.h"
#include "groups/seen_record.h"

class TStringGrid;

namespace veskor {

class NewHitMarks final : public ForwardingTable {
 public:
  NewHitMarks(TStringGrid& table, SearchKey key, std::string recordPath = kSeenRecordFile);

  // Reads the record. False when it is there but cannot be read: Problem()
  // then says why (Windows-1252), the run marks nothing and Save writes
  // nothing.
  bool Load();
  const std::string& Problem() const { return record_.Problem(); }
  // Whether this run marks its new hits: an earlier run was recorded.
  bool Marking() const { return record_.SearchKnown(); }

  // A hit row's link: the row is marked when it is new.
  void SetRowLink(std::size_t row, std::string_view link) override;

  // Hit rows written, and those of them marked new.
  std::size_t Hits() const { return hits_; }
  std::size_t NewHits() const { return newHits_; }

  // Adds the hits written to the record. Throws SeenRecordError (French,
  // Windows-1252); the table is left as it is either way.
  void Save();

 private:
  TStringGrid& grid_;
  SeenRecord record_;
  bool unreadable_ = false;
  std::size_t hits_ = 0, newHits_ = 0;
};

}  // namespace veskor
