#include "groups/file_replace.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <thread>

#include "groups/group_store.h"
#include "tests/support/scratch_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

using testing::Entries;
using testing::ReadBytes;
using testing::WriteBytes;
using FileReplace = testing::ScratchDirTest;

// How the target stood before the replacement, and what must hold after.
struct TargetCase {
  const char* label;
  std::string path;
  std::function<void()> make;
  std::function<void()> check;
};
void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.label; }

class Target : public FileReplace, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(Target, IsReplacedInPlace) {
  if (GetParam().make) GetParam().make();
  ReplaceFileContents(GetParam().path, "new\r\n");
  GetParam().check();
}

mode_t Mode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Target,
    ::testing::Values(
        TargetCase{"link_stays_a_link", "g.txt",
                   [] {
                     fs::create_directory("d");
                     WriteBytes("d/real", "old");
                     fs::create_symlink("d/real", "g.txt");
                   },
                   [] {
                     EXPECT_TRUE(fs::is_symlink("g.txt"));
                     EXPECT_EQ(ReadBytes("d/real"), "new\r\n");
                     EXPECT_EQ(Entries(), (Lines{"d", "g.txt"}));
                     EXPECT_EQ(Entries("d"), Lines{"real"});
                   }},
        TargetCase{"chain_of_relative_links", "g.txt",
                   [] {
                     fs::create_directories("d/e");
                     WriteBytes("d/e/real", "old");
                     fs::create_symlink("e/real", "d/link");
                     fs::create_symlink("d/link", "g.txt");
                   },
                   [] {
                     EXPECT_TRUE(fs::is_symlink("g.txt"));
                     EXPECT_TRUE(fs::is_symlink("d/link"));
                     EXPECT_EQ(ReadBytes("d/e/real"), "new\r\n");
                   }},
        TargetCase{"dangling_link_gets_its_target", "g.txt",
                   [] { fs::create_symlink("later.txt", "g.txt"); },
                   [] {
                     EXPECT_TRUE(fs::is_symlink("g.txt"));
                     EXPECT_EQ(ReadBytes("later.txt"), "new\r\n");
                   }},
        TargetCase{"private_file_stays_private", "g.txt",
                   [] {
                     WriteBytes("g.txt", "old");
                     fs::permissions("g.txt", fs::perms(0600));
                   },
                   [] { EXPECT_EQ(Mode("g.txt"), 0600u); }},
        TargetCase{"group_file_of_a_248_byte_name", std::string(248, 'x') + ".txt", {},
                   [] {
                     EXPECT_EQ(ReadBytes(std::string(248, 'x') + ".txt"), "new\r\n");
                     EXPECT_EQ(Entries().size(), 1u);
                   }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(FileReplace, NewFileGetsTheUsualPermissions) {
  const mode_t mask = ::umask(022);
  ReplaceFileContents("g.txt", "x");
  ::umask(mask);
  EXPECT_EQ(Mode("g.txt"), 0644u);
}

TEST_F(FileReplace, RefusesWhatIsNotAPlainFile) {
  fs::create_directory("folder.txt");
  fs::create_symlink("/dev/full", "device.txt");
  EXPECT_THROW(ReplaceFileContents("folder.txt", "x"), ReplaceError);
  // Replacing a device would mean creating files in /dev.
  EXPECT_THROW(ReplaceFileContents("device.txt", "x"), ReplaceError);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  EXPECT_EQ(Entries(), (Lines{"device.txt", "folder.txt"}));
}

// A temporary file stays locked by its writer until renamed: the one of a
// live writer must survive another's clean-up, the one of a dead writer not.
TEST_F(FileReplace, RemovesOnlyTheLeftoversOfDeadWriters) {
  const std::string dead = std::string(kReplaceTempPrefix) + "dead0001.tmp";
  const std::string live = std::string(kReplaceTempPrefix) + "live0001.tmp";
  const std::string mine = std::string(kReplaceTempPrefix) + "notes.txt";
  for (const std::string& name : {dead, live, mine}) WriteBytes(name, "x");
  const int held = ::open(live.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  ReplaceFileContents("g.txt", "new");
  ::close(held);

  EXPECT_EQ(Entries(), (Lines{live, mine, "g.txt"}));
}

// The store runs in child processes that are killed at random points or
// race each other; every read of the list must find one whole version.
class Crash : public FileReplace {
 protected:
  static Lines Names(char letter, int count) {
    Lines names;
    for (int i = 0; i < count; ++i) names.push_back(letter + std::to_string(i));
    return names;
  }
  static std::string Bytes(const Lines& names) {
    std::string bytes;
    for (const std::string& name : names) bytes += name + "\r\n";
    return bytes;
  }
  // Saves the lists in turn until `rounds` saves are done (or forever when
  // 0) and exits.
  static pid_t StartWriter(const std::vector<Lines>& lists, int rounds) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    try {
      for (long i = 0; rounds == 0 || i < rounds; ++i)
        SaveGroupList(lists[static_cast<std::size_t>(i) % lists.size()]);
    } catch (...) {
      ::_exit(2);
    }
    ::_exit(0);
  }
  static int Kills() {
    const char* wanted = std::getenv("VESKOR_REPLACE_KILLS");
    return wanted != nullptr ? std::atoi(wanted) : 200;
  }
};

TEST_F(Crash, KilledWriterLeavesTheOldOrTheNewFile) {
  const std::vector<Lines> lists{Names('a', 3000), Names('b', 5000)};
  const std::string a = Bytes(lists[0]), b = Bytes(lists[1]);
  SaveGroupList(lists[0]);
  // A save takes a few tens of milliseconds here, nearly all of it in
  // fsync: the kills land anywhere in the first two saves.
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delayUs(0, 50000);
  int torn = 0;
  const int kills = Kills();
  for (int k = 0; k < kills; ++k) {
    // Each writer starts with the other list, so that the file changes.
    const pid_t writer = StartWriter({lists[(k + 1) % 2], lists[k % 2]}, 0);
    ASSERT_GT(writer, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(writer, SIGKILL);
    int status = 0;
    ::waitpid(writer, &status, 0);
    const std::optional<std::string> now = ReadBytes(kGroupListFile);
    if (now != a && now != b) ++torn;
  }
  std::printf("%d kills, torn files: %d\n", kills, torn);
  EXPECT_EQ(torn, 0);
  // The next save clears what the killed writers left.
  SaveGroupList({"fin"});
  EXPECT_EQ(Entries(), Lines{kGroupListFile});
}

TEST_F(Crash, TwoWritersNeverTearEachOthersFile) {
  const Lines a = Names('a', 3000), b = Names('b', 5000);
  const std::string aBytes = Bytes(a), bBytes = Bytes(b);
  SaveGroupList(a);
  const pid_t first = StartWriter({a}, 150);
  const pid_t second = StartWriter({b}, 150);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  int reads = 0, torn = 0, running = 2, status = 0, failures = 0;
  while (running > 0) {
    const std::optional<std::string> now = ReadBytes(kGroupListFile);
    ++reads;
    if (now != aBytes && now != bBytes) ++torn;
    for (pid_t pid : {first, second}) {
      const pid_t done = ::waitpid(pid, &status, WNOHANG);
      if (done == pid) {
        --running;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
      }
    }
  }
  std::printf("%d reads during the race, torn files: %d\n", reads, torn);
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(Entries(), Lines{kGroupListFile});
}

}  // namespace
}  // namespace veskor
