#pragma once
// The group list file and the group files, in the working directory.
//
// Both are Windows-1252 text with CR LF line ends, always rewritten whole
// through a temporary file that replaces the old one only once complete
// (ReplaceFileContents). A
// group file is named after its group plus ".txt"; on disk that name is the
// group name converted to UTF-8, while the contents stay Windows-1252.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/errors.h"
#include "engine/string_grid.h"

namespace veskor {

inline constexpr char kGroupListFile[] = "gpeliste.lst";

// A refused group name or a failed write; the message is French.
class StoreError : public VeskorError {
 public:
  using VeskorError::VeskorError;
};

class DropDownList {
 public:
  virtual ~DropDownList() = default;
  virtual void ClearItems() = 0;
  virtual void AppendItem(std::string_view item) = 0;
};

struct GroupEntry {
  std::string newsgroup;
  std::string archiveId;
};

// Missing: nothing of that name, not even a dangling link. Unreadable: there
// is something, but its lines could not be read (no permission, a folder, a
// link to nowhere); it must not be taken for an empty file.
enum class FileRead { Read, Missing, Unreadable };

// Lines of a file by the line reading rule (LF ends a line, the CRs before it
// and those at the very end of the file are dropped, a last line without end
// still counts). `lines` is left alone unless the file was read.
FileRead ReadFileLines(const std::string& path, std::vector<std::string>& lines);

// Empties `list`, then appends each line of the group list file; the list
// stays empty when the file was not read. The caller reports the failure.
FileRead LoadGroupListFile(DropDownList& list);

// The same, for callers that only tell read from not read.
bool LoadGroupList(DropDownList& list);

// Rewrites the group list file. Throws StoreError when a name holds a line
// break or the file cannot be written; the old file is then left as it was.
void SaveGroupList(const std::vector<std::string>& names);

// One change that an editor made to its list of groups. Changes are kept
// rather than the list itself, so that they can be replayed on the list as
// another program, or a hand, has left it on disk meanwhile.
struct ListChange {
  enum class Kind {
    Append,  // a new group: listed at the end, also when listed already
    Relist,  // a group whose file was there: listed at the end unless listed
    Remove,  // one line of that name goes
  };
  Kind kind;
  std::string name;
  // Remove: which of the lines of that name, counted from 0 in the editor's
  // list; the last one when the list holds fewer.
  std::size_t occurrence = 0;

  bool operator==(const ListChange&) const = default;
};

// `names` with `changes` applied in order.
std::vector<std::string> ApplyListChanges(std::vector<std::string> names,
                                          const std::vector<ListChange>& changes);

// Applies `changes` to the group list file as it is now and writes the
// outcome, unless it equals the file; `unreadable` stands for a file that
// exists but cannot be read. Every saver of the list in this folder holds a
// lock on the folder meanwhile, so that no two interleave. Returns the list
// as it now is on disk; throws StoreError, leaving the file alone, when the
// outcome cannot be written.
std::vector<std::string> UpdateGroupList(const std::vector<ListChange>& changes,
                                         const std::vector<std::string>& unreadable);

// Throws StoreError for a name that would reach outside the working directory
// ("/" or "\\" in it, "." or ".."), or that could not stand as one line of the
// group list or as a file name (CR, LF or a zero byte in it). The empty name
// is allowed. The readers below take a refused name for a missing file.
void CheckGroupName(std::string_view groupName);

// The on-disk file name of a group ("<name>.txt", in UTF-8).
std::string GroupFilePath(std::string_view groupName);

// The newsgroup/ID pairs of a group, in file order; a last unpaired line is
// left out. Nothing when the file is missing or unreadable, so that a search
// can tell that from a group without newsgroups.
std::optional<std::vector<GroupEntry>> ReadGroupForSearch(std::string_view groupName);

// Fills an editor grid (already reset) from the group file: one entry per row
// from row 1, then an empty last row, also after an odd number of lines.
// A missing file leaves the grid alone.
void ReadGroupIntoGrid(std::string_view groupName, StringGrid& grid);

enum class CreateOutcome { Created, AlreadyExists };

// An existing group file is left alone; otherwise an empty one is created.
// Throws StoreError for a refused name.
CreateOutcome TestAndCreateGroup(std::string_view groupName);

// Writes every grid row with a newsgroup (rows from 1) as a name/ID pair.
// Throws StoreError on a refused name, a field holding a line break, or a
// failed write; the old file then keeps its content.
void WriteGroupFromGrid(std::string_view groupName, const StringGrid& grid);

// Deletes the group file; a missing file or a failure is ignored.
void RemoveGroup(std::string_view groupName);

}  // namespace veskor
