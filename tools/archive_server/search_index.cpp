#include "tools/archive_server/search_index.h"

namespace veskor::archive {

SearchIndex::SearchIndex(const std::vector<const Newsgroup*>& newsgroups,
                         std::size_t keptSearches)
    : keptSearches_(keptSearches) {
  for (const Newsgroup* group : newsgroups) {
    std::vector<std::string>& folded = foldedSubjects_[group];
    folded.reserve(group->posts.size());
    for (const Post& post : group->posts) folded.push_back(FoldText(post.subject));
  }
}

ResultsSlice SearchIndex::Search(const Newsgroup& group, std::string_view word, long long page,
                                 int pageSize) const {
  const std::shared_ptr<const Matches> matches = FindOrMatch(group, word);
  return SliceOfMatches(*matches, page, pageSize);
}

std::size_t SearchIndex::FullSearchCount() const {
  const std::lock_guard lock(mutex_);
  return fullSearches_;
}

std::shared_ptr<const SearchIndex::Matches> SearchIndex::FindOrMatch(const Newsgroup& group,
                                                                     std::string_view word) const {
  Key key{&group, FoldText(word)};
  {
    const std::lock_guard lock(mutex_);
    for (auto entry = recent_.begin(); entry != recent_.end(); ++entry) {
      if (entry->first == key) {
        recent_.splice(recent_.begin(), recent_, entry);
        return recent_.front().second;
      }
    }
  }
  // Matched outside the lock: a long search must not hold up the pages of
  // other searches. Two threads may both match the same new search; the
  // second result simply replaces the first.
  std::shared_ptr<const Matches> matches = MatchAll(group, key.foldedWord);
  const std::lock_guard lock(mutex_);
  ++fullSearches_;
  if (keptSearches_ == 0) return matches;
  for (auto entry = recent_.begin(); entry != recent_.end(); ++entry) {
    if (entry->first == key) {
      recent_.erase(entry);
      break;
    }
  }
  recent_.emplace_front(std::move(key), matches);
  if (recent_.size() > keptSearches_) recent_.pop_back();
  return matches;
}

std::shared_ptr<const SearchIndex::Matches> SearchIndex::MatchAll(
    const Newsgroup& group, std::string_view foldedWord) const {
  auto matches = std::make_shared<Matches>();
  const auto folded = foldedSubjects_.find(&group);
  for (std::size_t i = 0; i < group.posts.size(); ++i) {
    const bool hit = folded != foldedSubjects_.end()
                         ? MatchesFolded(folded->second[i], foldedWord)
                         : MatchesFolded(FoldText(group.posts[i].subject), foldedWord);
    if (hit) matches->push_back(&group.posts[i]);
  }
  return matches;
}

}  // namespace veskor::archive
