// What the record of seen hits costs a search when it is full: 100,000
// addresses, all of the search's own (the largest set to match against),
// against a search of 5,000 hits that are all new, so that saving moves the
// most lines. The record is laid anew before each timed run, in a scratch
// folder of the benchmark's own.
//
//   seen_record_bench [--benchmark_repetitions=N]

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "groups/seen_record.h"

namespace {

namespace fs = std::filesystem;
using veskor::SearchKey;
using veskor::SeenRecord;

constexpr std::size_t kHits = 5000;
const SearchKey kKey = SearchKey::Quick("jpg", "fr.rec.photo");

std::string Address(std::size_t n) { return "articles.pl?gid=512&art=" + std::to_string(n); }

class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/veskor-seen-bench-XXXXXX";
    dir_ = mkdtemp(pattern);
    full_ = dir_ / "plein.lst";
    path_ = (dir_ / "vus.lst").string();
    // Addresses 1 to 100,000 are in the record; the hits are the 5,000 after.
    std::ofstream out(full_, std::ios::binary);
    out << "# Veskor : r\xE9sultats d\xE9j\xE0 vus (format 1)\r\nR\tnewsgroup\tfr.rec.photo\tjpg\r\n";
    for (std::size_t n = 1; n <= veskor::kSeenRecordCapacity; ++n) out << "1\t" << Address(n) << "\r\n";
    for (std::size_t n = 0; n < kHits; ++n) hits_.push_back(Address(veskor::kSeenRecordCapacity + 1 + n));
  }
  ~Scratch() { fs::remove_all(dir_); }
  void Reset() const { fs::copy_file(full_, path_, fs::copy_options::overwrite_existing); }
  const std::string& Path() const { return path_; }
  const std::vector<std::string>& Hits() const { return hits_; }

 private:
  fs::path dir_, full_;
  std::string path_;
  std::vector<std::string> hits_;
};

const Scratch& TheScratch() {
  static const Scratch scratch;
  return scratch;
}

void BM_Load(benchmark::State& state) {
  const Scratch& s = TheScratch();
  s.Reset();
  for (auto _ : state) {
    SeenRecord record(s.Path(), kKey);
    benchmark::DoNotOptimize(record.Load());
  }
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

// Per hit: items_per_second is the number of hits matched a second.
void BM_MatchHits(benchmark::State& state) {
  const Scratch& s = TheScratch();
  s.Reset();
  SeenRecord record(s.Path(), kKey);
  record.Load();
  // Half the hits known, half new, in the order a search shows them.
  std::vector<std::string> hits;
  for (std::size_t n = 0; n < kHits; ++n)
    hits.push_back(Address(veskor::kSeenRecordCapacity - kHits / 2 + 1 + n));
  for (auto _ : state)
    for (const std::string& hit : hits) benchmark::DoNotOptimize(record.IsNew(hit));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kHits));
}
BENCHMARK(BM_MatchHits)->Unit(benchmark::kMicrosecond);

// Adding the hits and saving; with the argument 1, the whole of what a
// search does with the record: load, match, add, save.
void BM_Run(benchmark::State& state) {
  const Scratch& s = TheScratch();
  const bool whole = state.range(0) == 1;
  for (auto _ : state) {
    state.PauseTiming();
    s.Reset();
    SeenRecord record(s.Path(), kKey);
    if (!whole) record.Load();
    state.ResumeTiming();
    if (whole) record.Load();
    for (const std::string& hit : s.Hits()) {
      if (whole) benchmark::DoNotOptimize(record.IsNew(hit));
      record.Add(hit);
    }
    record.Save();
  }
}
BENCHMARK(BM_Run)->ArgName("entier")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
