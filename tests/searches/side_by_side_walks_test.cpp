#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <typeinfo>

#include <stdlib.h>
#include <unistd.h>

#include "engine/archive_requests.h"
#include "engine/memory_grid.h"
#include "fake_concurrent_fetcher.h"
#include "searches/search_commands.h"

namespace veskor {
namespace {

using testing::CompletionOrder;
using testing::FakeArchive;
using testing::FakeConcurrentFetcher;
using testing::RecordingConsole;

constexpr char kServer[] = "http://archive.test";
constexpr std::size_t kNoBound = 1u << 30;

// Missing: the page is not there (a fetch error). HalfCut: it ends with a
// hit whose date is written before its cut fails. Gap: it links to the pages
// after the next one but not to the next one, which ends the walk there.
// Beyond: every page of the newsgroup also links to a page two past its last,
// which is not there.
enum class Fault { None, Missing, HalfCut, Gap, Beyond };
struct FaultAt {
  Fault kind = Fault::None;
  int group = -1, page = 0;
};

// Six newsgroups: the first has 5 to 12 pages, the others 1 to 4, each of 0
// to 3 hits; the last newsgroup repeats the first one's ID, so two walks
// fetch the same addresses. Like the archive's, each page links to the
// three pages after it and to the last one.
std::map<std::string, std::string> Archive(unsigned seed, FaultAt fault, std::string& groupFile) {
  std::mt19937 random(seed);
  std::map<std::string, std::string> pages;
  pages[IdLookupAddress(kServer, "fr.ng0")] = "<p>ok=10'\">";
  for (int n = 0; n < 6; ++n) {
    const std::string id = std::to_string(n == 5 ? 10 : 10 + n);
    groupFile += "fr.ng" + std::to_string(n) + "\r\n" + id + "\r\n";
    const int drawn = n == 0 ? 5 + static_cast<int>(random() % 8) : 1 + static_cast<int>(random() % 4);
    const bool faulty = n == fault.group;
    const int gap = faulty && fault.kind == Fault::Gap ? fault.page : 0;
    const int last = std::max(drawn, faulty ? fault.page + (gap ? 2 : 0) : 0);
    for (int p = 1; p <= last && n < 5; ++p) {
      std::string body = "<table>\r\n";
      for (unsigned h = random() % 4; h > 0; --h)
        body += testing::Hit(id + "-" + std::to_string(p) + "-" + std::to_string(h), "5/5", "po",
                             id);
      if (faulty && p == fault.page && fault.kind == Fault::HalfCut)
        body += "<td><a href=\"x&quot; yEnc</a><td nowrap>&nbsp;1&nbsp;</td>"
                "<span>(1)&nbsp; p</span></td>\r\n";
      if (faulty && p == fault.page && fault.kind == Fault::Missing) continue;
      body += "</table><p>Pages : ";
      for (int k = p + 1; k <= last; ++k)
        if ((k <= p + 3 || k == last) && !(p == gap && k == p + 1))
          body += "<a>" + std::to_string(k) + "</a> ";
      if (faulty && fault.kind == Fault::Beyond) body += "<a>" + std::to_string(last + 2) + "</a>";
      pages[p == 1 ? FirstPageAddress(kServer, "w", id) : NextPageAddress(kServer, id, p, "w")] =
          body + "</p>";
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
enum class Search { Group, Quick };

struct Case {
  const char* name;
  Search search;
  CompletionOrder order;
  std::size_t connections;
  unsigned seed;
  StopKind stop;  // tried at every moment of the search
  FaultAt fault;
  WalkAheadLimits limits;
  std::size_t mostHeld;  // pages returned and not yet shown, at any wait
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class SideBySideWalks : public ::testing::TestWithParam<Case> {
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

  // The one-by-one walk, its results page fetch number `failAt` failing as
  // the concurrent wait did.
  Seen Sequential(StopKind stop, std::size_t at, std::size_t failAt = 0) {
    FakeArchive archive;
    archive.pages = pages_;
    std::size_t fetches = 0;
    archive.duringFetch = [&](const std::string& url) {
      if (url.find("/articles.pl") == std::string::npos) return;  // the ID lookup
      if (++fetches == failAt) throw FetchError("fermeture");
      if (stop == StopKind::DuringWait && fetches == at + 1) RaiseStopFlag();
    };
    return Watch(archive, stop, at, [&](SearchContext& ctx) {
      if (GetParam().search == Search::Quick)
        RunQuickSearch(ctx, "w", "fr.ng0");
      else
        RunGroupSearch(ctx, "w", "g");
    });
  }

  Seen Concurrent(FakeConcurrentFetcher& net, StopKind stop, std::size_t& at) {
    net.archive.pages = pages_;
    net.limit = GetParam().connections;
    net.order = GetParam().order;
    net.duringWait = [&, outer = net.duringWait] {
      if (outer) outer();
      // The page waited for has its console lines already.
      const std::size_t shown = console_->lines.size() / 2 - 1;
      if (StopFlag.load() == 0) heldMost_ = std::max(heldMost_, net.returned.size() - shown);
      if (stop == StopKind::DuringWait && shown >= at && StopFlag.load() == 0) {
        at = shown;
        RaiseStopFlag();
        returnedAtStop_ = net.returned.size() + 1;  // this wait's page came before it
      }
    };
    net_ = &net;
    FakeArchive lookups;
    lookups.pages = pages_;
    return Watch(lookups, stop, at, [&](SearchContext& ctx) {
      if (GetParam().search == Search::Quick)
        RunQuickSearch(ctx, net, "w", "fr.ng0", GetParam().limits);
      else
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
    // Nothing of the earlier search survives, not even a link behind a blank
    // row that a double-click would open.
    EXPECT_EQ(seen.table.find("old"), std::string::npos) << seen.table;
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
// connection is used and no more; pages held stay within the bound; a page
// asked for and never shown is one a stop, an error or an unfollowed link
// left behind, and a stop leaves at most `pagesAhead` of them.
TEST_P(SideBySideWalks, ShowWhatTheOneByOneWalkShows) {
  const Case& c = GetParam();
  const std::size_t pages = Sequential(StopKind::None, 0).pagesDone.size();
  int errors = 0, runs = 0, runsAskingForUnshownPages = 0;
  std::size_t busiest = 0;
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
    busiest = std::max(busiest, net.mostInFlight);
    EXPECT_LE(heldMost_, c.mostHeld);

    const std::size_t unshown = net.started.size() - seen.console.size() / 2;
    runsAskingForUnshownPages += unshown > 0;
    if (c.fault.kind == Fault::None) {
      EXPECT_LE(unshown, stopped ? c.limits.pagesAhead : 0) << "stop at " << at;
    }
  }
  // A quick search has no page past the one on screen + pagesAhead to ask for.
  const std::size_t usable = std::min({c.connections, c.limits.pages, pages,
                                       c.search == Search::Quick ? c.limits.pagesAhead : kNoBound});
  EXPECT_TRUE(c.fault.kind != Fault::None || busiest == usable) << busiest << " at most in flight";
  // The fault is met by some stops and, when a stop can come before it, not by all.
  if (c.fault.kind == Fault::Missing || c.fault.kind == Fault::HalfCut) {
    EXPECT_GT(errors, 0);
    if (c.fault.page > 1) {
      EXPECT_LT(errors, runs);
    }
  }
  // Pages past a walk's end, linked or not there, are asked for and never shown;
  // a walk that ends on its first page asks for nothing past it.
  if (c.fault.kind == Fault::Gap || c.fault.kind == Fault::Beyond) {
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(runsAskingForUnshownPages > 0, c.fault.page != 1);
  }
}

using enum CompletionOrder;
using enum StopKind;
using enum Search;
constexpr WalkAheadLimits kDefault{};
// Six walks: seven connections leave one unused.
INSTANTIATE_TEST_SUITE_P(
    Walks, SideBySideWalks,
    ::testing::Values(
        Case{"LaterFirst", Group, Newest, 4, 1, None, {}, kDefault, 32},
        Case{"OldestFirst", Group, Oldest, 4, 2, None, {}, kDefault, 32},
        Case{"RandomOverTwo", Group, Random, 2, 3, None, {}, kDefault, 32},
        Case{"RandomOverSeven", Group, Random, 7, 1, None, {}, kDefault, 32},
        Case{"OneConnection", Group, Newest, 1, 2, None, {}, kDefault, 32},
        Case{"StopAfterPageLaterFirst", Group, Newest, 4, 4, AfterPage, {}, kDefault, 32},
        Case{"StopAfterPageRandom", Group, Random, 3, 5, AfterPage, {}, kDefault, 32},
        Case{"StopInWaitLaterFirst", Group, Newest, 4, 4, DuringWait, {}, kDefault, 32},
        Case{"StopInWaitOldestFirst", Group, Oldest, 4, 5, DuringWait, {}, kDefault, 32},
        Case{"StopInWaitRandom", Group, Random, 4, 6, DuringWait, {}, kDefault, 32},
        Case{"MissingLaterPage", Group, Newest, 4, 7, AfterPage, {Fault::Missing, 3, 2}, kDefault, 32},
        Case{"MissingFirstPage", Group, Random, 4, 7, DuringWait, {Fault::Missing, 4, 1}, kDefault, 32},
        Case{"HalfCutFirstPage", Group, Newest, 4, 7, DuringWait, {Fault::HalfCut, 2, 1}, kDefault, 32},
        Case{"HalfCutThirdPage", Group, Random, 4, 8, AfterPage, {Fault::HalfCut, 1, 3}, kDefault, 32},
        Case{"GapAfterPageTwo", Group, Random, 4, 9, DuringWait, {Fault::Gap, 0, 2}, kDefault, 32},
        Case{"LinksBeyondTheLastPage", Group, Newest, 4, 3, AfterPage, {Fault::Beyond, 0, 0}, kDefault, 32},
        Case{"TwoPagesAhead", Group, Newest, 4, 3, None, {}, {2, kNoBound, 8}, 2},
        // A byte bound below any page lets only the requests in flight land ahead.
        Case{"ByteBoundBelowAPage", Group, Newest, 4, 3, None, {}, {32, 1, 8}, 4},
        Case{"OnePageAheadOfAStop", Group, Oldest, 4, 2, DuringWait, {}, {32, kNoBound, 1}, 32},
        // The quick search's one newsgroup, its pages fetched ahead.
        Case{"QuickLaterFirst", Quick, Newest, 4, 1, None, {}, kDefault, 8},
        Case{"QuickOldestFirst", Quick, Oldest, 3, 2, None, {}, kDefault, 8},
        Case{"QuickOneConnection", Quick, Oldest, 1, 4, None, {}, kDefault, 8},
        Case{"QuickStopInWaitRandom", Quick, Random, 4, 5, DuringWait, {}, kDefault, 8},
        Case{"QuickStopAfterPageLaterFirst", Quick, Newest, 4, 6, AfterPage, {}, kDefault, 8},
        Case{"QuickMissingPageFetchedAhead", Quick, Random, 4, 7, DuringWait, {Fault::Missing, 0, 3}, kDefault, 8},
        Case{"QuickHalfCutPage", Quick, Newest, 2, 8, AfterPage, {Fault::HalfCut, 0, 4}, kDefault, 8},
        // Page 1 links to page 3 but not to page 2: the walk ends after page 1.
        Case{"QuickLinksThreeNotTwo", Quick, Random, 4, 8, None, {Fault::Gap, 0, 1}, kDefault, 8},
        Case{"QuickGapAfterPageTwo", Quick, Newest, 4, 8, DuringWait, {Fault::Gap, 0, 2}, kDefault, 8},
        Case{"QuickLinksBeyondTheLastPage", Quick, Random, 4, 9, DuringWait, {Fault::Beyond, 0, 0}, kDefault, 8},
        Case{"QuickTwoAheadOfAStop", Quick, Oldest, 4, 10, DuringWait, {}, {32, kNoBound, 2}, 8}),
    [](const auto& info) { return std::string(info.param.name); });

class SideBySideWalksFailedWait : public SideBySideWalks {};

// As when the window closes during the search: what is shown, the console
// lines of the page waited for included, is what the one-by-one walk shows
// when that page's fetch fails; nothing stays in flight.
TEST_P(SideBySideWalksFailedWait, CancelsEverythingInFlightAndShowsWhatTheOneByOneWalkShows) {
  FakeConcurrentFetcher net;
  int waits = 0;
  net.duringWait = [&] {
    if (++waits == 6) throw FetchError("fermeture");
  };
  std::size_t at = 0;
  const Seen seen = Concurrent(net, StopKind::None, at);
  EXPECT_EQ(seen, Sequential(StopKind::None, 0, seen.pagesDone.size() + 1));
  EXPECT_TRUE(net.inFlight.empty());
  EXPECT_FALSE(net.cancelled.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Walks, SideBySideWalksFailedWait,
    ::testing::Values(Case{"LaterFirst", Group, Newest, 4, 1, None, {}, kDefault, 32},
                      Case{"OneConnection", Group, Oldest, 1, 2, None, {}, kDefault, 32},
                      Case{"Quick", Quick, Oldest, 4, 3, None, {}, kDefault, 8}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veskor
