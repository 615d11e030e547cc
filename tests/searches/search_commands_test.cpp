#include <gtest/gtest.h>

#include <fstream>

#include <stdlib.h>
#include <unistd.h>

#include "engine/archive_requests.h"
#include "engine/memory_grid.h"
#include "searches/search_commands.h"
#include "../engine/fake_archive.h"
#include "fake_concurrent_fetcher.h"
#include "tests/support/scratch_dir.h"

namespace veskor {
namespace {

using testing::FakeArchive;
using testing::Hit;
using testing::RecordingConsole;

constexpr char kServer[] = "http://archive.test";

std::string Page(const std::string& tag, int hits, const std::string& tail) {
  std::string body = "<html><body><table>\r\n";
  for (int i = 0; i < hits; ++i) body += Hit(tag + std::to_string(i), "01/01/2001", "p");
  return body + "</table>" + tail + "</body></html>";
}

std::string Link(int page) { return "<a href=articles.pl?page=x>" + std::to_string(page) + "</a>"; }

class SearchCommandsTest : public testing::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    // Leftovers of an earlier search that every command must clear.
    table.SetRowCount(6);
    table.SetCell(0, 3, "old");
    RaiseStopFlag();
  }
  void TearDown() override {
    LowerStopFlag();
    ScratchDirTest::TearDown();
  }
  std::string Column(int col) const {
    std::string out;
    for (std::size_t row = 1; row < table.RowCount(); ++row) out += table.Cell(col, row) + "|";
    return out;
  }

  FakeArchive archive;
  RecordingConsole console;
  MemoryGrid table{4, 2};
  SearchContext ctx{kServer, archive, table, console, {}};
};

TEST_F(SearchCommandsTest, QuickSearchLooksUpTheIdThenWalksFromAClearedTable) {
  archive.pages[IdLookupAddress(kServer, "fr.comp.lang.c++")] = "x?ok=12'\">";
  archive.pages[FirstPageAddress(kServer, "deux%mots", "12")] = Page("a", 2, Link(2));
  archive.pages[NextPageAddress(kServer, "12", 2, "deux%mots")] = Page("b", 1, "");

  RunQuickSearch(ctx, "deux mots", "fr.comp.lang.c++");

  EXPECT_EQ(Column(0), "a0|a1||b0|||");
  EXPECT_EQ(Column(3), "fr.comp.lang.c++|fr.comp.lang.c++||fr.comp.lang.c++|||");
  EXPECT_EQ(archive.requested.front(), "http://archive.test/part2.pl?name=fr.comp.lang.c%2B%2B");
  EXPECT_EQ(console.lines.size(), 4u);  // the lookup is not logged
}

TEST_F(SearchCommandsTest, QuickSearchUsesWhateverIdTheLookupGives) {
  archive.pages[IdLookupAddress(kServer, "inconnu")] = "<html>pas de groupe</html>";
  archive.pages[FirstPageAddress(kServer, "w", "")] = Page("x", 0, "");
  const SearchOutcome outcome = RunQuickSearch(ctx, "w", "inconnu");
  EXPECT_EQ(table.RowCount(), 3u);
  EXPECT_EQ(Column(0), "||");
  EXPECT_EQ(outcome.unknownNewsgroups, std::vector<std::string>{"inconnu"});
  EXPECT_FALSE(outcome.SearchedAnything());
}

TEST_F(SearchCommandsTest, GroupSearchWalksEachPairInFileOrderBelowTheLastOne) {
  testing::WriteBytes("Vesko.txt", "fr.a\r\n1\r\nfr.b\r\n2\r\nfr.orphan\r\n");
  archive.pages[FirstPageAddress(kServer, "w", "1")] = Page("a", 2, Link(2));
  archive.pages[NextPageAddress(kServer, "1", 2, "w")] = Page("c", 1, "");
  archive.pages[FirstPageAddress(kServer, "w", "2")] = Page("b", 1, "");

  const SearchOutcome outcome = RunGroupSearch(ctx, "w", "Vesko");

  EXPECT_TRUE(outcome.Complete());
  EXPECT_EQ(outcome.searchedNewsgroups, 2u);
  EXPECT_EQ(Column(0), "a0|a1||c0||b0|||");
  EXPECT_EQ(Column(3), "fr.a|fr.a||fr.a||fr.b|||");
  EXPECT_EQ(archive.requested.size(), 3u);
}

TEST_F(SearchCommandsTest, StopInAGroupSearchLeavesLaterNewsgroupsTheirFirstPage) {
  testing::WriteBytes("g.txt", "fr.a\r\n1\r\nfr.b\r\n2\r\nfr.c\r\n3\r\n");
  for (const std::string id : {"1", "2", "3"}) {
    archive.pages[FirstPageAddress(kServer, "w", id)] = Page("p1-" + id + "-", 1, Link(2));
    archive.pages[NextPageAddress(kServer, id, 2, "w")] = Page("p2-", 1, "");
  }
  archive.duringFetch = [](const std::string&) { RaiseStopFlag(); };

  RunGroupSearch(ctx, "w", "g");

  EXPECT_EQ(Column(0), "p1-1-0||p1-2-0||p1-3-0|||");
  EXPECT_EQ(archive.requested.size(), 3u);
}

TEST_F(SearchCommandsTest, GroupSearchOfAMissingOrEmptyGroupSearchesNothing) {
  EXPECT_EQ(RunGroupSearch(ctx, "w", "absent").missingGroupFile, "absent.txt");
  testing::WriteBytes(".txt", "");
  const SearchOutcome empty = RunGroupSearch(ctx, "w", "");
  EXPECT_FALSE(empty.missingGroupFile);
  EXPECT_EQ(empty.emptyGroup, "");
  EXPECT_TRUE(archive.requested.empty());
  EXPECT_EQ(table.RowCount(), 2u);
  EXPECT_EQ(Column(0), "|");
  EXPECT_EQ(StopFlag.load(), 0);

  // The side-by-side walk starts and ends the same way.
  testing::FakeConcurrentFetcher net;
  table.SetRowCount(6);
  RaiseStopFlag();
  EXPECT_EQ(RunGroupSearch(ctx, net, "w", "absent").missingGroupFile, "absent.txt");
  EXPECT_EQ(table.RowCount(), 2u);
  EXPECT_EQ(StopFlag.load(), 0);
  EXPECT_EQ(RunGroupSearch(ctx, net, "w", "").emptyGroup, "");
  EXPECT_TRUE(net.returned.empty());
}

TEST_F(SearchCommandsTest, ErrorsEndTheGroupSearchAndKeepItsRows) {
  testing::WriteBytes("g.txt", "fr.a\r\n1\r\nfr.b\r\n2\r\n");
  archive.pages[FirstPageAddress(kServer, "w", "1")] = Page("a", 1, "");
  EXPECT_THROW(RunGroupSearch(ctx, "w", "g"), FetchError);
  EXPECT_EQ(Column(0), "a0|||");
}

}  // namespace
}  // namespace veskor
