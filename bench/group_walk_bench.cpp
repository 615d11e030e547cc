// The group search's own work, with a network that answers at once: the
// newsgroups walked one after the other against the walks side by side, whose
// pages are cut into a recording and replayed into the table. On loopback the
// side-by-side search must cost no more than this difference.

#include <benchmark/benchmark.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "engine/archive_requests.h"
#include "engine/memory_grid.h"
#include "searches/side_by_side_walks.h"

namespace {

constexpr char kServer[] = "http://archive.test";
constexpr int kNewsgroups = 10;
constexpr int kPages = 4;

class NullConsole : public veskor::ConsoleSink {
 public:
  void AddLine(std::string_view) override {}
};

// Ten newsgroups of four pages, each page holding `hits` hits.
struct Archive : veskor::PageFetcher {
  std::map<std::string, std::string> pages;
  std::vector<veskor::GroupEntry> entries;

  explicit Archive(int hits) {
    for (int n = 0; n < kNewsgroups; ++n) {
      const std::string id = std::to_string(100 + n);
      entries.push_back({"fr.rec.photo." + std::to_string(n), id});
      for (int p = 1; p <= kPages; ++p) {
        std::string page = "<html><body><table>\r\n";
        for (int i = 0; i < hits; ++i)
          page += "<tr><td><a href=\"articles.pl?gid=" + id + "&art=" + std::to_string(i) +
                  "\"><b>&quot;Vacances " + std::to_string(i) +
                  ".jpg&quot; yEnc</b></a></td><td nowrap>&nbsp;03/07/2004&nbsp;</td>"
                  "<td><span>(12)&nbsp; Jean-Pierre Dupont</span></td>\r\n";
        page += "</table><p>Pages : ";
        if (p < kPages) page += "<a>" + std::to_string(p + 1) + "</a>";
        pages[p == 1 ? veskor::FirstPageAddress(kServer, "w", id)
                     : veskor::NextPageAddress(kServer, id, p, "w")] = page + "</p></body></html>";
      }
    }
  }
  std::string Get(const std::string& url) override { return pages.at(url); }
};

// Answers every request as soon as it is waited for, oldest first.
class InstantFetcher : public veskor::ConcurrentFetcher {
 public:
  explicit InstantFetcher(Archive& archive) : archive_(archive) {}
  std::size_t ConnectionLimit() const override { return veskor::kDefaultConnectionLimit; }
  veskor::RequestId Start(const std::string& url) override {
    queue_.emplace_back(++last_, url);
    return last_;
  }
  void Cancel(veskor::RequestId) noexcept override {}
  veskor::FetchCompletion WaitForAny() override {
    auto [id, url] = queue_.front();
    queue_.pop_front();
    return {id, archive_.Get(url), {}};
  }

 private:
  Archive& archive_;
  std::deque<std::pair<veskor::RequestId, std::string>> queue_;
  veskor::RequestId last_ = 0;
};

void BM_OneAfterTheOther(benchmark::State& state) {
  Archive archive(static_cast<int>(state.range(0)));
  NullConsole console;
  for (auto _ : state) {
    veskor::MemoryGrid table(4, 2);
    veskor::SearchContext ctx{kServer, archive, table, console, {}};
    for (const auto& e : archive.entries)
      veskor::ScrapeResultsPage(ctx, veskor::FirstPageAddress(kServer, "w", e.archiveId), 1,
                                table.RowCount() - 1, "w", e.archiveId, e.newsgroup);
    benchmark::DoNotOptimize(table.RowCount());
  }
}
BENCHMARK(BM_OneAfterTheOther)->Arg(50)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_SideBySide(benchmark::State& state) {
  Archive archive(static_cast<int>(state.range(0)));
  NullConsole console;
  for (auto _ : state) {
    veskor::MemoryGrid table(4, 2);
    veskor::SearchContext ctx{kServer, archive, table, console, {}};
    InstantFetcher fetcher(archive);
    veskor::WalkNewsgroupsSideBySide(ctx, fetcher, "w", archive.entries);
    benchmark::DoNotOptimize(table.RowCount());
  }
}
BENCHMARK(BM_SideBySide)->Arg(50)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
