// The three installed programs answer --help and --version, and refuse an
// unknown option, without a display: the real binaries, run with DISPLAY,
// WAYLAND_DISPLAY and QT_QPA_PLATFORM removed, as over SSH or in a package
// build.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct ProcessRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ProcessRun RunWithoutDisplay(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (text.starts_with("DISPLAY=") || text.starts_with("WAYLAND_DISPLAY=") ||
        text.starts_with("QT_QPA_PLATFORM="))
      continue;
    env.emplace_back(text);
  }
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> argvPointers, envPointers;
  for (auto& a : argv) argvPointers.push_back(a.data());
  argvPointers.push_back(nullptr);
  for (auto& e : env) envPointers.push_back(e.data());
  envPointers.push_back(nullptr);

  char outPath[] = "/tmp/veskor-options-out-XXXXXX";
  char errPath[] = "/tmp/veskor-options-err-XXXXXX";
  const int outFd = mkstemp(outPath);
  const int errFd = mkstemp(errPath);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
  ProcessRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, argvPointers[0], &actions, nullptr, argvPointers.data(),
                  envPointers.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(outFd);
  close(errFd);
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  std::remove(outPath);
  std::remove(errPath);
  return run;
}

struct OptionCase {
  const char* name;
  std::string program;
  std::vector<std::string> args;
  int exitCode;
  std::string stdoutStart;  // what standard output begins with
  std::string stderrHas;    // empty: nothing on standard error
};

void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }

class ProgramOptions : public testing::TestWithParam<OptionCase> {};

TEST_P(ProgramOptions, AnswersWithoutADisplay) {
  const OptionCase& c = GetParam();
  const ProcessRun run = RunWithoutDisplay(c.program, c.args);
  EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
  EXPECT_EQ(run.out.substr(0, c.stdoutStart.size()), c.stdoutStart) << run.out;
  if (c.stderrHas.empty()) {
    EXPECT_EQ(run.err, "");
  } else {
    EXPECT_NE(run.err.find(c.stderrHas), std::string::npos) << run.err;
  }
  if (c.args == std::vector<std::string>{"--version"}) {
    EXPECT_NE(run.out.find("licence MIT"), std::string::npos) << run.out;
  }
}

const std::string kVersion = VESKOR_EXPECTED_VERSION;
const std::string kVeskor = VESKOR_BIN;
const std::string kSearch = VESKOR_SEARCH_BIN;
const std::string kArchive = VESKOR_ARCHIVE_BIN;

INSTANTIATE_TEST_SUITE_P(
    AllThree, ProgramOptions,
    testing::Values(
        OptionCase{"veskor_version", kVeskor, {"--version"}, 0, "veskor " + kVersion + "\n", ""},
        OptionCase{"veskor_help", kVeskor, {"--help"}, 0, "Usage : veskor", ""},
        OptionCase{"veskor_h", kVeskor, {"-h"}, 0, "Usage : veskor", ""},
        OptionCase{"veskor_unknown", kVeskor, {"--bogus"}, 2, "", "option inconnue : --bogus"},
        // The program takes no argument: a bare word is no file to open.
        OptionCase{"veskor_word", kVeskor, {"groupes.lst"}, 2, "", "option inconnue : groupes.lst"},
        OptionCase{"veskor_version_and_more", kVeskor, {"--version", "-x"}, 2, "",
                   "option inconnue : -x"},
        OptionCase{"veskor_message_without_text", kVeskor, {"--message"}, 2, "",
                   "l'option --message attend un texte"},
        // Qt's own options are no way in either.
        OptionCase{"veskor_qt_option", kVeskor, {"-platform", "offscreen"}, 2, "",
                   "option inconnue : -platform"},
        OptionCase{"search_version", kSearch, {"--version"}, 0,
                   "veskor-search " + kVersion + "\n", ""},
        OptionCase{"search_help", kSearch, {"--help"}, 0, "Usage : veskor-search", ""},
        OptionCase{"search_unknown", kSearch, {"--bogus", "--newsgroup", "a", "b"}, 2, "",
                   "option inconnue : --bogus"},
        OptionCase{"archive_version", kArchive, {"--version"}, 0,
                   "veskor-archive " + kVersion + "\n", ""},
        OptionCase{"archive_help", kArchive, {"--help"}, 0, "Usage : veskor-archive", ""},
        // An unknown option at the end was once taken for one awaiting its value.
        OptionCase{"archive_unknown_last", kArchive, {"--port", "0", "--bogus"}, 2, "",
                   "option inconnue : --bogus"},
        OptionCase{"archive_value_missing", kArchive, {"--port"}, 2, "",
                   "l'option --port attend une valeur"}),
    [](const testing::TestParamInfo<OptionCase>& info) { return std::string(info.param.name); });

}  // namespace
