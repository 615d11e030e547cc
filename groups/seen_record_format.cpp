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

// A field as EscapeSeenField writes it: no tab, and a known letter after
// each backslash. One pass over bytes: it runs for every line of a record.
bool ValidField(std::string_view field) {
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\t') return false;
    if (field[i] != '\\') continue;
    if (++i == field.size()) return false;
    const char c = field[i];
    if (c != '\\' && c != 't' && c != 'r' && c != 'n') return false;
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
  record.bytes = bytes;
  if (bytes.empty()) return record;
  if (bytes.size() > UINT32_MAX) {
    why = "fichier trop grand";
    return std::nullopt;
  }
  record.lines.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
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
        address.empty() || !ValidField(address))
      return bad();
    record.lines.push_back({numbered[number - 1], static_cast<std::uint32_t>(address.data() - bytes.data()),
                            static_cast<std::uint32_t>(address.size())});
  }
  return record;
}

std::string MergeSeenRecord(const ParsedSeenRecord& current, const SearchKey& key,
                            const std::vector<std::string>& added, std::size_t capacity) {
  std::vector<SearchKey> searches = current.searches;
  const std::uint32_t ours = current.IndexOf(key).value_or(static_cast<std::uint32_t>(searches.size()));
  if (ours == searches.size()) searches.push_back(key);

  // An address seen again moves to the end, among the newest.
  AddressSet again;
  for (const std::string& address : added) again.Append(address);
  again.Index();
  std::vector<bool> moved(current.lines.size(), false);
  std::size_t movedCount = 0;
  for (std::size_t i = 0; i < current.lines.size(); ++i) {
    const ParsedSeenRecord::Line& line = current.lines[i];
    if (line.search == ours && again.Contains(current.Address(line))) {
      moved[i] = true;
      ++movedCount;
    }
  }
  const std::size_t total = current.lines.size() - movedCount + added.size();
  const std::size_t dropped = total > capacity ? total - capacity : 0;

  // Every line that stays, oldest first, to `visit`(search, address, kept):
  // the first `dropped` of them are not kept.
  const auto walk = [&](auto visit) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < current.lines.size(); ++i) {
      if (moved[i]) continue;
      const ParsedSeenRecord::Line& line = current.lines[i];
      visit(line.search, current.Address(line), seen++ >= dropped);
    }
    for (const std::string& address : added) visit(ours, std::string_view(address), seen++ >= dropped);
  };

  std::vector<std::size_t> before(searches.size(), 0), after(searches.size(), 0);
  std::size_t addressBytes = 0;
  walk([&](std::uint32_t search, std::string_view address, bool kept) {
    ++before[search];
    if (!kept) return;
    ++after[search];
    addressBytes += address.size();
  });

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
  // All that follows, so that a full record is built without a copy.
  char digits[16];
  const auto widest = std::to_chars(digits, digits + sizeof digits, next).ptr - digits;
  bytes.reserve(bytes.size() + addressBytes +
                (total - dropped) * (static_cast<std::size_t>(widest) + 3));
  walk([&](std::uint32_t search, std::string_view address, bool kept) {
    if (!kept) return;
    const auto end = std::to_chars(digits, digits + sizeof digits, number[search]).ptr;
    bytes.append(digits, end);
    bytes += '\t';
    bytes += address;
    bytes += kCrLf;
  });
  return bytes;
}

void AddressSet::Reserve(std::size_t count, std::size_t bytes) {
  entries_.reserve(count);
  text_.reserve(bytes);
}

void AddressSet::Append(std::string_view address) {
  if (text_.size() + address.size() > UINT32_MAX || entries_.size() >= UINT32_MAX / 2)
    throw std::length_error("relev\xE9 trop grand");
  entries_.push_back({static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(address.size())});
  text_ += address;
}

void AddressSet::Index() {
  // At most half full, so that a probe meets a free slot soon.
  std::size_t slots = 16;
  while (slots < 2 * entries_.size()) slots *= 2;
  Rehash(slots);
}

void AddressSet::Insert(std::string_view address) {
  Append(address);
  const auto index = static_cast<std::uint32_t>(entries_.size() - 1);
  if (2 * entries_.size() > slots_.size()) Rehash(std::max<std::size_t>(16, 2 * slots_.size()));
  else Put(index, HashOf(At(index)) & (slots_.size() - 1));
}

void AddressSet::Release() {
  // A string moved over keeps its own buffer: only a swap lets it go.
  std::string().swap(text_);
  std::vector<Entry>().swap(entries_);
  std::vector<std::uint32_t>().swap(slots_);
}

void AddressSet::Put(std::uint32_t index, std::size_t slot) {
  const std::size_t mask = slots_.size() - 1;
  while (slots_[slot] != 0) slot = (slot + 1) & mask;
  slots_[slot] = index + 1;
}

void AddressSet::Rehash(std::size_t slots) {
  slots_.assign(slots, 0);
  const std::size_t mask = slots - 1;
  // A full record's table is larger than the caches: each address's slot is
  // fetched a few addresses ahead, so that the misses overlap.
  constexpr std::uint32_t kAhead = 8;
  std::size_t home[kAhead];
  const auto count = static_cast<std::uint32_t>(entries_.size());
  for (std::uint32_t i = 0; i < count + kAhead; ++i) {
    if (i >= kAhead) Put(i - kAhead, home[i % kAhead]);
    if (i < count) {
      home[i % kAhead] = HashOf(At(i)) & mask;
      __builtin_prefetch(&slots_[home[i % kAhead]], 1);
    }
  }
}

bool AddressSet::Contains(std::string_view address) const {
  if (slots_.empty()) return false;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = HashOf(address) & mask; slots_[slot] != 0; slot = (slot + 1) & mask)
    if (At(slots_[slot] - 1) == address) return true;
  return false;
}

}  // namespace veskor
