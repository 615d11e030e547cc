#include <gtest/gtest.h>

#include "engine/errors.h"
#include "engine/memory_grid.h"
#include "engine/results_page.h"
#include "fake_archive.h"

namespace veskor {
namespace {

using testing::Hit;
using Row = std::vector<std::string>;

const std::string kTail = "</table><a href=articles.pl?gid=42&page=2>2</a>";

// A freshly cleared result table: title row and one empty row.
MemoryGrid ClearedTable() { return MemoryGrid(4, 2); }

Row RowOf(const MemoryGrid& table, std::size_t row) {
  Row cells;
  for (int col = 0; col < 4; ++col) cells.push_back(table.Cell(col, row));
  return cells;
}

const Row kBlank{"", "", "", ""};

TEST(CutResultsPageTest, WorkedExample) {
  const std::string body = Hit("photo.jpg", "03/07/2005", "lecteur1") +
                           Hit("film.avi", "04/07/2005", "lecteur2") + kTail;
  MemoryGrid table = ClearedTable();
  const PageCutResult cut = CutResultsPage(body, 1, "fr.test", table);

  EXPECT_EQ(table.RowCount(), 5u);
  EXPECT_EQ(cut.cursor, 4u);
  EXPECT_EQ(RowOf(table, 1), (Row{"photo.jpg", "03/07/2005", "lecteur1", "fr.test"}));
  EXPECT_EQ(RowOf(table, 2), (Row{"film.avi", "04/07/2005", "lecteur2", "fr.test"}));
  EXPECT_EQ(RowOf(table, 3), kBlank);
  EXPECT_EQ(RowOf(table, 4), kBlank);
  EXPECT_EQ(cut.remaining, kTail.substr(13));
  EXPECT_EQ(table.RowLink(1), "q");
  EXPECT_EQ(table.RowLink(3), "");
}

struct PageCase {
  std::string name;
  std::string body;
  std::vector<Row> rows;  // rows written from row 1, the blank row included
  std::string remaining;
};

class CutResultsPageCases : public ::testing::TestWithParam<PageCase> {};

TEST_P(CutResultsPageCases, WritesEveryHitThenOneBlankRow) {
  const PageCase& c = GetParam();
  MemoryGrid table = ClearedTable();
  const PageCutResult cut = CutResultsPage(c.body, 1, "ng", table);
  ASSERT_EQ(table.RowCount(), c.rows.size() + 2);
  EXPECT_EQ(cut.cursor, c.rows.size() + 1);
  for (std::size_t i = 0; i < c.rows.size(); ++i) EXPECT_EQ(RowOf(table, i + 1), c.rows[i]) << i;
  EXPECT_EQ(RowOf(table, table.RowCount() - 1), kBlank);
  EXPECT_EQ(cut.remaining, c.remaining);
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Pages, CutResultsPageCases,
    ::testing::Values(
        // Dates of any year end at their own cell.
        PageCase{"DateNotEndingInFive",
                 Hit("a.jpg", "04/07/2004", "p1") + Hit("b.jpg", "01/01/2008", "p2") + kTail,
                 {{"a.jpg", "04/07/2004", "p1", "ng"}, {"b.jpg", "01/01/2008", "p2", "ng"}, kBlank},
                 kTail.substr(13)},
        // A poster holding ".pl" is a hit like any other, and so are the hits after it.
        PageCase{"PosterWithPl",
                 Hit("a", "01/02/2003", "jan@poczta.onet.pl") + Hit("b", "02/02/2003", "toto.plouf") +
                     Hit("c", "03/02/2003", "z") + kTail,
                 {{"a", "01/02/2003", "jan@poczta.onet.pl", "ng"},
                  {"b", "02/02/2003", "toto.plouf", "ng"},
                  {"c", "03/02/2003", "z", "ng"},
                  kBlank},
                 kTail.substr(13)},
        // No ".pl" after the hits: the hits, one blank row, no error.
        PageCase{"NoPlAfterHits", Hit("a", "01/02/2003", "p") + "</table></body></html>",
                 {{"a", "01/02/2003", "p", "ng"}, kBlank}, "y></html>"},
        PageCase{"EmptyReply", "", {kBlank}, ""},
        PageCase{"ErrorPage", "<html><body>Erreur interne</body></html>", {kBlank},
                 "rreur interne</body></html>"},
        // Only the first &quot; goes; nothing else is decoded or trimmed.
        PageCase{"EntitiesKept", Hit("x&quot;y&amp;z ", " 1/1/1&nbsp;", " p&nbsp;") + "end",
                 {{"x&quot;y&amp;z ", " 1/1/1&nbsp;", " p&nbsp;", "ng"}, kBlank}, ""},
        // A page that ends right after a hit's poster has simply nothing left.
        PageCase{"EndsRightAfterHit",
                 Hit("a", "01/02/2003", "p").substr(0, Hit("a", "01/02/2003", "p").size() - 2),
                 {{"a", "01/02/2003", "p", "ng"}, kBlank}, ""},
        // The page is seen up to its first zero byte.
        PageCase{"ZeroByte", Hit("a", "01/02/2003", "p") + "\0"s + Hit("b", "1", "q") + kTail,
                 {{"a", "01/02/2003", "p", "ng"}, kBlank}, ""}),
    [](const auto& info) { return info.param.name; });

TEST(CutResultsPageTest, StartsAtTheGivenRowBelowEarlierRows) {
  MemoryGrid table(4, 7);
  table.SetCell(0, 5, "earlier");
  const PageCutResult cut = CutResultsPage(Hit("a", "1", "p") + kTail, 6, "ng", table);
  EXPECT_EQ(table.Cell(0, 5), "earlier");
  EXPECT_EQ(table.Cell(0, 6), "a");
  EXPECT_EQ(cut.cursor, 8u);
  EXPECT_EQ(table.RowCount(), 9u);
}

TEST(CutResultsPageTest, KeepsTheArticleLinkOfEachHit) {
  MemoryGrid table = ClearedTable();
  CutResultsPage(Hit("a", "1", "p", "articles.pl?gid=4&art=9") + kTail, 1, "ng", table);
  EXPECT_EQ(table.RowLink(1), "articles.pl?gid=4&art=9");
}

TEST(CutResultsPageTest, ShortSubjectSpanWithoutBoldIsAnOutOfRangeCut) {
  const std::string body =
      "<td><a href=\"x&quot; yEnc</a><td nowrap>&nbsp;1&nbsp;</td><span>(1)&nbsp; p</span></td>\r\n";
  MemoryGrid table = ClearedTable();
  EXPECT_THROW(CutResultsPage(body, 1, "ng", table), OutOfRangeError);
  EXPECT_EQ(table.Cell(1, 1), "1");  // cells cut before the failure stay
}

// Hits that lack one of their end markers, all but the last, so that each
// such marker is found only far down the page.
struct MalformedCase {
  std::string name;
  std::string missing;      // taken out of every hit but the last
  std::string replacement;
};

class MalformedHits : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedHits, KeepEachCellWithinItsOwnHit) {
  const MalformedCase& c = GetParam();
  constexpr int kHits = 400;
  std::string body;
  for (int i = 0; i < kHits; ++i) {
    std::string hit = Hit("s" + std::to_string(i), "01/01/2001", "p" + std::to_string(i));
    if (i + 1 < kHits) hit.replace(hit.find(c.missing), c.missing.size(), c.replacement);
    body += hit;
  }
  body += kTail;
  MemoryGrid table = ClearedTable();
  const PageCutResult cut = CutResultsPage(body, 1, "ng", table);

  std::size_t cellBytes = 0;
  for (std::size_t row = 1; row < table.RowCount(); ++row)
    for (int col = 0; col < 3; ++col) cellBytes += table.Cell(col, row).size();
  // Each hit's cells lie within the hit: the table holds at most three times
  // the page, never a copy of the rest of the page per row.
  EXPECT_LE(cellBytes, 3 * body.size());
  EXPECT_EQ(cut.cursor, static_cast<std::size_t>(kHits) + 2);
  EXPECT_EQ(RowOf(table, kHits), (Row{"s399", "01/01/2001", "p399", "ng"}));
  EXPECT_EQ(table.Cell(2, 1), "p0");
}

INSTANTIATE_TEST_SUITE_P(
    Pages, MalformedHits,
    ::testing::Values(MalformedCase{"NoSubjectEnd", "&quot; yEnc</", "&quot; </"},
                      MalformedCase{"NoDateEnd", "&nbsp;</td><td><span>", "</td><td><span>"}),
    [](const auto& info) { return info.param.name; });

TEST(CutResultsPageTest, LongPageGivesEveryHit) {
  std::string body;
  for (int i = 0; i < 4000; ++i) body += Hit("s" + std::to_string(i), "01/01/2001", "p");
  body += kTail;
  MemoryGrid table = ClearedTable();
  const PageCutResult cut = CutResultsPage(body, 1, "ng", table);
  EXPECT_EQ(cut.cursor, 4002u);
  EXPECT_EQ(table.Cell(0, 4000), "s3999");
}

}  // namespace
}  // namespace veskor
