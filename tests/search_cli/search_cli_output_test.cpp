// The command-line search's own table and row formats.

#include <gtest/gtest.h>

#include "engine/memory_grid.h"
#include "engine/results_page.h"
#include "tools/search_cli/row_output.h"
#include "tools/search_cli/streaming_table.h"

namespace veskor::search_cli {
namespace {

struct LineCase {
  TableRow row;
  std::string tsv;
  std::string csv;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << testing::PrintToString(c.tsv); }

class RowLine : public testing::TestWithParam<LineCase> {};

TEST_P(RowLine, IsWrittenInUtf8WithItsFormatsEscaping) {
  EXPECT_EQ(TsvLine(GetParam().row), GetParam().tsv);
  EXPECT_EQ(CsvLine(GetParam().row), GetParam().csv);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, RowLine,
    testing::Values(
        LineCase{{"sujet", "01/02/2005", "moi", "fr.test"},
                 "sujet\t01/02/2005\tmoi\tfr.test\n", "sujet,01/02/2005,moi,fr.test\r\n"},
        LineCase{{"", "", "", ""}, "\t\t\t\n", ",,,\r\n"},
        LineCase{{"caf\xE9 \x80", "a,b", "dit \"oui\"", "x"},
                 "caf\xC3\xA9 \xE2\x82\xAC\ta,b\tdit \"oui\"\tx\n",
                 "caf\xC3\xA9 \xE2\x82\xAC,\"a,b\",\"dit \"\"oui\"\"\",x\r\n"},
        LineCase{{"deux\r\nlignes", "tab\there", "\"", "fin\n"},
                 "deux  lignes\ttab here\t\"\tfin \n",
                 "\"deux\r\nlignes\",tab\there,\"\"\"\",\"fin\n\"\r\n"},
        // Cells a spreadsheet would run: disarmed in CSV, as they are in the
        // tab-separated lines that scripts read.
        LineCase{{"=cmd|' /C calc'!A0", "+1", "-x", "@a"},
                 "=cmd|' /C calc'!A0\t+1\t-x\t@a\n", "'=cmd|' /C calc'!A0,'+1,'-x,'@a\r\n"},
        LineCase{{"\tx", "\r=1", "a=b", "=1,2"},
                 " x\t =1\ta=b\t=1,2\n", "'\tx,\"'\r=1\",a=b,\"'=1,2\"\r\n"}));

// A results page in the archive's layout with `hits` hits and a link to page
// `next` (none when 0).
std::string ResultsPage(int first, int hits, int next) {
  std::string page;
  for (int k = first; k < first + hits; ++k) {
    const std::string n = std::to_string(k);
    page += "<td><a href=\"articles.pl?art=" + n + "\"><b>&quot;sujet" + n +
            "&quot; yEnc</b></a></td><td nowrap>&nbsp;03/07/2005&nbsp;</td><td><span>(1)&nbsp; "
            "posteur" + n + "</span></td>\r\n";
  }
  page += "</table>";
  if (next > 0) page += "<a href=articles.pl?gid=42&page=" + std::to_string(next) + ">" + std::to_string(next) + "</a>";
  return page + "<a href=articles.pl>x</a>";
}

TEST(StreamingTable, HandsOnTheSameRowsAsAWholeTableWouldHold) {
  const std::string pages[] = {ResultsPage(1, 2, 2), ResultsPage(3, 0, 3), ResultsPage(4, 3, 0)};

  MemoryGrid whole(4, 2);
  std::vector<TableRow> printed;
  std::vector<std::string> links;
  StreamingTable streamed([&](const TableRow& row, const std::string& link) {
    printed.push_back(row);
    links.push_back(link);
  });
  std::size_t wholeRow = 1, streamedRow = 1;
  for (const std::string& page : pages) {
    wholeRow = CutResultsPage(page, wholeRow, "fr.test", whole).cursor;
    streamedRow = CutResultsPage(page, streamedRow, "fr.test", streamed).cursor;
    streamed.Flush();
    EXPECT_EQ(streamed.RowCount(), whole.RowCount());
  }

  std::vector<TableRow> expected;
  std::vector<std::string> expectedLinks;
  for (std::size_t row = 1; row + 1 < whole.RowCount(); ++row) {
    expected.push_back({whole.Cell(0, row), whole.Cell(1, row), whole.Cell(2, row), whole.Cell(3, row)});
    expectedLinks.push_back(whole.RowLink(row));
  }
  EXPECT_EQ(printed, expected);
  EXPECT_EQ(links, expectedLinks);
  EXPECT_EQ(links.front(), "articles.pl?art=1");
  EXPECT_EQ(expected.size(), 2u + 1 + 0 + 1 + 3 + 1);
}

}  // namespace
}  // namespace veskor::search_cli
