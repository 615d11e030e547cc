#pragma once
// The record of what was seen: the article addresses of the hits that earlier
// runs of a search showed, so that a run can tell its new hits from the rest.
//
// A search loads the record once before it starts, asks IsNew for each hit,
// Adds the hits it shows and Saves once at its end:
//
//   SeenRecord seen(kSeenRecordFile, SearchKey::Quick(word, newsgroup));
//   if (seen.Load() == FileRead::Unreadable) report(seen.Problem());
//   ... for each hit shown:  bold = seen.SearchKnown() && seen.IsNew(link);
//                            seen.Add(link);
//   seen.Save();   // at the end; throws SeenRecordError
//
// One file holds every search, each under its key (seen_record_format.h),
// and keeps the newest kSeenRecordCapacity addresses of them all. It is
// rewritten whole through ReplaceFileContents, so a kill or a full disk
// leaves the old record or the new one; Save reads it again under a lock
// and merges, so two programs saving the same record lose nothing of each
// other's. A file that is there but cannot be read, or is no record, is
// never written over.

#include <string>
#include <string_view>
#include <vector>

#include "engine/errors.h"
#include "groups/group_store.h"
#include "groups/seen_record_format.h"

namespace veskor {

// The window's record, beside the group files in the working directory.
inline constexpr char kSeenRecordFile[] = "resultats-vus.lst";

// A record that could not be saved; the message is French (Windows-1252).
class SeenRecordError : public VeskorError {
 public:
  using VeskorError::VeskorError;
};

class SeenRecord {
 public:
  // `path` in the file system's encoding (UTF-8).
  SeenRecord(std::string path, SearchKey key);

  // Reads the record. Missing: nothing seen yet. Unreadable: Problem() says
  // why, and Save will refuse.
  FileRead Load();
  const std::string& Problem() const { return problem_; }

  // Whether an earlier run of this search was recorded, even one without hits.
  bool SearchKnown() const { return searchKnown_; }

  // Whether no earlier run showed this address. What this run Adds does not
  // change the answer: a hit met twice in one run is new both times. A hit
  // without an address cannot be recognised and is always new.
  bool IsNew(std::string_view address) const;

  // A hit shown by this run; it becomes the newest address of the record at
  // Save, also when an earlier run had it. Hits without an address are left
  // out.
  void Add(std::string_view address);

  // Merges this run into the record on disk: every search's addresses, also
  // those other programs saved since Load, then at most the newest
  // kSeenRecordCapacity. Throws SeenRecordError, leaving the file as it was,
  // when it cannot be read or written, and after an Unreadable Load. It ends
  // the run: what Load read is let go first, to make room for the merge, so
  // IsNew is asked before (a failed Save can be tried again).
  void Save();

 private:
  std::string Label() const;

  std::string path_;
  SearchKey key_;
  bool unreadable_ = false;
  std::string problem_;
  bool searchKnown_ = false;
  AddressSet seen_;
  AddressSet addedOnce_;
  std::vector<std::string> added_;  // written form, each once, in order
};

}  // namespace veskor
