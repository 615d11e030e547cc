#include "groups/group_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "groups/file_replace.h"
#include "base/cp1252.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

constexpr char kFileSuffix[] = ".txt";
constexpr char kCrLf[] = "\r\n";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Paths reach the file system as UTF-8 whatever the platform's narrow
// encoding is.
fs::path OnDiskPath(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

FilePtr OpenFile(const std::string& utf8Path, const char* mode) {
#ifdef _WIN32
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return FilePtr(_wfopen(OnDiskPath(utf8Path).c_str(), wideMode.c_str()));
#else
  return FilePtr(std::fopen(utf8Path.c_str(), mode));
#endif
}

// « and » in Windows-1252.
std::string Quoted(std::string_view text) { return "\xAB " + std::string(text) + " \xBB"; }

std::string GroupFileLabel(std::string_view groupName) {
  return std::string(groupName) + kFileSuffix;
}

StoreError SaveError(std::string_view fileLabel, std::string_view reason) {
  return StoreError("Impossible d'enregistrer le fichier " + Quoted(fileLabel) + " : " +
                    std::string(reason));
}

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// The old content stays until the new one is complete, so a reader, or a
// failure half way, never meets a truncated file.
void ReplaceFile(const std::string& utf8Path, std::string_view fileLabel,
                 const std::string& bytes) {
  try {
    ReplaceFileContents(utf8Path, bytes);
  } catch (const ReplaceError& error) {
    throw SaveError(fileLabel, error.what());
  }
}

// Held by a saver of the group list from reading it to replacing it, so that
// two programs in one folder never both read the old list and then each
// write back their own. A lock that cannot be taken (a file system without
// locks) is done without: the replacement itself stays whole.
class FolderLock {
 public:
  FolderLock() : fd_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) (void)::flock(fd_, LOCK_EX);
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

// Applies the line rule to a whole file's bytes.
std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const bool ended = end != std::string_view::npos;
    if (!ended) end = bytes.size();
    // Text written twice through a CR LF conversion ends its lines in CR CR
    // LF: every CR before the LF, or before the end of the file, is line end.
    std::size_t stop = end;
    while (stop > start && bytes[stop - 1] == '\r') --stop;
    lines.emplace_back(bytes.substr(start, stop - start));
    start = ended ? end + 1 : end;
  }
  return lines;
}

// Readers treat a name that CheckGroupName refuses as a group without a file,
// so that a hand-edited list cannot make them read outside the directory.
bool ReadGroupLines(std::string_view groupName, std::vector<std::string>& lines) {
  try {
    CheckGroupName(groupName);
  } catch (const StoreError&) {
    return false;
  }
  return ReadFileLines(GroupFilePath(groupName), lines) == FileRead::Read;
}

std::string GroupListBytes(const std::vector<std::string>& names) {
  std::string bytes;
  for (const std::string& name : names) {
    if (HoldsLineBreak(name))
      throw SaveError(kGroupListFile,
                      "le nom de groupe " + Quoted(name) + " contient un retour \xE0 la ligne");
    bytes += name;
    bytes += kCrLf;
  }
  return bytes;
}

}  // namespace

FileRead ReadFileLines(const std::string& path, std::vector<std::string>& lines) {
  FilePtr file = OpenFile(path, "rb");
  if (!file) {
    // A dangling link also answers "no such file", yet something is there.
    std::error_code ignored;
    const bool missing =
        errno == ENOENT && !fs::exists(fs::symlink_status(OnDiskPath(path), ignored));
    return missing ? FileRead::Missing : FileRead::Unreadable;
  }
  std::string bytes;
  char chunk[64 * 1024];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, got);
  // A directory opens fine on some systems and only fails here.
  if (std::ferror(file.get())) return FileRead::Unreadable;
  lines = SplitLines(bytes);
  return FileRead::Read;
}

FileRead LoadGroupListFile(DropDownList& list) {
  list.ClearItems();
  std::vector<std::string> names;
  const FileRead outcome = ReadFileLines(kGroupListFile, names);
  for (const std::string& name : names) list.AppendItem(name);
  return outcome;
}

bool LoadGroupList(DropDownList& list) { return LoadGroupListFile(list) == FileRead::Read; }

void SaveGroupList(const std::vector<std::string>& names) {
  ReplaceFile(kGroupListFile, kGroupListFile, GroupListBytes(names));
}

std::vector<std::string> ApplyListChanges(std::vector<std::string> names,
                                          const std::vector<ListChange>& changes) {
  for (const ListChange& change : changes) {
    std::vector<std::size_t> equal;
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == change.name) equal.push_back(i);
    switch (change.kind) {
      case ListChange::Kind::Relist:
        if (!equal.empty()) break;
        [[fallthrough]];
      case ListChange::Kind::Append:
        names.push_back(change.name);
        break;
      case ListChange::Kind::Remove: {
        if (equal.empty()) break;
        const std::size_t at = equal[std::min(change.occurrence, equal.size() - 1)];
        names.erase(names.begin() + static_cast<std::ptrdiff_t>(at));
        break;
      }
    }
  }
  return names;
}

std::vector<std::string> UpdateGroupList(const std::vector<ListChange>& changes,
                                         const std::vector<std::string>& unreadable) {
  const FolderLock lock;
  std::vector<std::string> onDisk;
  const FileRead read = ReadFileLines(kGroupListFile, onDisk);
  if (read == FileRead::Unreadable) onDisk = unreadable;
  std::vector<std::string> updated = ApplyListChanges(onDisk, changes);
  // Nothing to write is nothing that can fail.
  if (read == FileRead::Read && updated == onDisk) return updated;
  SaveGroupList(updated);
  return updated;
}

void CheckGroupName(std::string_view groupName) {
  const char* reason = nullptr;
  if (groupName.find_first_of("/\\") != std::string_view::npos)
    reason = "les caract\xE8res / et \\ sont interdits";
  else if (groupName == "." || groupName == "..")
    reason = "les noms . et .. sont r\xE9serv\xE9s";
  else if (groupName.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    reason = "les retours \xE0 la ligne et le caract\xE8re nul sont interdits";
  if (reason != nullptr)
    throw StoreError("Nom de groupe refus\xE9 : " + Quoted(groupName) + " (" + reason + ")");
}

std::string GroupFilePath(std::string_view groupName) {
  return Cp1252ToUtf8(groupName) + kFileSuffix;
}

std::optional<std::vector<GroupEntry>> ReadGroupForSearch(std::string_view groupName) {
  std::vector<std::string> lines;
  if (!ReadGroupLines(groupName, lines)) return std::nullopt;
  std::vector<GroupEntry> entries;
  for (std::size_t i = 0; i + 1 < lines.size(); i += 2)
    entries.push_back({std::move(lines[i]), std::move(lines[i + 1])});
  return entries;
}

void ReadGroupIntoGrid(std::string_view groupName, StringGrid& grid) {
  std::vector<std::string> lines;
  if (!ReadGroupLines(groupName, lines)) return;
  std::size_t row = 1;
  int col = 0;
  for (const std::string& line : lines) {
    if (grid.RowCount() <= row) grid.SetRowCount(row + 1);
    grid.SetCell(col, row, line);
    if (col == 0) {
      col = 1;
    } else {
      grid.SetRowCount(grid.RowCount() + 1);
      col = 0;
      ++row;
    }
  }
  // An unpaired last newsgroup would otherwise sit in the last row, the one
  // the editor's add command writes into.
  if (col == 1) {
    grid.SetCell(1, row, "");
    grid.SetRowCount(grid.RowCount() + 1);
  }
}

CreateOutcome TestAndCreateGroup(std::string_view groupName) {
  CheckGroupName(groupName);
  const std::string path = GroupFilePath(groupName);
  if (OpenFile(path, "r+b")) return CreateOutcome::AlreadyExists;
  // Exclusive creation: a name that exists but cannot be opened for reading
  // and writing (a directory, a protected file) must not be truncated.
  if (!OpenFile(path, "wbx"))
    throw StoreError("Impossible de cr\351er le fichier " + Quoted(GroupFileLabel(groupName)));
  return CreateOutcome::Created;
}

void WriteGroupFromGrid(std::string_view groupName, const StringGrid& grid) {
  CheckGroupName(groupName);
  const std::string label = GroupFileLabel(groupName);
  std::string bytes;
  for (std::size_t row = 1; row < grid.RowCount(); ++row) {
    const std::string newsgroup = grid.Cell(0, row);
    if (newsgroup.empty()) continue;
    const std::string id = grid.Cell(1, row);
    const std::string where = " de la ligne " + std::to_string(row);
    if (HoldsLineBreak(newsgroup))
      throw SaveError(label, "le newsgroup" + where + " contient un retour \xE0 la ligne");
    if (HoldsLineBreak(id))
      throw SaveError(label, "l'ID" + where + " contient un retour \xE0 la ligne");
    bytes += newsgroup + kCrLf + id + kCrLf;
  }
  ReplaceFile(GroupFilePath(groupName), label, bytes);
}

void RemoveGroup(std::string_view groupName) {
  CheckGroupName(groupName);
  std::error_code ignored;
  fs::remove(OnDiskPath(GroupFilePath(groupName)), ignored);
}

}  // namespace veskor
