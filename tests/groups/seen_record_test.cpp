#include "groups/seen_record.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <random>
#include <set>

#include "tests/support/scratch_dir.h"

namespace veskor {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;
using Addresses = std::vector<std::string>;

const std::string kHead = "# Veskor : r\xE9sultats d\xE9j\xE0 vus (format 1)\r\n";
const std::string kPhoto = "R\tnewsgroup\tfr.rec.photo\tjpg\r\n";
const std::string kGroup = "R\tgroupe\tSciences\tjpg\r\n";
const SearchKey kPhotoKey = SearchKey::Quick("jpg", "fr.rec.photo");

using InTempDir = testing::ScratchDirTest;

// One run of a search against a record: what it finds there, what it adds,
// and the file it leaves.
struct RunCase {
  const char* name;
  std::optional<std::string> before;  // none: no file
  SearchKey key;
  FileRead load;
  bool known;
  Addresses fresh, seen;  // IsNew true, IsNew false
  Addresses add;
  std::optional<std::string> after;  // none: Save refuses, the file stays `before`
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class SeenRecordRun : public InTempDir,
                      public ::testing::WithParamInterface<RunCase> {};

TEST_P(SeenRecordRun, FindsMergesAndKeeps) {
  const RunCase& c = GetParam();
  if (c.before) WriteBytes("vus.lst", *c.before);
  SeenRecord record("vus.lst", c.key);
  ASSERT_EQ(record.Load(), c.load) << record.Problem();
  EXPECT_EQ(record.SearchKnown(), c.known);
  for (const std::string& a : c.fresh) EXPECT_TRUE(record.IsNew(a)) << a;
  for (const std::string& a : c.seen) EXPECT_FALSE(record.IsNew(a)) << a;
  for (const std::string& a : c.add) record.Add(a);
  if (c.after) {
    record.Save();
    EXPECT_EQ(ReadBytes("vus.lst"), c.after);
  } else {
    EXPECT_THROW(record.Save(), SeenRecordError);
    EXPECT_EQ(ReadBytes("vus.lst"), c.before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SeenRecordRun,
    ::testing::Values(
        RunCase{"NoFileYet", std::nullopt, kPhotoKey, FileRead::Missing, false, {"a", ""}, {},
                {"a", "b", "", "a"}, kHead + kPhoto + "1\ta\r\n1\tb\r\n"},
        RunCase{"EmptyFileIsAnEmptyRecord", "", kPhotoKey, FileRead::Read, false, {"a"}, {}, {},
                kHead + kPhoto},
        // Other searches' addresses count for nothing and stay where they
        // are; an address seen again becomes the newest.
        RunCase{"OtherSearchesStayAndSeenAgainMovesLast",
                kHead + kGroup + kPhoto + "2\ta\r\n1\tx\r\n2\tb\r\n", kPhotoKey, FileRead::Read,
                true, {"x", "c"}, {"a", "b"}, {"c", "a"},
                kHead + kGroup + kPhoto + "1\tx\r\n2\tb\r\n2\tc\r\n2\ta\r\n"},
        RunCase{"ARunWithoutHitsIsStillKnown", kHead + kPhoto, kPhotoKey, FileRead::Read, true,
                {"a"}, {}, {}, kHead + kPhoto},
        RunCase{"AGroupIsNotTheNewsgroupOfItsName",
                kHead + "R\tgroupe\tfr.rec.photo\tjpg\r\n1\ta\r\n", kPhotoKey, FileRead::Read,
                false, {"a"}, {}, {}, kHead + "R\tgroupe\tfr.rec.photo\tjpg\r\n" + kPhoto + "1\ta\r\n"},
        RunCase{"SpacesOfTheWordAreItsWildcards", kHead + "R\tnewsgroup\tfr.a\tdeux%mots\r\n1\tz\r\n",
                SearchKey::Quick("deux mots", "fr.a"), FileRead::Read, true, {}, {"z"}, {},
                kHead + "R\tnewsgroup\tfr.a\tdeux%mots\r\n1\tz\r\n"},
        RunCase{"SeparatorsInFieldsAreEscaped",
                kHead + "R\tnewsgroup\tfr\\tb\\\\\tw\r\n1\ta\\tb\\r\\nc\r\n",
                SearchKey::Quick("w", "fr\tb\\"), FileRead::Read, true, {"a", "a\\tb"},
                {"a\tb\r\nc"}, {"x\ny\\"},
                kHead + "R\tnewsgroup\tfr\\tb\\\\\tw\r\n1\ta\\tb\\r\\nc\r\n1\tx\\ny\\\\\r\n"},
        RunCase{"LfEndsAndBlankLinesAreRead", kHead + kPhoto + "\n1\ta\n\n1\tb", kPhotoKey,
                FileRead::Read, true, {}, {"a", "b"}, {}, kHead + kPhoto + "1\ta\r\n1\tb\r\n"},
        // A search named twice is one search.
        RunCase{"TwiceNamedSearchIsOne", kHead + kPhoto + "1\ta\r\n" + kPhoto + "2\tb\r\n",
                kPhotoKey, FileRead::Read, true, {}, {"a", "b"}, {},
                kHead + kPhoto + "1\ta\r\n1\tb\r\n"},
        RunCase{"NotARecord", "mes notes\r\n1\ta\r\n", kPhotoKey, FileRead::Unreadable, false,
                {}, {}, {"a"}, std::nullopt},
        RunCase{"AddressOfNoSearch", kHead + kPhoto + "2\ta\r\n", kPhotoKey,
                FileRead::Unreadable, false, {}, {}, {"a"}, std::nullopt},
        RunCase{"UnknownEscape", kHead + kPhoto + "1\ta\\x\r\n", kPhotoKey, FileRead::Unreadable,
                false, {}, {}, {"a"}, std::nullopt},
        RunCase{"UnknownKindOfSearch", kHead + "R\tforum\tfr.a\tw\r\n", kPhotoKey,
                FileRead::Unreadable, false, {}, {}, {"a"}, std::nullopt},
        RunCase{"AddressWithoutNumber", kHead + kPhoto + "a\r\n", kPhotoKey,
                FileRead::Unreadable, false, {}, {}, {"a"}, std::nullopt}));

TEST_F(InTempDir, WhatIsNoFileIsNeverWrittenOver) {
  std::filesystem::create_directory("dossier");
  std::filesystem::create_symlink("nulle-part", "lien");
  for (const char* path : {"dossier", "lien"}) {
    SeenRecord record(path, kPhotoKey);
    EXPECT_EQ(record.Load(), FileRead::Unreadable) << path;
    EXPECT_NE(record.Problem().find("laiss\xE9 tel quel"), std::string::npos) << record.Problem();
    record.Add("a");
    EXPECT_THROW(record.Save(), SeenRecordError);
  }
  EXPECT_TRUE(std::filesystem::is_directory("dossier"));
  EXPECT_FALSE(std::filesystem::exists("nulle-part"));
}

// Writers that save the one record at once, each adding its own addresses
// (and some of them again) over several runs of one of three searches,
// sleeping at random between loading and saving: every address added is there
// at the end, once, under its search, and no temporary file is left.
TEST_F(InTempDir, WritersAtOnceLoseNothing) {
  constexpr int kWriters = 4, kRuns = 20;
  const SearchKey keys[] = {kPhotoKey, SearchKey::OfGroup("jpg", "Sciences"),
                            SearchKey::Quick("avi", "alt.binaries.fr")};
  std::mt19937 seeds(1609);
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    const unsigned seed = seeds();
    const pid_t pid = fork();
    if (pid == 0) {
      std::mt19937 random(seed);
      int next = 0;
      try {
        for (int run = 0; run < kRuns; ++run) {
          SeenRecord record("vus.lst", keys[(w + run) % 3]);
          if (record.Load() == FileRead::Unreadable) _exit(2);
          for (int k = 0, n = static_cast<int>(random() % 5); k < n; ++k)
            record.Add("w" + std::to_string(w) + "-" + std::to_string(next++));
          if (next > 0) record.Add("w" + std::to_string(w) + "-" + std::to_string(random() % next));
          usleep(random() % 3000);
          record.Save();
        }
      } catch (const SeenRecordError&) {
        _exit(3);
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  const std::string bytes = ReadBytes("vus.lst").value_or("");
  std::string why;
  const std::optional<ParsedSeenRecord> record = ParseSeenRecord(bytes, why);
  ASSERT_TRUE(record) << why;
  std::set<std::pair<std::uint32_t, std::string>> lines;
  for (const auto& line : record->lines)
    EXPECT_TRUE(lines.emplace(line.search, record->Address(line)).second) << record->Address(line);
  // Replaying the writers' draws tells which search each address went to.
  std::set<std::pair<std::uint32_t, std::string>> expected;
  seeds.seed(1609);
  for (int w = 0; w < kWriters; ++w) {
    std::mt19937 random(seeds());
    int next = 0;
    for (int run = 0; run < kRuns; ++run) {
      const std::uint32_t search = *record->IndexOf(keys[(w + run) % 3]);
      for (int k = 0, n = static_cast<int>(random() % 5); k < n; ++k)
        expected.emplace(search, "w" + std::to_string(w) + "-" + std::to_string(next++));
      if (next > 0) expected.emplace(search, "w" + std::to_string(w) + "-" + std::to_string(random() % next));
      random();
    }
  }
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(testing::Entries(), (std::vector<std::string>{"vus.lst"}));
}

}  // namespace
}  // namespace veskor
