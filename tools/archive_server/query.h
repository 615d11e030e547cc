#pragma once
// Reading a request's query string and finding the posts a search word
// matches, a page at a time.

#include <string>
#include <string_view>
#include <vector>

#include "engine/archive_requests.h"
#include "tools/archive_server/corpus.h"

namespace veskor::archive {

// "%XX" with two hex digits becomes that byte; every other byte, "+" and a
// "%" without two hex digits after it included, stays as it is. The client
// encodes its spaces and wildcards itself, so "+" is never a space here.
std::string PercentDecode(std::string_view text);

// Links on the pages are encoded as the client encodes its requests:
// veskor::PercentEncode, from engine/archive_requests.h.

struct QueryField {
  std::string key;    // decoded
  std::string value;  // decoded
  std::string rawValue;
};

// Splits "a=1&b=2" at "&" and the first "=" of each field, in order; a key
// that comes twice is kept twice.
std::vector<QueryField> ParseQuery(std::string_view query);

// The value of the first field named `key`, or nothing.
const std::string* FirstValue(const std::vector<QueryField>& fields, std::string_view key);

// Lower case of a Windows-1252 byte: ASCII, the Latin-1 letters À-Þ (but
// not ×), and Š Œ Ž Ÿ.
unsigned char FoldCase(unsigned char byte);

// The text with FoldCase applied to every byte.
std::string FoldText(std::string_view text);

// MatchesPattern on texts already folded, for callers that fold each
// subject once and match it many times.
bool MatchesFolded(std::string_view foldedSubject, std::string_view foldedPattern);

// True when `subject` holds `pattern` somewhere, letter case aside, with
// each "%" of the pattern standing for any run of characters (also none).
// An empty pattern matches every subject.
bool MatchesPattern(std::string_view subject, std::string_view pattern);

struct ResultsSlice {
  std::vector<const Post*> hits;  // the requested page's hits, newest first
  std::size_t total = 0;          // hits on all pages
  long long page = 1;
  long long pageCount = 0;  // 0 when nothing matched
};

// Page `page` (from 1) of `matches`, the posts a word matched, newest
// first. A page past the last one holds no hit.
ResultsSlice SliceOfMatches(const std::vector<const Post*>& matches, long long page,
                            int pageSize);

// Page `page` (from 1) of the posts of `group` whose subject matches `word`.
ResultsSlice SearchNewsgroup(const Newsgroup& group, std::string_view word, long long page,
                             int pageSize);

}  // namespace veskor::archive
