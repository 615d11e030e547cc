#pragma once
// The desktop program's command line, answered before Qt is started: the
// program takes no argument, and --help and --version must work on a machine
// without a display (man page generation, packaging checks, a terminal over
// SSH).

#include <cstdio>
#include <string>
#include <vector>

namespace veskor {

struct StartDecision {
  bool startWindows = false;
  int exitCode = 0;  // when the windows are not started
  // --message: a text (UTF-8) to show in a message box instead of the windows.
  bool showMessage = false;
  std::string message;
};

// `args` without the program name. Writes the help, the version or the
// complaint to `out` or `err`; a help or version that cannot be written is
// a failure, said on `err`.
StartDecision AnswerCommandLine(const std::vector<std::string>& args, std::FILE* out,
                                std::FILE* err);

std::string ProgramUsageText();

}  // namespace veskor
