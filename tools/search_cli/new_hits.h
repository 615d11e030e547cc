#pragma once
// --nouveaux: only the hits that the record has not seen are printed, and the
// hits of every page that reached the output are recorded at the end.

#include <cstddef>
#include <string>
#include <vector>

#include "groups/seen_record.h"
#include "tools/search_cli/streaming_table.h"

namespace veskor::search_cli {

class NewHitsOnly {
 public:
  NewHitsOnly(std::string recordPath, SearchKey key);

  // False when the record is there but cannot be read; Problem() then says
  // why (Windows-1252), and nothing will be written to it.
  bool Load();
  const std::string& Problem() const { return record_.Problem(); }

  // A row of the page being printed: whether to print it.
  bool Offer(const TableRow& row, const std::string& link);
  // The rows offered since the last call have reached the output.
  void PageShown();

  // Records the hits of the pages shown. Returns the failure (Windows-1252),
  // empty when the record was saved.
  std::string Save();

  // "3 nouveaux résultats sur 86", over the pages shown (UTF-8).
  std::string Summary() const;

 private:
  SeenRecord record_;
  std::vector<std::string> pageLinks_;
  std::size_t pageHits_ = 0, pageNew_ = 0;
  std::size_t hits_ = 0, newHits_ = 0;
};

// "0 nouveau résultat sur 86", "2 nouveaux résultats sur 86" (UTF-8).
std::string NewHitsSummary(std::size_t fresh, std::size_t total);

}  // namespace veskor::search_cli
