#include "groups/id_update.h"

#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/archive_requests.h"

namespace veskor {
namespace {

// The lookup's answer for "nothing to write".
constexpr char kNoChange[] = "-1";
// "Non trouvé" in Windows-1252.
constexpr char kNotFound[] = "Non trouv\xE9";

// One row's lookup, made at its turn or ahead of it.
struct Lookup {
  std::string address;
  std::optional<RequestId> request;  // while in flight
  bool done = false;
  std::string id;
  std::exception_ptr failure;  // the fetch's or the cut's, thrown at the row's turn
};

class SideBySideLookups {
 public:
  SideBySideLookups(StringGrid& grid, const std::function<bool()>& updateAll,
                    ConcurrentFetcher& fetcher, std::string_view server)
      : grid_(grid), updateAll_(updateAll), fetcher_(fetcher), server_(server),
        connections_(std::max<std::size_t>(1, fetcher.ConnectionLimit())) {}

  // Whatever ended the update, nothing it asked for goes on loading.
  ~SideBySideLookups() {
    for (auto& [row, lookup] : lookups_)
      if (lookup.request) fetcher_.Cancel(*lookup.request);
  }

  SideBySideLookups(const SideBySideLookups&) = delete;
  SideBySideLookups& operator=(const SideBySideLookups&) = delete;

  void Run() {
    // The row count is read again before each row: rows removed meanwhile
    // are not visited.
    for (std::size_t row = 1; row < grid_.RowCount(); ++row) {
      const std::string newsgroup = grid_.Cell(0, row);
      const bool all = !newsgroup.empty() && updateAll_();
      if (newsgroup.empty() || (!all && !grid_.Cell(1, row).empty())) {
        Drop(row);
        continue;
      }
      const std::string result = ResultOf(row, IdLookupAddress(server_, newsgroup));
      // Emptied once the lookup has come back: a failed one leaves the row as it was.
      if (all) grid_.SetCell(1, row, "");
      if (result.empty())
        grid_.SetCell(1, row, kNotFound);
      else if (result != kNoChange)
        grid_.SetCell(1, row, result);
    }
  }

 private:
  // The row's ID, from the reply to `address` made ahead, or still in flight,
  // or asked for now. Throws the lookup's error.
  std::string ResultOf(std::size_t row, const std::string& address) {
    const auto ahead = lookups_.find(row);
    if (ahead != lookups_.end() && ahead->second.address != address) Drop(row);
    Lookup& lookup = lookups_[row];
    lookup.address = address;
    while (!lookup.done) {
      StartLookups(row);
      Receive(fetcher_.WaitForAny());
    }
    Lookup taken = std::move(lookup);
    lookups_.erase(row);
    if (taken.failure) std::rethrow_exception(taken.failure);
    return std::move(taken.id);
  }

  // Fills the free connections in row order: the row whose turn it is first,
  // then the rows after it that would be looked up if their turn came now.
  void StartLookups(std::size_t turn) {
    Lookup& current = lookups_.at(turn);
    if (!current.done && !current.request && inFlight_ < connections_) Start(turn, current);
    ahead_ = std::max(ahead_, turn + 1);
    for (; ahead_ < grid_.RowCount() && inFlight_ < connections_; ++ahead_) {
      const std::string newsgroup = grid_.Cell(0, ahead_);
      if (newsgroup.empty() || (!updateAll_() && !grid_.Cell(1, ahead_).empty())) continue;
      Lookup& lookup = lookups_[ahead_];
      lookup.address = IdLookupAddress(server_, newsgroup);
      Start(ahead_, lookup);
    }
  }

  void Start(std::size_t row, Lookup& lookup) {
    lookup.request = fetcher_.Start(lookup.address);
    rowOf_[*lookup.request] = row;
    ++inFlight_;
  }

  // Keeps the ID only: the reply body can go at once.
  void Receive(FetchCompletion completion) {
    const auto found = rowOf_.find(completion.id);
    if (found == rowOf_.end()) return;  // dropped meanwhile
    Lookup& lookup = lookups_.at(found->second);
    rowOf_.erase(found);
    --inFlight_;
    lookup.request.reset();
    lookup.done = true;
    if (completion.error) {
      lookup.failure = std::make_exception_ptr(*completion.error);
      return;
    }
    try {
      lookup.id = CutNewsgroupId(completion.body);
    } catch (const VeskorError&) {
      lookup.failure = std::current_exception();
    }
  }

  // A lookup made ahead that the row's turn does not want.
  void Drop(std::size_t row) {
    const auto found = lookups_.find(row);
    if (found == lookups_.end()) return;
    if (found->second.request) {
      fetcher_.Cancel(*found->second.request);
      rowOf_.erase(*found->second.request);
      --inFlight_;
    }
    lookups_.erase(found);
  }

  StringGrid& grid_;
  const std::function<bool()>& updateAll_;
  ConcurrentFetcher& fetcher_;
  std::string_view server_;
  std::size_t connections_;
  std::map<std::size_t, Lookup> lookups_;  // rows not written yet, by row
  std::unordered_map<RequestId, std::size_t> rowOf_;
  std::size_t inFlight_ = 0;
  std::size_t ahead_ = 0;  // the next row to consider looking up ahead
};

}  // namespace

void UpdateNewsgroupIds(StringGrid& grid, const std::function<bool()>& updateAll,
                        ConcurrentFetcher& fetcher, std::string_view server) {
  SideBySideLookups(grid, updateAll, fetcher, server).Run();
}

}  // namespace veskor
