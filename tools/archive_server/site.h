#pragma once
// What the archive answers to a request, decided without any networking:
// the server hands over the request target and delivers the Reply as told
// (delay, early close, stall, streamed body).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/archive_server/corpus.h"
#include "tools/archive_server/faults.h"
#include "tools/archive_server/search_index.h"

namespace veskor::archive {

struct SiteSettings {
  int pageSize = 20;
  std::chrono::milliseconds slowDelay{2000};
  std::optional<Fault> fault;  // applied to every results page when set
};

inline constexpr std::uint64_t kHugeBodySize = 80ull * 1024 * 1024;

struct Reply {
  enum class Ending {
    kComplete,  // the whole body
    kClose,     // sentBeforeEnding bytes, then the connection is closed
    kStall,     // sentBeforeEnding bytes, then silence
  };

  int status = 200;
  std::string contentType;
  std::string location;  // redirects only
  std::string body;
  std::chrono::milliseconds delay{0};
  Ending ending = Ending::kComplete;
  std::size_t sentBeforeEnding = 0;
  // When not zero the body is `body` followed by `filler` repeated, cut at
  // this many bytes, and is produced piece by piece.
  std::uint64_t streamedSize = 0;
  std::string filler;
  // Sent after the whole reply, on the same connection: a reply to no request.
  std::string afterReply;

  // The Content-Length the reply announces.
  std::uint64_t DeclaredLength() const;
  // Appends up to `length` bytes of the full body from `offset` on.
  void AppendBody(std::uint64_t offset, std::size_t length, std::string& out) const;
};

class ArchiveSite {
 public:
  ArchiveSite(Corpus corpus, SiteSettings settings);
  // The search index points into the corpus held here.
  ArchiveSite(const ArchiveSite&) = delete;
  ArchiveSite& operator=(const ArchiveSite&) = delete;

  // `target` is the request line's target as sent: path, "?", raw query.
  Reply Answer(std::string_view target) const;

  const Corpus& corpus() const { return corpus_; }
  const Newsgroup& faultNewsgroup() const { return faultNewsgroup_; }
  const SearchIndex& searchIndex() const { return index_; }

 private:
  Reply AnswerLookup(std::string_view query) const;
  Reply AnswerArticles(std::string_view target, std::string_view query) const;
  const Newsgroup* FindNewsgroup(std::string_view gid) const;

  Corpus corpus_;
  Newsgroup faultNewsgroup_;
  SiteSettings settings_;
  SearchIndex index_;
};

}  // namespace veskor::archive
