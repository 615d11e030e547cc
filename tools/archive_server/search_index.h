#pragma once
// The searches of a served corpus, made cheap for a client that walks a
// long result page after page: every subject is case-folded once, when the
// index is built, and the match lists of the last few (newsgroup, word)
// searches are kept, so page 2 to page 500 of one search only cut a slice.
//
// Safe to use from many connection threads at once.

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tools/archive_server/corpus.h"
#include "tools/archive_server/query.h"

namespace veskor::archive {

class SearchIndex {
 public:
  using Matches = std::vector<const Post*>;

  // `newsgroups` must outlive the index and keep their posts unchanged.
  SearchIndex(const std::vector<const Newsgroup*>& newsgroups, std::size_t keptSearches);
  SearchIndex(const SearchIndex&) = delete;
  SearchIndex& operator=(const SearchIndex&) = delete;

  // Page `page` of the posts of `group` whose subject matches `word`, as
  // SearchNewsgroup gives it. A newsgroup not given at construction is
  // searched the slow way.
  ResultsSlice Search(const Newsgroup& group, std::string_view word, long long page,
                      int pageSize) const;

  // How many searches ran over a whole newsgroup: cached pages do not count.
  std::size_t FullSearchCount() const;

 private:
  struct Key {
    const Newsgroup* group;
    std::string foldedWord;
    bool operator==(const Key&) const = default;
  };

  std::shared_ptr<const Matches> FindOrMatch(const Newsgroup& group, std::string_view word) const;
  std::shared_ptr<const Matches> MatchAll(const Newsgroup& group,
                                          std::string_view foldedWord) const;

  std::unordered_map<const Newsgroup*, std::vector<std::string>> foldedSubjects_;
  std::size_t keptSearches_;

  mutable std::mutex mutex_;
  // Most recently used first; a handful of entries, so a list is enough.
  mutable std::list<std::pair<Key, std::shared_ptr<const Matches>>> recent_;
  mutable std::size_t fullSearches_ = 0;
};

}  // namespace veskor::archive
