#include <gtest/gtest.h>

#include "engine/archive_requests.h"
#include "engine/errors.h"
#include "engine/memory_grid.h"
#include "engine/page_walker.h"
#include "fake_archive.h"

namespace veskor {
namespace {

using testing::FakeArchive;
using testing::Hit;
using testing::RecordingConsole;

constexpr char kServer[] = "http://archive.test";

// A results page with `hits` hits and, after them, the pagination bar.
std::string ResultsPage(int hits, const std::string& tag, const std::string& links) {
  std::string body = "<html><head><title>Recherche</title></head><body><table>\r\n";
  for (int i = 0; i < hits; ++i)
    body += Hit(tag + "-" + std::to_string(i), "02/03/2004", "poster");
  return body + "</table><p>Pages : " + links + "</p></body></html>";
}

std::string PageLink(int page) {
  return "<a href=articles.pl?gid=7&page=" + std::to_string(page) + "&search=w&thumb=>" +
         std::to_string(page) + "</a>";
}

class PageWalkerTest : public ::testing::Test {
 protected:
  void SetUp() override { LowerStopFlag(); }
  void TearDown() override { LowerStopFlag(); }

  std::size_t Walk(const std::string& id = "7") {
    return ScrapeResultsPage(ctx, FirstPageAddress(kServer, "w", id), 1, 1, "w", id, "fr.ng");
  }
  std::string Page(int n) {
    return n == 1 ? FirstPageAddress(kServer, "w", "7") : NextPageAddress(kServer, "7", n, "w");
  }

  FakeArchive archive;
  RecordingConsole console;
  MemoryGrid table{4, 2};
  SearchContext ctx{kServer, archive, table, console, {}};
};

TEST_F(PageWalkerTest, WalksEveryLinkedPageInOrderWithOneBlankRowAfterEach) {
  archive.pages[Page(1)] = ResultsPage(2, "p1", "<b>1</b> " + PageLink(2) + PageLink(3));
  archive.pages[Page(2)] = ResultsPage(2, "p2", PageLink(1) + "<b>2</b>" + PageLink(3));
  archive.pages[Page(3)] = ResultsPage(1, "p3", PageLink(1) + PageLink(2) + "<b>3</b>");
  int pagesDone = 0;
  ctx.pageDone = [&] { ++pagesDone; };

  EXPECT_EQ(Walk(), 9u);
  EXPECT_EQ(archive.requested, (std::vector<std::string>{Page(1), Page(2), Page(3)}));
  EXPECT_EQ(pagesDone, 3);
  const std::vector<std::string> subjects = {"p1-0", "p1-1", "", "p2-0", "p2-1", "", "p3-0", "", ""};
  ASSERT_EQ(table.RowCount(), 10u);
  for (std::size_t i = 0; i < subjects.size(); ++i) {
    EXPECT_EQ(table.Cell(0, i + 1), subjects[i]) << i;
    EXPECT_EQ(table.Cell(3, i + 1), subjects[i].empty() ? "" : "fr.ng") << i;
  }
  // Two console lines per page, each address on its own line.
  ASSERT_EQ(console.lines.size(), 6u);
  EXPECT_EQ(console.lines[0], "Connexion \xE0 ");
  EXPECT_EQ(console.lines[1], Page(1));
  EXPECT_EQ(console.lines[5], Page(3));
}

TEST_F(PageWalkerTest, OnlyTheVeryNextNumberIsFollowed) {
  archive.pages[Page(1)] = ResultsPage(1, "p1", PageLink(3));
  Walk();
  EXPECT_EQ(archive.requested.size(), 1u);
}

TEST_F(PageWalkerTest, LinkTextConsumedWithTheHitsIsNotSeen) {
  // ">2<" stands only inside the first 13 characters after the last hit,
  // which the overrun pass cuts off.
  archive.pages[Page(1)] = Hit("a", "1", "p") + "<i>2</i>tail";
  Walk();
  EXPECT_EQ(archive.requested.size(), 1u);
}

TEST_F(PageWalkerTest, StopDuringAFetchEndsTheWalkAfterThatPage) {
  archive.pages[Page(1)] = ResultsPage(2, "p1", PageLink(2));
  archive.pages[Page(2)] = ResultsPage(2, "p2", "");
  archive.duringFetch = [](const std::string&) { RaiseStopFlag(); };
  EXPECT_EQ(Walk(), 4u);
  EXPECT_EQ(archive.requested.size(), 1u);
  EXPECT_EQ(table.Cell(0, 2), "p1-1");
}

TEST_F(PageWalkerTest, FetchErrorKeepsTheRowsOfEarlierPages) {
  archive.pages[Page(1)] = ResultsPage(2, "p1", PageLink(2));
  EXPECT_THROW(Walk(), FetchError);
  EXPECT_EQ(table.Cell(0, 1), "p1-0");
  EXPECT_EQ(table.RowCount(), 5u);
  EXPECT_EQ(console.lines.size(), 4u);  // the failing page's two lines stay
}

// The walk is a loop: a walk far longer than any call stack could hold as
// nested calls runs through.
TEST_F(PageWalkerTest, VeryLongWalkNeedsNoDeepStack) {
  constexpr int kPages = 50000;
  struct EndlessArchive : PageFetcher {
    int served = 0;
    std::string Get(const std::string&) override {
      ++served;
      return served < kPages ? std::string(13, ' ') + "<a href=x>" + std::to_string(served + 1) + "</a>" : "";
    }
  } endless;
  SearchContext longCtx{kServer, endless, table, console, {}};
  const std::size_t row = ScrapeResultsPage(longCtx, "u", 1, 1, "w", "7", "ng");
  EXPECT_EQ(endless.served, kPages);
  EXPECT_EQ(row, static_cast<std::size_t>(kPages) + 1);
}

}  // namespace
}  // namespace veskor
