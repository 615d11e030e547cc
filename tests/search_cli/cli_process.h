#pragma once
// Runs the real veskor-search binary as a child process and collects what it
// prints, optionally pressing Ctrl-C (SIGINT) while one of its results pages loads.

#include <string>
#include <utility>
#include <vector>

namespace veskor::test {

struct CliRun {
  int exitCode = -1;  // -1 when killed by a signal
  int killedBy = 0;   // that signal
  std::string out;
  std::string err;
};

struct CliRunSettings {
  std::string workingDirectory;  // empty: the test's own
  // Added to the environment; VESKOR_ARCHIVE is removed unless given here.
  std::vector<std::pair<std::string, std::string>> environment;
  // SIGINTs sent once the address of results page `interruptedPage` (of the
  // whole run) has been logged (so not with -q).
  int interrupts = 0;
  int interruptedPage = 1;
};

CliRun RunSearchCli(const std::vector<std::string>& args, const CliRunSettings& settings = {});

}  // namespace veskor::test
