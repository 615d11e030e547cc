// Cutting the hits out of one results page: throughput over pages of about
// 4,000 hits per MiB, and how it scales when the page doubles.

#include <benchmark/benchmark.h>

#include <string>

#include "engine/memory_grid.h"
#include "engine/results_page.h"

namespace {

// A result table that keeps nothing, so only the cutting is measured.
class NullTable : public veskor::ResultTable {
 public:
  int ColCount() const override { return 4; }
  std::size_t RowCount() const override { return rows_; }
  void SetRowCount(std::size_t rows) override { rows_ = rows; }
  std::string Cell(int, std::size_t) const override { return {}; }
  void SetCell(int, std::size_t, std::string_view text) override {
    benchmark::DoNotOptimize(text.data());
  }

 private:
  std::size_t rows_ = 2;
};

std::string PageOfMiB(int mebibytes) {
  std::string page = "<html><head><title>fr.rec.photo</title></head><body><table>\r\n";
  const std::size_t target = static_cast<std::size_t>(mebibytes) << 20;
  for (int i = 0; page.size() < target; ++i) {
    page += "<tr><td><a href=\"articles.pl?gid=42&art=" + std::to_string(100000 + i) +
            "\"><b>&quot;Vacances en Bretagne - plage de Carnac " + std::to_string(i) +
            ".jpg&quot; yEnc</b></a></td><td nowrap>&nbsp;03/07/2004&nbsp;</td>"
            "<td><span>(12)&nbsp; Jean-Pierre Dupont &lt;jpd@example.fr&gt;</span></td>\r\n";
  }
  return page + "</table><a href=articles.pl?gid=42&page=2&search=x&thumb=>2</a></body></html>";
}

void BM_CutPage(benchmark::State& state) {
  const std::string page = PageOfMiB(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    NullTable table;
    benchmark::DoNotOptimize(veskor::CutResultsPage(page, 1, "fr.rec.photo", table));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_CutPage)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_CutPageIntoMemoryGrid(benchmark::State& state) {
  const std::string page = PageOfMiB(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    veskor::MemoryGrid table(4, 2);
    benchmark::DoNotOptimize(veskor::CutResultsPage(page, 1, "fr.rec.photo", table));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_CutPageIntoMemoryGrid)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
