#include "tools/archive_server/query.h"

#include <algorithm>

namespace veskor::archive {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

std::vector<QueryField> ParseQuery(std::string_view query) {
  std::vector<QueryField> fields;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view field = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (field.empty()) continue;
    const std::size_t eq = field.find('=');
    const std::string_view key = field.substr(0, eq);
    const std::string_view raw = eq == std::string_view::npos ? "" : field.substr(eq + 1);
    fields.push_back({PercentDecode(key), PercentDecode(raw), std::string(raw)});
  }
  return fields;
}

const std::string* FirstValue(const std::vector<QueryField>& fields, std::string_view key) {
  for (const QueryField& field : fields) {
    if (field.key == key) return &field.value;
  }
  return nullptr;
}

unsigned char FoldCase(unsigned char byte) {
  if (byte >= 'A' && byte <= 'Z') return byte + ('a' - 'A');
  if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) return byte + 0x20;
  switch (byte) {
    case 0x8A:
      return 0x9A;  // Š
    case 0x8C:
      return 0x9C;  // Œ
    case 0x8E:
      return 0x9E;  // Ž
    case 0x9F:
      return 0xFF;  // Ÿ
    default:
      return byte;
  }
}

std::string FoldText(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  return folded;
}

bool MatchesPattern(std::string_view subject, std::string_view pattern) {
  return MatchesFolded(FoldText(subject), FoldText(pattern));
}

bool MatchesFolded(std::string_view text, std::string_view wanted) {
  // With "%" as the only wildcard and a match allowed anywhere, taking each
  // literal piece at its first place after the previous one never misses.
  std::size_t from = 0;
  std::size_t start = 0;
  while (start <= wanted.size()) {
    std::size_t cut = wanted.find('%', start);
    if (cut == std::string_view::npos) cut = wanted.size();
    const std::string_view piece = wanted.substr(start, cut - start);
    if (!piece.empty()) {
      const std::size_t at = text.find(piece, from);
      if (at == std::string_view::npos) return false;
      from = at + piece.size();
    }
    start = cut + 1;
  }
  return true;
}

ResultsSlice SliceOfMatches(const std::vector<const Post*>& matches, long long page,
                            int pageSize) {
  ResultsSlice slice;
  slice.page = page;
  slice.total = matches.size();
  const auto size = static_cast<long long>(pageSize > 0 ? pageSize : 1);
  slice.pageCount = (static_cast<long long>(matches.size()) + size - 1) / size;
  if (page >= 1 && page <= slice.pageCount) {
    const auto first = static_cast<std::size_t>((page - 1) * size);
    const std::size_t last = std::min(matches.size(), first + static_cast<std::size_t>(size));
    slice.hits.assign(matches.begin() + static_cast<std::ptrdiff_t>(first),
                      matches.begin() + static_cast<std::ptrdiff_t>(last));
  }
  return slice;
}

ResultsSlice SearchNewsgroup(const Newsgroup& group, std::string_view word, long long page,
                             int pageSize) {
  std::vector<const Post*> matched;
  for (const Post& post : group.posts) {
    if (MatchesPattern(post.subject, word)) matched.push_back(&post);
  }
  return SliceOfMatches(matched, page, pageSize);
}

}  // namespace veskor::archive
