#include "tools/search_cli/new_hits.h"

#include "tools/search_cli/row_output.h"

namespace veskor::search_cli {

NewHitsOnly::NewHitsOnly(std::string recordPath, SearchKey key)
    : record_(std::move(recordPath), std::move(key)) {}

bool NewHitsOnly::Load() { return record_.Load() != FileRead::Unreadable; }

bool NewHitsOnly::Offer(const TableRow& row, const std::string& link) {
  if (!IsHitRow(row)) return false;
  ++pageHits_;
  pageLinks_.push_back(link);
  if (!record_.IsNew(link)) return false;
  ++pageNew_;
  return true;
}

void NewHitsOnly::PageShown() {
  for (const std::string& link : pageLinks_) record_.Add(link);
  pageLinks_.clear();
  hits_ += pageHits_;
  newHits_ += pageNew_;
  pageHits_ = pageNew_ = 0;
}

std::string NewHitsOnly::Save() {
  try {
    record_.Save();
  } catch (const SeenRecordError& error) {
    return error.what();
  }
  return {};
}

std::string NewHitsOnly::Summary() const { return NewHitsSummary(newHits_, hits_); }

std::string NewHitsSummary(std::size_t fresh, std::size_t total) {
  // French puts 0 and 1 in the singular.
  const char* noun = fresh > 1 ? " nouveaux résultats sur " : " nouveau résultat sur ";
  return std::to_string(fresh) + noun + std::to_string(total);
}

}  // namespace veskor::search_cli
