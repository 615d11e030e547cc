// What each way of waiting costs per page: the same page fetched again and
// again over one kept-alive connection, blocking in poll() as the command
// line does and in a nested Qt event loop as the windows do.
//
//   VESKOR_BENCH_URL=http://127.0.0.1:PORT/page fetch_bench
//
// bench/cli_vs_curl.sh runs it against its static server.

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <cstdlib>
#include <memory>

#include "network/curl_page_fetcher.h"
#include "network/poll_waiter.h"
#include "platform/qt_transfer_waiter.h"

namespace {

void FetchAgainAndAgain(benchmark::State& state, veskor::PageFetcher& fetcher) {
  const char* url = std::getenv("VESKOR_BENCH_URL");
  if (!url) {
    state.SkipWithError("VESKOR_BENCH_URL must name a page");
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) bytes += fetcher.Get(url).size();
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_PollWaiter(benchmark::State& state) {
  veskor::CurlPageFetcher fetcher(std::make_unique<veskor::PollWaiter>());
  FetchAgainAndAgain(state, fetcher);
}
BENCHMARK(BM_PollWaiter)->MinTime(1.0)->Unit(benchmark::kMicrosecond);

void BM_QtWaiter(benchmark::State& state) {
  const auto fetcher = veskor::MakeQtPageFetcher();
  FetchAgainAndAgain(state, *fetcher);
}
BENCHMARK(BM_QtWaiter)->MinTime(1.0)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
