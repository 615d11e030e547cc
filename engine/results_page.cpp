#include "engine/results_page.h"

#include <cstring>

#include "engine/text_cut.h"

namespace veskor {
namespace {

// One marker of the page layout, with the byte its search looks for first:
// a byte that is rare in page text, so that almost every candidate it finds
// is a real occurrence.
struct Marker {
  std::string_view text;
  std::size_t anchor;  // index in `text` of the byte looked for first
};

constexpr Marker kDateStart{"nowrap>&nbsp;", 2};    // 'w'
constexpr Marker kDateEnd{"&nbsp;</td>", 9};        // 'd'
constexpr Marker kSpanStart{"<td><a href=\"", 7};   // 'h'
constexpr Marker kSpanEnd{"&quot; yEnc</", 8};      // 'E'
constexpr Marker kPosterStart{")&nbsp; ", 0};       // ')'
constexpr Marker kPosterEnd{"</span></td>", 3};     // 'p'
constexpr std::string_view kSubjectStart = "><b>";
constexpr std::string_view kQuote = "&quot;";
// The next hit starts this far past the poster end marker: the marker itself
// and the line end that follows it.
constexpr std::size_t kAfterPosterEnd = kPosterEnd.text.size() + 2;

// First occurrence of `marker` in `page` at or after `from`. A page holds
// thousands of hits and each needs six searches a few hundred bytes long, so
// a plain memchr on the anchor byte beats a general substring search, whose
// set-up would dominate such short runs.
std::size_t FindAnchored(std::string_view page, const Marker& marker, std::size_t from) {
  const std::size_t size = marker.text.size();
  const char anchor = marker.text[marker.anchor];
  std::size_t at = from + marker.anchor;
  while (at + (size - marker.anchor) <= page.size()) {
    const void* hit = std::memchr(page.data() + at, anchor, page.size() - at);
    if (hit == nullptr) break;
    const std::size_t start = static_cast<std::size_t>(static_cast<const char*>(hit) - page.data()) -
                              marker.anchor;
    if (start + size > page.size()) break;
    // Most false candidates differ in their first or last byte: checking
    // those inline spares a library call for each of them.
    if (page[start] == marker.text.front() && page[start + size - 1] == marker.text.back() &&
        page.compare(start, size, marker.text) == 0)
      return start;
    at = start + marker.anchor + 1;
  }
  return kNotFound;
}

// Finds one marker again and again in a page whose remaining text only ever
// moves forward. An occurrence found once stays the answer until the text has
// moved past it, so each marker's search covers the page once in all, instead
// of once per hit.
class MarkerFinder {
 public:
  MarkerFinder(std::string_view page, const Marker& marker) : page_(page), marker_(marker) {}

  // First occurrence at or after the absolute position `from`.
  std::size_t From(std::size_t from) {
    if (!known_ || from < searchedFrom_ || (found_ != kNotFound && found_ < from)) {
      found_ = FindAnchored(page_, marker_, from);
      searchedFrom_ = from;
      known_ = true;
    }
    return found_;
  }

 private:
  std::string_view page_;
  const Marker& marker_;
  std::size_t found_ = kNotFound;
  std::size_t searchedFrom_ = 0;
  bool known_ = false;
};

// Position relative to `offset`, keeping "not found" as it is.
std::size_t Relative(std::size_t absolute, std::size_t offset) {
  return absolute == kNotFound ? kNotFound : absolute - offset;
}

std::string RemoveFirstQuote(std::string_view subject) {
  std::string out(subject);
  const std::size_t at = FindMarker(out, kQuote);
  if (at != kNotFound) out.erase(at, kQuote.size());
  return out;
}

// The piece of `rest` from `from` with `length`, by the cutting arithmetic,
// but never reaching past `limit`, where the hit's poster ends. A hit whose
// end markers are missing would otherwise pull the rest of the page into each
// of its cells: a page of n such hits would cost n times its own size. Every
// cell of a hit in the archive's layout ends before its poster's end anyway.
std::string_view CutWithinHit(std::string_view rest, std::size_t from, std::size_t length,
                              std::size_t limit) {
  const std::string_view piece = CutPiece(rest, from, length);
  if (from >= limit) return {};
  return piece.substr(0, limit - from);
}

// The article link is what the subject span holds before "><b>", without the
// closing quote of the href attribute.
std::string_view LinkOf(std::string_view span, std::size_t subjectMarker) {
  if (subjectMarker == kNotFound) return {};
  std::string_view link = span.substr(0, subjectMarker);
  if (!link.empty() && link.back() == '"') link.remove_suffix(1);
  return link;
}

}  // namespace

PageCutResult CutResultsPage(std::string_view body, std::size_t row, std::string_view newsgroup,
                             ResultTable& table) {
  const std::string_view page = UpToFirstZero(body);
  MarkerFinder dateStart(page, kDateStart), dateEnd(page, kDateEnd), spanStart(page, kSpanStart),
      spanEnd(page, kSpanEnd), posterStart(page, kPosterStart), posterEnd(page, kPosterEnd);

  std::size_t offset = 0;  // where the remaining text starts in the page
  std::size_t cursor = row;
  for (;;) {
    table.SetRowCount(table.RowCount() + 1);
    const std::string_view rest = page.substr(offset);
    const std::size_t date = Relative(dateStart.From(offset), offset);
    const std::size_t spanFrom = Relative(spanStart.From(offset), offset);
    const std::size_t spanTo = Relative(spanEnd.From(offset), offset);
    const std::size_t poster = Relative(posterStart.From(offset), offset);
    const std::size_t posterTo = Relative(posterEnd.From(offset), offset);
    const std::size_t next = posterTo + kAfterPosterEnd;  // wraps to 13 when not found
    ++cursor;

    if (date == kNotFound || spanFrom == kNotFound || spanTo == kNotFound ||
        poster == kNotFound || posterTo == kNotFound) {
      // No hit left: this pass's row stays blank and the rest is handed on
      // for the next-page link.
      offset = next > rest.size() ? page.size() : offset + next;
      break;
    }

    const std::size_t dateFrom = date + kDateStart.text.size();
    const std::size_t dateTo = Relative(dateEnd.From(offset + dateFrom), offset);
    table.SetCell(1, cursor - 1, CutWithinHit(rest, dateFrom, dateTo - dateFrom, posterTo));

    const std::size_t spanBegin = spanFrom + kSpanStart.text.size();
    const std::string_view span = CutWithinHit(rest, spanBegin, spanTo - spanBegin, posterTo);
    const std::size_t subjectMarker = FindMarker(span, kSubjectStart);
    const std::size_t subjectFrom = subjectMarker + kSubjectStart.size();
    table.SetCell(0, cursor - 1,
                  RemoveFirstQuote(CutPiece(span, subjectFrom, spanTo - subjectFrom)));

    const std::size_t posterFrom = poster + kPosterStart.text.size();
    table.SetCell(2, cursor - 1, CutWithinHit(rest, posterFrom, posterTo - posterFrom, posterTo));
    table.SetCell(3, cursor - 1, newsgroup);
    table.SetRowLink(cursor - 1, LinkOf(span, subjectMarker));

    // A page that ends right after a hit simply has nothing left.
    offset = next > rest.size() ? page.size() : offset + next;
  }

  for (int col = 0; col < 4; ++col) table.SetCell(col, cursor - 1, "");
  table.SetRowLink(cursor - 1, "");
  return {std::string(page.substr(offset)), cursor};
}

}  // namespace veskor
