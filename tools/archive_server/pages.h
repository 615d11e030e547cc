#pragma once
// The archive's HTML pages, as Windows-1252 (served as ISO-8859-1) bytes.
//
// A results page is three pieces so that faults can cut or poison it at a
// chosen place: the head (everything before the first hit), one line per hit,
// and the tail (end of the table, page links, footer). The client cuts hits
// out of the text with fixed markers; the head and the tail hold none of them
// and hold no text of the form ">N<" other than the page links.

#include <string>
#include <string_view>
#include <vector>

#include "tools/archive_server/corpus.h"
#include "tools/archive_server/query.h"

namespace veskor::archive {

inline constexpr std::string_view kHtmlContentType = "text/html; charset=ISO-8859-1";

// & < > " as entities.
std::string HtmlEscape(std::string_view text);

struct ResultsRequest {
  std::string gid;                       // as the client sent it (decoded)
  std::string word;                      // decoded search word, "%" as wildcard
  const Newsgroup* newsgroup = nullptr;  // nothing for an unknown gid
  ResultsSlice slice;
  bool withLinks = true;  // false: no ".pl" anywhere after the hits
};

struct ResultsPage {
  std::string head;
  std::vector<std::string> hits;  // each ends in CR LF
  std::string tail;

  std::string Text() const;
};

// One hit exactly as the client reads it, CR LF included.
std::string HitLine(std::string_view gid, const Post& post);

ResultsPage RenderResultsPage(const ResultsRequest& request);

std::string RenderArticlePage(std::string_view gid, const Newsgroup& group, const Post& post);

// The ID stands between the first "ok=" and the first "'\">".
std::string RenderLookupReply(std::string_view name, std::string_view id);

// A well-formed page without any "ok=".
std::string RenderLookupWithoutId();

std::string RenderServerErrorPage();
std::string RenderNotFoundPage(std::string_view path);
std::string RenderRedirectPage(std::string_view location);

// A maintenance notice: no results page and no ".pl" in it.
std::string RenderNotResultsPage();

// One line that the huge page repeats after its hits.
std::string HugePageFiller();

}  // namespace veskor::archive
