// libFuzzer target: any bytes as the group list file and as a group file, the
// group's name taken from the input too. The line rule, the drop-down list,
// the editor's grid and the group search must agree on every input, and what
// the store writes must read back as it was; a crash, a sanitizer report or a
// broken invariant is a finding.
//
// Input: one byte n, then n % 24 bytes of group name, then the file's bytes.
// The files live in a folder of their own under /dev/shm (or the temporary
// folder), made current at the first run.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/memory_grid.h"
#include "groups/group_store.h"

namespace {

using Lines = std::vector<std::string>;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

std::string& ScratchFolder() {
  static std::string path;
  return path;
}

void EnterScratchFolder() {
  static const bool entered = [] {
    char shm[] = "/dev/shm/veskor-group-fuzz-XXXXXX";
    char tmp[] = "/tmp/veskor-group-fuzz-XXXXXX";
    const char* dir = mkdtemp(shm);
    if (dir == nullptr) dir = mkdtemp(tmp);
    if (dir == nullptr || chdir(dir) != 0) return false;
    ScratchFolder() = dir;
    std::atexit([] { std::filesystem::remove_all(ScratchFolder()); });
    return true;
  }();
  if (!entered) std::abort();
}

void WriteRaw(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Check(file != nullptr);
  Check(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
  std::fclose(file);
}

Lines ReadBack(const std::string& path) {
  Lines lines;
  Check(veskor::ReadFileLines(path, lines) == veskor::FileRead::Read);
  return lines;
}

bool HoldsCr(const Lines& lines) {
  return std::any_of(lines.begin(), lines.end(),
                     [](const std::string& line) { return line.find('\r') != std::string::npos; });
}

struct RecordingList : veskor::DropDownList {
  Lines items;
  void ClearItems() override { items.clear(); }
  void AppendItem(std::string_view item) override { items.emplace_back(item); }
};

// A LF ends a line; a last line without one still counts; no line keeps a
// line break, nor a CR at its end.
void CheckLineRule(std::string_view bytes, const Lines& lines) {
  const auto ends = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  Check(lines.size() == ends + (!bytes.empty() && bytes.back() != '\n' ? 1 : 0));
  for (const std::string& line : lines)
    Check(line.find('\n') == std::string::npos && (line.empty() || line.back() != '\r'));
}

void CheckGroupList(std::string_view bytes) {
  WriteRaw(veskor::kGroupListFile, bytes);
  const Lines lines = ReadBack(veskor::kGroupListFile);
  CheckLineRule(bytes, lines);
  RecordingList list;
  Check(veskor::LoadGroupList(list) && list.items == lines);
  // What the editor saves reads back as it was; a name with a CR is refused
  // and leaves the file alone.
  try {
    veskor::SaveGroupList(lines);
    Check(!HoldsCr(lines) && ReadBack(veskor::kGroupListFile) == lines);
  } catch (const veskor::StoreError&) {
    Check(HoldsCr(lines) && ReadBack(veskor::kGroupListFile) == lines);
  }
}

void CheckGroupFile(const std::string& name, std::string_view bytes) {
  try {
    veskor::CheckGroupName(name);
  } catch (const veskor::StoreError&) {
    // A refused name reads as a group without a file, whatever is on disk.
    Check(!veskor::ReadGroupForSearch(name).has_value());
    return;
  }
  const std::string path = veskor::GroupFilePath(name);
  WriteRaw(path, bytes);
  const Lines lines = ReadBack(path);

  // The search takes the lines in pairs and leaves an unpaired last one out.
  const auto entries = veskor::ReadGroupForSearch(name);
  Check(entries.has_value() && entries->size() == lines.size() / 2);
  for (std::size_t i = 0; i < entries->size(); ++i)
    Check((*entries)[i].newsgroup == lines[2 * i] && (*entries)[i].archiveId == lines[2 * i + 1]);

  // The editor's grid: one entry per row from row 1, then an empty row.
  veskor::MemoryGrid grid(2, 2);
  veskor::ReadGroupIntoGrid(name, grid);
  const std::size_t rows = (lines.size() + 1) / 2;
  Check(grid.RowCount() == rows + 2);
  for (std::size_t i = 0; i < lines.size(); ++i)
    Check(grid.Cell(int(i % 2), 1 + i / 2) == lines[i]);
  Check(grid.Cell(0, rows + 1).empty() && grid.Cell(1, rows + 1).empty());
  if (lines.size() % 2 == 1) Check(grid.Cell(1, rows).empty());

  // Saved from the grid, every row with a newsgroup comes back as a pair.
  std::vector<veskor::GroupEntry> kept;
  Lines keptFields;
  for (std::size_t row = 1; row <= rows; ++row) {
    if (grid.Cell(0, row).empty()) continue;
    kept.push_back({grid.Cell(0, row), grid.Cell(1, row)});
    keptFields.insert(keptFields.end(), {kept.back().newsgroup, kept.back().archiveId});
  }
  try {
    veskor::WriteGroupFromGrid(name, grid);
    Check(!HoldsCr(keptFields));
    const auto saved = veskor::ReadGroupForSearch(name);
    Check(saved.has_value() && saved->size() == kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i)
      Check((*saved)[i].newsgroup == kept[i].newsgroup &&
            (*saved)[i].archiveId == kept[i].archiveId);
  } catch (const veskor::StoreError&) {
    Check(HoldsCr(keptFields) && ReadBack(path) == lines);
  }
  veskor::RemoveGroup(name);
  Check(!veskor::ReadGroupForSearch(name).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  EnterScratchFolder();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nameSize = input.empty() ? 0 : std::min<std::size_t>(data[0] % 24, size - 1);
  const std::string name(input.substr(input.empty() ? 0 : 1, nameSize));
  const std::string_view bytes = input.substr(input.empty() ? 0 : 1 + nameSize);
  CheckGroupList(bytes);
  CheckGroupFile(name, bytes);
  return 0;
}
