#pragma once
// The layout of a record of seen hits, apart from any file: reading it,
// finding the addresses of one search in it, and writing it anew with one
// search's additions merged in.
//
// The record is Windows-1252 text with CR LF line ends:
//
//   # Veskor : résultats déjà vus (format 1)
//   R<TAB>newsgroup<TAB>fr.rec.photo<TAB>jpg
//   R<TAB>groupe<TAB>Sciences<TAB>%clair%
//   1<TAB>articles.pl?gid=512&art=1109
//   2<TAB>articles.pl?gid=268&art=1040
//
// An R line names a search; the searches are numbered 1, 2... in the order of
// their R lines. Every other line is one address seen by the search of its
// number, oldest first across all searches, so that the oldest can be dropped
// first whatever search they belong to. In a field, a backslash, a tab, a CR
// and an LF are written \\, \t, \r and \n. An empty file is an empty record.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veskor {

// What the record knows a search by: the quick search by its newsgroup, the
// group search by its group, both with the word as the archive gets it.
struct SearchKey {
  enum class Kind { Newsgroup, Group };
  Kind kind = Kind::Newsgroup;
  std::string target;  // the newsgroup or the group name
  std::string word;

  // The word as typed: "deux mots" and "deux%mots" are one search.
  static SearchKey Quick(std::string_view word, std::string_view newsgroup);
  static SearchKey OfGroup(std::string_view word, std::string_view groupName);
  bool operator==(const SearchKey&) const = default;
};

inline constexpr std::size_t kSeenRecordCapacity = 100000;

// A record as read, pointing into the bytes it was read from, which must
// outlive it. Addresses stay in their written (escaped) form.
struct ParsedSeenRecord {
  // 12 bytes a line: a full record's table stays near a megabyte.
  struct Line {
    std::uint32_t search;  // index into `searches`
    std::uint32_t offset;  // of the address in `bytes`
    std::uint32_t length;
  };
  std::string_view bytes;
  std::vector<SearchKey> searches;
  std::vector<Line> lines;  // oldest first

  std::string_view Address(const Line& line) const {
    return bytes.substr(line.offset, line.length);
  }
  std::optional<std::uint32_t> IndexOf(const SearchKey& key) const;
};

// Nothing when `bytes` is not a record; `why` then tells what is wrong with
// it (French, Windows-1252).
std::optional<ParsedSeenRecord> ParseSeenRecord(std::string_view bytes, std::string& why);

std::string EscapeSeenField(std::string_view text);
std::string UnescapeSeenField(std::string_view field);

// The record `current` with `key`'s search seen again: `added` (written
// form, no address twice) become its newest addresses, also those it held
// already, then the oldest lines go until at most `capacity` are left. A
// search loses its R line once its last address has gone that way; one that
// never had any keeps it, so that its next run is not taken for its first.
std::string MergeSeenRecord(const ParsedSeenRecord& current, const SearchKey& key,
                            const std::vector<std::string>& added,
                            std::size_t capacity = kSeenRecordCapacity);

// A set of addresses made to be asked often: one block of text and an open
// hash table of small indices into it, a fraction of what a hash set of
// strings takes. Addresses that share a slot are told apart by their text,
// which differs early enough for that to cost less than keeping hashes.
class AddressSet {
 public:
  // Ready to be asked at once.
  void Insert(std::string_view address);
  // Many at once: Reserve, Append each, then Index, before any Contains.
  void Reserve(std::size_t count, std::size_t bytes);
  void Append(std::string_view address);
  void Index();

  bool Contains(std::string_view address) const;
  std::size_t Size() const { return entries_.size(); }
  // Empties the set and gives its memory back.
  void Release();

 private:
  struct Entry {
    std::uint32_t offset;
    std::uint32_t length;
  };
  std::string_view At(std::uint32_t index) const {
    return std::string_view(text_).substr(entries_[index].offset, entries_[index].length);
  }
  void Put(std::uint32_t index, std::size_t slot);
  void Rehash(std::size_t slots);

  std::string text_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> slots_;  // entry index + 1; 0 is a free slot
};

}  // namespace veskor
