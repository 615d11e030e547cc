#pragma once
// The client's way of cutting hits out of a results page, redone here with
// plain std::string::find so that the archive's pages can be checked against
// it without the engine: markers searched from position 0 of the remaining
// text, unsigned wrap-around offsets, an exception for a cut that starts past
// the end of its text.

#include <stdexcept>
#include <string>
#include <vector>

namespace veskor::archive::testing_cut {

struct CutRow {
  std::string date;
  std::string subject;
  std::string poster;
};

struct PageCut {
  std::vector<CutRow> rows;  // the hits; the overrun pass is not among them
  std::string rest;          // what the client searches for ">N<"
};

inline std::string Piece(const std::string& text, std::size_t start, std::size_t length) {
  if (start > text.size()) throw std::out_of_range("cut past the end");
  return text.substr(start, length);
}

// Throws std::out_of_range where the client would fail. `maxPasses` stops
// pages that never end the loop.
inline PageCut CutLikeTheClient(std::string text, std::size_t maxPasses = 100000) {
  const std::size_t bodyEnd = text.find('\0');
  if (bodyEnd != std::string::npos) text.resize(bodyEnd);
  PageCut cut;
  for (std::size_t pass = 0; pass < maxPasses; ++pass) {
    CutRow row;
    const std::size_t dateStart = text.find("nowrap>&nbsp;") + 13;
    row.date = Piece(text, dateStart, text.find("5&nbsp;</td>") + 1 - dateStart);
    const std::size_t spanStart = text.find("<td><a href=\"") + 13;
    const std::size_t spanEnd = text.find("&quot; yEnc</");
    const std::string span = Piece(text, spanStart, spanEnd - spanStart);
    const std::size_t subjectStart = span.find("><b>") + 4;
    row.subject = Piece(span, subjectStart, spanEnd - subjectStart);
    if (const std::size_t quot = row.subject.find("&quot;"); quot != std::string::npos) {
      row.subject.erase(quot, 6);
    }
    const std::size_t posterStart = text.find(")&nbsp; ") + 8;
    const std::size_t posterEnd = text.find("</span></td>");
    row.poster = Piece(text, posterStart, posterEnd - posterStart);
    text = Piece(text, posterEnd + 14, std::string::npos);
    if (row.poster.find(".pl") != std::string::npos) {
      cut.rest = text;
      return cut;  // this pass's row is the one the client blanks
    }
    cut.rows.push_back(std::move(row));
  }
  throw std::runtime_error("the row loop never ended");
}

inline std::string PageLinkText(long long page) { return ">" + std::to_string(page) + "<"; }

}  // namespace veskor::archive::testing_cut
