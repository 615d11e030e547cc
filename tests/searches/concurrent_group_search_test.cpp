#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <typeinfo>

#include <stdlib.h>
#include <unistd.h>

#include "engine/archive_requests.h"
#include "engine/memory_grid.h"
#include "fake_concurrent_fetcher.h"
#include "searches/concurrent_group_search.h"
#include "searches/search_commands.h"

namespace veskor {
namespace {

using testing::CompletionOrder;
using testing::FakeArchive;
using testing::FakeConcurrentFetcher;
using testing::RecordingConsole;

constexpr char kServer[] = "http://archive.test";
constexpr std::size_t kNoBound = 1u << 30;

enum class Fault { None, Missing, HalfCut };
struct FaultAt {
  Fault kind = Fault::None;
  int group = -1, page = 0;
};

// Six newsgroups whose walks have 1 to 4 pages of 0 to 3 hits; the last one
// repeats the first one's ID, so two walks fetch the same addresses. A
// "half cut" page ends with a hit whose date is written before its cut fails.
std::map<std::string, std::string> Archive(unsigned seed, FaultAt fault, std::string& groupFile) {
  std::mt19937 random(seed);
  std::map<std::string, std::string> pages;
  for (int n = 0; n < 6; ++n) {
    const std::string id = std::to_string(n == 5 ? 10 : 10 + n);
    groupFile += "fr.ng" + std::to_string(n) + "\r\n" + id + "\r\n";
    const int drawn = 1 + static_cast<int>(random() % 4);
    const int last = std::max(drawn, n == fault.group ? fault.page : 0);
    for (int p = 1; p <= last && n < 5; ++p) {
      std::string body = "<table>\r\n";
      for (unsigned h = random() % 4; h > 0; --h)
        body += testing::Hit(id + "-" + std::to_string(p) + "-" + std::to_string(h), "5/5", "po",
                             id);
      const bool faulty = n == fault.group && p == fault.page;
      if (faulty && fault.kind == Fault::HalfCut)
        body += "<td><a href=\"x&quot; yEnc</a><td nowrap>&nbsp;1&nbsp;</td>"
                "<span>(1)&nbsp; p</span></td>\r\n";
      if (faulty && fault.kind == Fault::Missing) continue;
      const std::string link = p < last ? "<a>" + std::to_string(p + 1) + "</a>" : "";
      pages[p == 1 ? FirstPageAddress(kServer, "w", id) : NextPageAddress(kServer, id, p, "w")] =
          body + "</table><p>Pages : " + link + "</p>";
    }
  }
  return pages;
}

// All the user sees of a search, and when: the table with its links, the
// console, the table's and console's sizes at each pageDone, the error.
struct Seen {
  std::string table, error;
  std::vector<std::string> console;
  std::vector<std::pair<std::size_t, std::size_t>> pagesDone;
  bool operator==(const Seen&) const = default;
};

// A stop raised from pageDone once `at` pages are shown, or during the
// network wait: the sequential fetch of page at + 1, the first concurrent
// wait made with at least `at` pages shown.
enum class StopKind { None, AfterPage, DuringWait };

struct Case {
  const char* name;
  CompletionOrder order;
  std::size_t connections;
  unsigned seed;
  StopKind stop;  // tried at every moment of the search
  FaultAt fault;
  WalkAheadLimits limits;
  std::size_t mostHeld;  // pages returned and not yet shown, at any wait
};

class ConcurrentGroupSearch : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/veskor-concurrent-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    ASSERT_EQ(chdir(dir), 0);
    pages_ = Archive(GetParam().seed, GetParam().fault, groupFile_);
    std::ofstream("g.txt", std::ios::binary) << groupFile_;
  }
  void TearDown() override {
    LowerStopFlag();
    (void)chdir("/");
    std::filesystem::remove_all(dir_);
  }

  Seen Sequential(StopKind stop, std::size_t at) {
    FakeArchive archive;
    archive.pages = pages_;
    archive.duringFetch = [&](const std::string&) {
      if (stop == StopKind::DuringWait && archive.requested.size() == at + 1) RaiseStopFlag();
    };
    return Watch(archive, stop, at, [&](SearchContext& ctx) { RunGroupSearch(ctx, "w", "g"); });
  }

  Seen Concurrent(FakeConcurrentFetcher& net, StopKind stop, std::size_t& at) {
    net.archive.pages = pages_;
    net.limit = GetParam().connections;
    net.order = GetParam().order;
    net.duringWait = [&, outer = net.duringWait] {
      if (outer) outer();
      const std::size_t shown = console_->lines.size() / 2;
      if (StopFlag.load() == 0) heldMost_ = std::max(heldMost_, net.returned.size() - shown);
      if (stop == StopKind::DuringWait && shown >= at && StopFlag.load() == 0) {
        at = shown;
        RaiseStopFlag();
        returnedAtStop_ = net.returned.size() + 1;  // this wait's page came before it
      }
    };
    net_ = &net;
    FakeArchive unused;
    return Watch(unused, stop, at, [&](SearchContext& ctx) {
      RunGroupSearch(ctx, net, "w", "g", GetParam().limits);
    });
  }

  template <typename Run>
  Seen Watch(PageFetcher& fetcher, StopKind stop, std::size_t at, Run run) {
    MemoryGrid table{4, 5};  // an earlier search's rows and link
    table.SetCell(0, 3, "old");
    table.SetRowLink(1, "old");
    RecordingConsole console;
    console_ = &console;
    Seen seen;
    SearchContext ctx{kServer, fetcher, table, console, [&] {
                        seen.pagesDone.emplace_back(table.RowCount(), console.lines.size());
                        if (stop != StopKind::AfterPage || seen.pagesDone.size() != at) return;
                        RaiseStopFlag();
                        returnedAtStop_ = net_ ? net_->returned.size() : 0;
                      }};
    try {
      run(ctx);
    } catch (const VeskorError& e) {
      seen.error = std::string(typeid(e).name()) + ": " + e.what();
    }
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
      seen.table += table.RowLink(row);
      for (int col = 0; col < 4; ++col) seen.table += "|" + table.Cell(col, row);
      seen.table += "\n";
    }
    seen.console = console.lines;
    return seen;
  }

  std::string dir_, groupFile_;
  std::map<std::string, std::string> pages_;
  RecordingConsole* console_ = nullptr;
  FakeConcurrentFetcher* net_ = nullptr;
  std::size_t heldMost_ = 0, returnedAtStop_ = 0;
};

// Whenever a stop comes, the table, the console and the page ends are those
// of the sequential search stopped with the same page on screen; pages that
// come back after the stop are all shown (the others were cancelled); every
// connection is used and no more; pages held stay within the bound.
TEST_P(ConcurrentGroupSearch, ShowsWhatTheSequentialSearchShows) {
  const Case& c = GetParam();
  const std::size_t pages = Sequential(StopKind::None, 0).pagesDone.size();
  int errors = 0, runs = 0;
  // Past the last page shown, the stop never comes: the whole search runs.
  const std::size_t lastMoment = c.stop == StopKind::None ? 0 : pages + 1;
  for (std::size_t at = c.stop == StopKind::AfterPage; at <= lastMoment; ++at, ++runs) {
    FakeConcurrentFetcher net;
    net.random.seed(c.seed * 100 + static_cast<unsigned>(at));
    std::size_t stoppedAt = at;
    const Seen seen = Concurrent(net, c.stop, stoppedAt);
    const bool stopped = StopFlag.load() != 0;
    ASSERT_EQ(seen, Sequential(stopped ? c.stop : StopKind::None, stoppedAt)) << "stop at " << at;
    errors += !seen.error.empty();

    const std::size_t fromStop =
        stopped && seen.error.empty() ? returnedAtStop_ : net.returned.size();
    for (std::size_t i = fromStop; i < net.returned.size(); ++i)
      EXPECT_NE(std::find(seen.console.begin(), seen.console.end(), net.returned[i]),
                seen.console.end())
          << net.returned[i] << " came back after the stop at " << at << " and was not shown";
    EXPECT_TRUE(net.inFlight.empty());
    EXPECT_EQ(net.startsOverLimit, 0u);
    const std::size_t aheadAllowed = std::max(c.limits.pages, std::size_t{1});
    EXPECT_EQ(net.mostInFlight, std::min({c.connections, std::size_t{6}, aheadAllowed}));
    EXPECT_LE(heldMost_, c.mostHeld);
  }
  // The fault is met by some stops and, when a stop can come before it, not by all.
  if (c.fault.kind != Fault::None) {
    EXPECT_GT(errors, 0);
    if (c.fault.page > 1) {
      EXPECT_LT(errors, runs);
    }
  }
}

using enum CompletionOrder;
using enum StopKind;
// Six walks: seven connections leave one unused.
INSTANTIATE_TEST_SUITE_P(
    Walks, ConcurrentGroupSearch,
    ::testing::Values(
        Case{"LaterFirst", Newest, 4, 1, None, {}, {}, 32},
        Case{"OldestFirst", Oldest, 4, 2, None, {}, {}, 32},
        Case{"RandomOverTwo", Random, 2, 3, None, {}, {}, 32},
        Case{"RandomOverSeven", Random, 7, 1, None, {}, {}, 32},
        Case{"OneConnection", Newest, 1, 2, None, {}, {}, 32},
        Case{"StopAfterPageLaterFirst", Newest, 4, 4, AfterPage, {}, {}, 32},
        Case{"StopAfterPageRandom", Random, 3, 5, AfterPage, {}, {}, 32},
        Case{"StopInWaitLaterFirst", Newest, 4, 4, DuringWait, {}, {}, 32},
        Case{"StopInWaitOldestFirst", Oldest, 4, 5, DuringWait, {}, {}, 32},
        Case{"StopInWaitRandom", Random, 4, 6, DuringWait, {}, {}, 32},
        Case{"MissingLaterPage", Newest, 4, 7, AfterPage, {Fault::Missing, 3, 2}, {}, 32},
        Case{"MissingFirstPage", Random, 4, 7, DuringWait, {Fault::Missing, 4, 1}, {}, 32},
        Case{"HalfCutFirstPage", Newest, 4, 7, DuringWait, {Fault::HalfCut, 2, 1}, {}, 32},
        Case{"HalfCutThirdPage", Random, 4, 8, AfterPage, {Fault::HalfCut, 1, 3}, {}, 32},
        Case{"TwoPagesAhead", Newest, 4, 3, None, {}, {2, kNoBound}, 2},
        // A byte bound below any page lets only the requests in flight land ahead.
        Case{"ByteBoundBelowAPage", Newest, 4, 3, None, {}, {32, 1}, 4}),
    [](const auto& info) { return std::string(info.param.name); });

class ConcurrentGroupSearchFailedWait : public ConcurrentGroupSearch {};

// As when the window closes during the search.
TEST_P(ConcurrentGroupSearchFailedWait, CancelsEverythingInFlightAndKeepsWhatIsShown) {
  FakeConcurrentFetcher net;
  int waits = 0;
  net.duringWait = [&] {
    if (++waits == 12) throw FetchError("fermeture");
  };
  std::size_t at = 0;
  const Seen seen = Concurrent(net, None, at);
  EXPECT_NE(seen.error.find("fermeture"), std::string::npos);
  EXPECT_TRUE(net.inFlight.empty());
  EXPECT_FALSE(net.cancelled.empty());
  EXPECT_EQ(seen.console.size(), 2 * seen.pagesDone.size());
}

INSTANTIATE_TEST_SUITE_P(Walks, ConcurrentGroupSearchFailedWait,
                         ::testing::Values(Case{"LaterFirst", Newest, 4, 1, None, {}, {}, 32},
                                           Case{"OneConnection", Oldest, 1, 2, None, {}, {}, 32}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veskor
