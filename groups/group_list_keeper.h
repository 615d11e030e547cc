#pragma once
// Keeps the editor's list of groups and the group list file in step. The
// editor loads the list when it is shown and saves it each time it loses
// activation; what it saves is not its whole list but the groups it created
// and deleted since its last save, applied to the file as it is then. So a
// second program in the same folder, or a hand, may change the list while
// the editor is open: their names stay. An editor that changed nothing writes
// nothing, which also keeps a file that could not be read from being
// overwritten; and changes that could not be saved are neither dropped
// silently nor lost at the next show.

#include <cstddef>
#include <string>
#include <vector>

#include "groups/group_store.h"

namespace veskor {

class GroupListKeeper {
 public:
  // Fills `list` from the group list file, with the changes not saved yet
  // applied. Returns the report to show (Windows-1252), empty when there is
  // none.
  std::string Load(DropDownList& list);

  // The user created a group, or listed again one whose file was there.
  void Created(const std::string& name);
  void Relisted(const std::string& name);
  // The user deleted the `occurrence`-th line (from 0) named `name`.
  void Deleted(const std::string& name, std::size_t occurrence);

  // Writes the changes not saved yet. Returns the report of a save that
  // failed, empty when it worked or had nothing to do; the changes are then
  // kept for the next save.
  std::string Save();

 private:
  // The list as this editor read or wrote it last: what the changes apply
  // to when the file cannot be read.
  std::vector<std::string> base_;
  std::vector<ListChange> pending_;
};

}  // namespace veskor
