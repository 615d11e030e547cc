#pragma once
// Keeps the editor's list of groups and the group list file in step: the list
// is loaded when the editor is shown and saved each time it loses activation,
// yet a file that exists but could not be read is never overwritten by the
// empty list its failure left behind, and a list that could not be saved is
// neither dropped silently nor replaced by the older file at the next show.

#include <string>
#include <vector>

#include "groups/group_store.h"

namespace veskor {

class GroupListKeeper {
 public:
  // Fills `list` from the group list file, unless it holds changes that could
  // not be saved yet; then `list` is left as it is. Returns the report to show
  // (Windows-1252), empty when there is none.
  std::string Load(DropDownList& list);

  // The user created or deleted a group: the list is theirs to save now.
  void Changed();

  // Saves `names` as the group list, unless the file must be kept. Returns
  // the report of a failed save that leaves the file different from `names`;
  // empty when the save worked, was held back, or lost nothing.
  std::string Save(const std::vector<std::string>& names);

  // True while the last save failed and its names are not on disk.
  bool Unsaved() const { return unsaved_; }

 private:
  // The file exists but was not read, and the user has changed nothing.
  bool keepFile_ = false;
  bool unsaved_ = false;
};

}  // namespace veskor
