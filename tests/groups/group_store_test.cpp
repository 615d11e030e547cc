#include "groups/group_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>

#include "engine/memory_grid.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scratch_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

using testing::Entries;
using testing::ReadBytes;
using testing::WriteBytes;

struct RecordingList : DropDownList {
  Lines items;
  void ClearItems() override { items.clear(); }
  void AppendItem(std::string_view item) override { items.emplace_back(item); }
};

// The store works on bare names in the working directory, so each test gets a
// fresh one of its own.
using InTempDir = testing::ScratchDirTest;

template <typename Param>
class InTempDirWith : public InTempDir, public ::testing::WithParamInterface<Param> {};

struct LineCase {
  std::string bytes;
  Lines lines;
};
using LineRule = InTempDirWith<LineCase>;

TEST_P(LineRule, SplitsBytesIntoLines) {
  WriteBytes("f", GetParam().bytes);
  Lines lines{"stale"};
  ASSERT_EQ(ReadFileLines("f", lines), FileRead::Read);
  EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineRule,
    ::testing::Values(LineCase{"", {}}, LineCase{"a\r\nb\r\n", {"a", "b"}},
                      LineCase{"a\nb", {"a", "b"}}, LineCase{"\r\n\r\nx\r\n", {"", "", "x"}},
                      LineCase{"\n", {""}}, LineCase{"\r", {""}},
                      // Every CR before a LF, or at the end of the file, is
                      // line end: "512\r" would go out as an ID.
                      LineCase{"Photo\r\r\n512\r\r\r\n", {"Photo", "512"}},
                      LineCase{"a\rb\r\r", {"a\rb"}}, LineCase{"\r\r\n\r", {"", ""}},
                      LineCase{std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
                      LineCase{std::string(300000, 'x') + "\r\ny",
                               {std::string(300000, 'x'), "y"}}));

struct ReadCase {
  const char* label;
  std::function<void()> make;  // makes "f"
  FileRead outcome;
};
using WhatIsThere = InTempDirWith<ReadCase>;

// Only "nothing there" may be taken for an empty list and written anew.
TEST_P(WhatIsThere, TellsMissingFromUnreadable) {
  if (GetParam().make) GetParam().make();
  Lines lines{"kept"};
  EXPECT_EQ(ReadFileLines("f", lines), GetParam().outcome);
  if (GetParam().outcome != FileRead::Read) {
    EXPECT_EQ(lines, Lines{"kept"});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WhatIsThere,
    ::testing::Values(
        ReadCase{"nothing", {}, FileRead::Missing},
        ReadCase{"file", [] { WriteBytes("f", "a\r\n"); }, FileRead::Read},
        ReadCase{"folder", [] { fs::create_directory("f"); }, FileRead::Unreadable},
        ReadCase{"dangling link", [] { fs::create_symlink("gone", "f"); }, FileRead::Unreadable},
        ReadCase{"link loop", [] { fs::create_symlink("f", "f"); }, FileRead::Unreadable},
        ReadCase{"link to a file",
                 [] {
                   WriteBytes("real", "a");
                   fs::create_symlink("real", "f");
                 },
                 FileRead::Read}),
    [](const auto& info) {
      std::string name = info.param.label;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

TEST_F(InTempDir, GroupListRoundTripKeepsEmptyNamesAndEndsEveryLine) {
  WriteBytes(kGroupListFile, "fr.a\r\n\r\n sp \r\n\xE9t\xE9");
  RecordingList list;
  ASSERT_TRUE(LoadGroupList(list));
  EXPECT_EQ(list.items, (Lines{"fr.a", "", " sp ", "\xE9t\xE9"}));
  SaveGroupList(list.items);
  EXPECT_EQ(ReadBytes(kGroupListFile), "fr.a\r\n\r\n sp \r\n\xE9t\xE9\r\n");
  SaveGroupList({});
  EXPECT_EQ(ReadBytes(kGroupListFile), "");
}

TEST_F(InTempDir, MissingGroupListEmptiesTheList) {
  RecordingList list;
  list.items = {"old"};
  EXPECT_FALSE(LoadGroupList(list));
  EXPECT_TRUE(list.items.empty());
}

MemoryGrid EditorGrid(const std::vector<std::pair<std::string, std::string>>& rows) {
  MemoryGrid grid(2, rows.size() + 1);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    grid.SetCell(0, i + 1, rows[i].first);
    grid.SetCell(1, i + 1, rows[i].second);
  }
  return grid;
}

TEST_F(InTempDir, GroupFileRoundTripIsByteExactAndNamedInUtf8) {
  WriteGroupFromGrid(
      "\xE9t\xE9",
      EditorGrid(
          {{"fr.a", "512"}, {"", "orphan ID"}, {"fr.b", "Non trouv\xE9"}, {"fr.c", ""}, {"", ""}}));
  EXPECT_EQ(Entries(), Lines{"\xC3\xA9t\xC3\xA9.txt"});
  EXPECT_EQ(ReadBytes("\xC3\xA9t\xC3\xA9.txt"),
            "fr.a\r\n512\r\nfr.b\r\nNon trouv\xE9\r\nfr.c\r\n\r\n");

  MemoryGrid grid(2, 2);
  ReadGroupIntoGrid("\xE9t\xE9", grid);
  ASSERT_EQ(grid.RowCount(), 5u);
  EXPECT_EQ(grid.Cell(1, 2), "Non trouv\xE9");
  EXPECT_EQ(grid.Cell(0, 3), "fr.c");
}

struct GridCase {
  std::string bytes;
  std::size_t rows;
  std::size_t lastNewsgroupRow;
  std::string lastNewsgroup, lastId;
};
using IntoGrid = InTempDirWith<GridCase>;

// The last row must always come out empty: the editor adds into it.
TEST_P(IntoGrid, PlacesPairsAndEndsOnAnEmptyRow) {
  const GridCase& c = GetParam();
  WriteBytes("g.txt", c.bytes);
  MemoryGrid grid(2, 2);
  ReadGroupIntoGrid("g", grid);
  ASSERT_EQ(grid.RowCount(), c.rows);
  EXPECT_EQ(grid.Cell(0, c.lastNewsgroupRow), c.lastNewsgroup);
  EXPECT_EQ(grid.Cell(1, c.lastNewsgroupRow), c.lastId);
  EXPECT_EQ(grid.Cell(0, c.rows - 1) + grid.Cell(1, c.rows - 1), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, IntoGrid,
                         ::testing::Values(GridCase{"", 2, 1, "", ""}, GridCase{"a", 3, 1, "a", ""},
                                           GridCase{"a\r\n1\r\nb\r\n2\r\n", 4, 2, "b", "2"},
                                           GridCase{"a\r\n1\r\nb\r\n2\r\nc\r\n", 5, 3, "c", ""}));

TEST_F(InTempDir, MissingGroupFileLeavesGridAlone) {
  MemoryGrid grid(2, 2);
  grid.SetCell(0, 1, "kept");
  ReadGroupIntoGrid("none", grid);
  EXPECT_EQ(grid.RowCount(), 2u);
  EXPECT_EQ(grid.Cell(0, 1), "kept");
  EXPECT_FALSE(ReadGroupForSearch("none").has_value());
}

struct SearchCase {
  std::string bytes;
  std::vector<std::pair<std::string, std::string>> pairs;
};
using ForSearch = InTempDirWith<SearchCase>;

TEST_P(ForSearch, PairsLinesByPosition) {
  WriteBytes("g.txt", GetParam().bytes);
  std::vector<std::pair<std::string, std::string>> pairs;
  const auto entries = ReadGroupForSearch("g");
  ASSERT_TRUE(entries.has_value());
  for (const GroupEntry& e : *entries) pairs.emplace_back(e.newsgroup, e.archiveId);
  EXPECT_EQ(pairs, GetParam().pairs);
}

INSTANTIATE_TEST_SUITE_P(Cases, ForSearch,
                         ::testing::Values(SearchCase{"a\r\n1\r\nb", {{"a", "1"}}},
                                           SearchCase{"\r\n\r\nc\r\n", {{"", ""}}},
                                           SearchCase{"a\r\nNon trouv\xE9",
                                                      {{"a", "Non trouv\xE9"}}}));

using RefusedName = InTempDirWith<std::string>;

TEST_P(RefusedName, TouchesNoFile) {
  const std::string& name = GetParam();
  EXPECT_THROW(TestAndCreateGroup(name), StoreError);
  EXPECT_THROW(WriteGroupFromGrid(name, EditorGrid({{"fr.a", "1"}})), StoreError);
  EXPECT_THROW(RemoveGroup(name), StoreError);
  EXPECT_TRUE(Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedName,
                         ::testing::Values("../x", "a/b", "..\\x", ".", "..", "a\nb", "a\r",
                                           std::string("a\0b", 3)));

TEST_F(InTempDir, CreateMakesAnEmptyFileOnlyWhenNoneExists) {
  EXPECT_EQ(TestAndCreateGroup(""), CreateOutcome::Created);
  EXPECT_EQ(TestAndCreateGroup(" sp "), CreateOutcome::Created);
  EXPECT_EQ(Entries(), (Lines{" sp .txt", ".txt"}));
  EXPECT_EQ(ReadBytes(".txt"), "");

  WriteBytes("g.txt", "a\r\n1\r\n");
  EXPECT_EQ(TestAndCreateGroup("g"), CreateOutcome::AlreadyExists);
  EXPECT_EQ(ReadBytes("g.txt"), "a\r\n1\r\n");

  fs::create_directory("d.txt");
  EXPECT_THROW(TestAndCreateGroup("d"), StoreError);
}

TEST_F(InTempDir, RemoveDeletesAndIgnoresMissingFile) {
  WriteBytes("g.txt", "x");
  RemoveGroup("g");
  EXPECT_NO_THROW(RemoveGroup("g"));
  EXPECT_TRUE(Entries().empty());
}

// Each write goes either to the group list or to a group file; both must leave
// the old file as it was, and no temporary file behind, when they fail.
struct FailedWrite {
  std::string file;
  std::function<void()> write;
  bool fullDisk;
};
using WriteFailure = InTempDirWith<FailedWrite>;

TEST_P(WriteFailure, KeepsTheOldFile) {
  const FailedWrite& c = GetParam();
  WriteBytes(c.file, "old\r\n");
  {
    std::optional<testing::FileSizeLimit> disk;
    if (c.fullDisk) {
      ASSERT_TRUE(disk.emplace(3).Ok());
    }
    EXPECT_THROW(c.write(), StoreError);
  }
  EXPECT_EQ(ReadBytes(c.file), "old\r\n");
  EXPECT_EQ(Entries(), Lines{c.file});
}

void SaveListWith(const std::string& name) { SaveGroupList({"a", name}); }
void SaveGroupWith(const std::string& newsgroup, const std::string& id) {
  WriteGroupFromGrid("g", EditorGrid({{"fr.a", "1"}, {newsgroup, id}}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFailure,
    ::testing::Values(FailedWrite{kGroupListFile, [] { SaveListWith("x\ny"); }, false},
                      FailedWrite{"g.txt", [] { SaveGroupWith("a\rb", "1"); }, false},
                      FailedWrite{"g.txt", [] { SaveGroupWith("b", "1\n"); }, false},
                      FailedWrite{kGroupListFile, [] { SaveListWith("b"); }, true},
                      FailedWrite{"g.txt", [] { SaveGroupWith("b", "2"); }, true}));

// Random editor sessions over lists with repeated names: replayed on the
// list the editor started from, the changes give the editor's own list (one
// window alone sees what it did); replayed on a list that another writer grew
// meanwhile, they keep every name that writer added.
TEST(ListChanges, ReplayGivesTheEditorsListAndKeepsOtherWritersNames) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const auto below = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const Lines pool{"a", "b", "c", ""};
  for (int session = 0; session < 2000; ++session) {
    Lines base;
    for (std::size_t n = below(5); n > 0; --n) base.push_back(pool[below(pool.size())]);
    Lines editor = base;
    std::vector<ListChange> changes;
    for (std::size_t n = below(6); n > 0; --n) {
      const std::string name = pool[below(pool.size())];
      const auto listed = std::find(editor.begin(), editor.end(), name) != editor.end();
      if (below(3) == 0 && !editor.empty()) {
        const std::size_t at = below(editor.size());
        const auto place = editor.begin() + static_cast<std::ptrdiff_t>(at);
        const auto occurrence = static_cast<std::size_t>(std::count(editor.begin(), place, *place));
        changes.push_back({ListChange::Kind::Remove, *place, occurrence});
        editor.erase(place);
      } else if (below(2) == 0 && !listed) {
        changes.push_back({ListChange::Kind::Relist, name});
        editor.push_back(name);
      } else {
        changes.push_back({ListChange::Kind::Append, name});
        editor.push_back(name);
      }
    }
    ASSERT_EQ(ApplyListChanges(base, changes), editor);

    Lines theirs = base;
    theirs.insert(theirs.begin() + static_cast<std::ptrdiff_t>(below(base.size() + 1)), "x");
    Lines merged = ApplyListChanges(theirs, changes);
    ASSERT_EQ(std::count(merged.begin(), merged.end(), "x"), 1);
    merged.erase(std::find(merged.begin(), merged.end(), "x"));
    EXPECT_EQ(merged, editor) << "the editor's own changes, on the other list";
  }
}

TEST_F(InTempDir, UnreplaceableTargetThrowsAndLeavesNoTemporaryFile) {
  fs::create_directory("g.txt");
  try {
    SaveGroupWith("b", "2");
    FAIL();
  } catch (const StoreError& e) {
    EXPECT_EQ(
        std::string(e.what()).rfind("Impossible d'enregistrer le fichier \xAB g.txt \xBB : ", 0),
        0u);
  }
  EXPECT_EQ(Entries(), Lines{"g.txt"});
}

}  // namespace
}  // namespace veskor
