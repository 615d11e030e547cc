// Real pages of the bundled archive, cut as the search cuts them.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/archive_requests.h"
#include "engine/memory_grid.h"
#include "engine/page_walker.h"
#include "engine/results_page.h"
#include "fake_archive.h"

namespace veskor {
namespace {

std::string ReadFixture(const std::string& name) {
  std::ifstream in(std::string(VESKOR_FIXTURES_DIR) + "/pages/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct FixtureCase {
  std::string file;
  std::size_t hits;
  std::vector<std::string> firstRow;  // subject, date, poster
  long long page;                     // the page this is
  bool followsToNext;
};

class FixturePageTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(FixturePageTest, GivesEveryHitOneBlankRowAndTheRightNextPage) {
  const FixtureCase& c = GetParam();
  const std::string body = ReadFixture(c.file);
  ASSERT_FALSE(body.empty()) << c.file;
  MemoryGrid table(4, 2);
  const PageCutResult cut = CutResultsPage(body, 1, "fr.ng", table);

  EXPECT_EQ(cut.cursor, c.hits + 2);
  for (std::size_t row = 1; row <= c.hits; ++row) {
    EXPECT_FALSE(table.Cell(0, row).empty()) << row;
    EXPECT_EQ(table.Cell(1, row).size(), 10u) << "date of row " << row;
    EXPECT_EQ(table.Cell(3, row), "fr.ng");
    EXPECT_EQ(table.RowLink(row).rfind("articles.pl?gid=", 0), 0u) << row;
  }
  for (int col = 0; col < 4; ++col) EXPECT_EQ(table.Cell(col, c.hits + 1), "");
  if (!c.firstRow.empty()) {
    EXPECT_EQ(table.Cell(0, 1), c.firstRow[0]);
    EXPECT_EQ(table.Cell(1, 1), c.firstRow[1]);
    EXPECT_EQ(table.Cell(2, 1), c.firstRow[2]);
  }

  testing::FakeArchive none;
  testing::RecordingConsole console;
  SearchContext ctx{"http://a", none, table, console, {}};
  EXPECT_EQ(FollowNextPage(ctx, cut.remaining, c.page, "w", "7").has_value(), c.followsToNext);
}

INSTANTIATE_TEST_SUITE_P(
    ArchivePages, FixturePageTest,
    ::testing::Values(
        FixtureCase{"results_first_page.html", 20, {}, 1, true},
        FixtureCase{"results_middle_page.html", 20, {}, 3, true},
        FixtureCase{"results_last_page.html", 6, {}, 5, false},
        FixtureCase{"results_past_last_page.html", 0, {}, 6, false},
        FixtureCase{"results_no_hits.html", 0, {}, 1, false},
        FixtureCase{"results_pl_poster.html", 10,
                    {"Re: Balade dans les C\xE9vennes", "24/02/2008", "St\xE9phane L."}, 1, false},
        FixtureCase{"results_nopl.html", 20, {}, 1, false},
        FixtureCase{"not_results.html", 0, {}, 1, false}),
    [](const auto& info) { return info.param.file.substr(0, info.param.file.find('.')); });

TEST(FixturePageTest, PosterWithPlDoesNotHideTheHitsAfterIt) {
  MemoryGrid table(4, 2);
  CutResultsPage(ReadFixture("results_pl_poster.html"), 1, "fr.rec.moto", table);
  EXPECT_EQ(table.Cell(2, 2), "toto.plouf@free.fr");
  EXPECT_EQ(table.Cell(2, 3), "astro_fan@club-internet.fr");
  EXPECT_EQ(table.Cell(0, 10), "Balade dans les C\xE9vennes");
}

TEST(FixturePageTest, LookupRepliesGiveTheIdOrNothing) {
  EXPECT_EQ(CutNewsgroupId(ReadFixture("lookup_reply.html")), "512");
  EXPECT_EQ(CutNewsgroupId(ReadFixture("lookup_unknown.html")), "");
}

}  // namespace
}  // namespace veskor
