#include "groups/seen_record_format.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <stdexcept>

#include "engine/archive_requests.h"

namespace veskor {
namespace {

constexpr std::string_view kHeader = "# Veskor : r\xE9sultats d\xE9j\xE0 vus (format 1)";
constexpr std::string_view kSearchTag = "R";
constexpr std::string_view kNewsgroupKind = "newsgroup";
constexpr std::string_view kGroupKind = "groupe";
constexpr std::string_view kCrLf = "\r\n";

std::uint64_t HashOf(std::string_view address) { return std::hash<std::string_view>{}(address); }

// The fields of a line between tabs.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return fields;
    line.remove_prefix(tab + 1);
  }
}

bool ValidField(std::string_view field) {
  for (std::size_t i = field.find('\\'); i != std::string_view::npos;
       i = field.find('\\', i + 2)) {
    if (i + 1 >= field.size() || std::string_view("\\trn").find(field[i + 1]) == std::string_view::npos)
      return false;
  }
  return true;
}

std::optional<SearchKey> SearchOfLine(std::string_view line) {
  const std::vector<std::string_view> fields = Fields(line);
  if (fields.size() != 4 || fields[0] != kSearchTag) return std::nullopt;
  if (!ValidField(fields[2]) || !ValidField(fields[3])) return std::nullopt;
  SearchKey key;
  if (fields[1] == kGroupKind) key.kind = SearchKey::Kind::Group;
  else if (fields[1] != kNewsgroupKind) return std::nullopt;
  key.target = UnescapeSeenField(fields[2]);
  key.word = UnescapeSeenField(fields[3]);
  return key;
}

std::string SearchLine(const SearchKey& key) {
  std::string line(kSearchTag);
  line += '\t';
  line += key.kind == SearchKey::Kind::Group ? kGroupKind : kNewsgroupKind;
  line += '\t' + EscapeSeenField(key.target) + '\t' + EscapeSeenField(key.word);
  return line += kCrLf;
}

}  // namespace

SearchKey SearchKey::Quick(std::string_view word, std::string_view newsgroup) {
  return {Kind::Newsgroup, std::string(newsgroup), SpacesToPercent(word)};
}

SearchKey SearchKey::OfGroup(std::string_view word, std::string_view groupName) {
  return {Kind::Group, std::string(groupName), SpacesToPercent(word)};
}

std::optional<std::uint32_t> ParsedSeenRecord::IndexOf(const SearchKey& key) const {
  const auto found = std::find(searches.begin(), searches.end(), key);
  if (found == searches.end()) return std::nullopt;
  return static_cast<std::uint32_t>(found - searches.begin());
}

std::string EscapeSeenField(std::string_view text) {
  std::string field;
  field.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\': field += "\\\\"; break;
      case '\t': field += "\\t"; break;
      case '\r': field += "\\r"; break;
      case '\n': field += "\\n"; break;
      default: field += c;
    }
  }
  return field;
}

std::string UnescapeSeenField(std::string_view field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      text += field[i];
      continue;
    }
    switch (field[++i]) {
      case 't': text += '\t'; break;
      case 'r': text += '\r'; break;
      case 'n': text += '\n'; break;
      default: text += field[i];
    }
  }
  return text;
}

std::optional<ParsedSeenRecord> ParseSeenRecord(std::string_view bytes, std::string& why) {
  ParsedSeenRecord record;
  if (bytes.empty()) return record;
  // Where each R line's number leads: a search named twice is one search.
  std::vector<std::uint32_t> numbered;
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    while (line.ends_with('\r')) line.remove_suffix(1);

    if (lineNumber == 1) {
      if (line != kHeader) {
        why = "ce n'est pas un relev\xE9 des r\xE9sultats vus";
        return std::nullopt;
      }
      continue;
    }
    if (line.empty()) continue;
    const auto bad = [&] {
      why = "la ligne " + std::to_string(lineNumber) + " est illisible";
      return std::nullopt;
    };
    if (line.starts_with(kSearchTag)) {
      const std::optional<SearchKey> key = SearchOfLine(line);
      if (!key) return bad();
      const std::optional<std::uint32_t> known = record.IndexOf(*key);
      numbered.push_back(known ? *known : static_cast<std::uint32_t>(record.searches.size()));
      if (!known) record.searches.push_back(std::move(*key));
      continue;
    }
    const std::size_t tab = line.find('\t');
    std::uint32_t number = 0;
    const char* digitsEnd = line.data() + std::min(tab, line.size());
    const auto [parsed, error] = std::from_chars(line.data(), digitsEnd, number);
    const std::string_view address =
        tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    if (error != std::errc() || parsed != digitsEnd || number == 0 || number > numbered.size() ||
        address.empty() || address.find('\t') != std::string_view::npos || !ValidField(address))
      return bad();
    record.lines.push_back({numbered[number - 1], address});
  }
  return record;
}

std::string MergeSeenRecord(const ParsedSeenRecord& current, const SearchKey& key,
                            const std::vector<std::string>& added, std::size_t capacity) {
  std::vector<SearchKey> searches = current.searches;
  const std::uint32_t ours = current.IndexOf(key).value_or(static_cast<std::uint32_t>(searches.size()));
  if (ours == searches.size()) searches.push_back(key);

  AddressSet again;
  for (const std::string& address : added) again.Insert(address);
  again.Seal();

  // An address seen again moves to the end, among the newest.
  std::vector<bool> moved(current.lines.size(), false);
  std::size_t movedCount = 0;
  for (std::size_t i = 0; i < current.lines.size(); ++i) {
    const ParsedSeenRecord::Line& line = current.lines[i];
    if (line.search == ours && again.Contains(line.address)) {
      moved[i] = true;
      ++movedCount;
    }
  }
  const std::size_t total = current.lines.size() - movedCount + added.size();
  std::size_t toDrop = total > capacity ? total - capacity : 0;
  std::vector<ParsedSeenRecord::Line> lines;
  lines.reserve(total - toDrop);
  std::vector<std::size_t> before(searches.size(), 0), after(searches.size(), 0);
  const auto take = [&](ParsedSeenRecord::Line line) {
    ++before[line.search];
    if (toDrop > 0) {
      --toDrop;
      return;
    }
    ++after[line.search];
    lines.push_back(line);
  };
  for (std::size_t i = 0; i < current.lines.size(); ++i)
    if (!moved[i]) take(current.lines[i]);
  for (const std::string& address : added) take({ours, address});

  // The searches that stay, numbered anew in their order.
  std::vector<std::uint32_t> number(searches.size(), 0);
  std::string bytes(kHeader);
  bytes += kCrLf;
  std::uint32_t next = 0;
  for (std::size_t s = 0; s < searches.size(); ++s) {
    if (after[s] == 0 && before[s] > 0) continue;
    number[s] = ++next;
    bytes += SearchLine(searches[s]);
  }
  std::size_t size = bytes.size();
  for (const auto& line : lines) size += line.address.size() + 12;
  bytes.reserve(size);
  char digits[16];
  for (const auto& line : lines) {
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, number[line.search]);
    bytes.append(digits, end);
    bytes += '\t';
    bytes += line.address;
    bytes += kCrLf;
  }
  return bytes;
}

void AddressSet::Reserve(std::size_t count, std::size_t bytes) {
  entries_.reserve(count);
  text_.reserve(bytes);
}

void AddressSet::Insert(std::string_view address) {
  if (text_.size() + address.size() > UINT32_MAX) throw std::length_error("relev\xE9 trop grand");
  entries_.push_back({HashOf(address), static_cast<std::uint32_t>(text_.size()),
                      static_cast<std::uint32_t>(address.size())});
  text_ += address;
}

void AddressSet::Seal() {
  std::sort(entries_.begin(), entries_.end(),
            [](const Entry& a, const Entry& b) { return a.hash < b.hash; });
}

bool AddressSet::Contains(std::string_view address) const {
  const std::uint64_t hash = HashOf(address);
  auto it = std::lower_bound(entries_.begin(), entries_.end(), hash,
                             [](const Entry& e, std::uint64_t h) { return e.hash < h; });
  for (; it != entries_.end() && it->hash == hash; ++it)
    if (std::string_view(text_).substr(it->offset, it->length) == address) return true;
  return false;
}

}  // namespace veskor
