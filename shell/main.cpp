// Veskor: searches a web archive of Usenet newsgroups for a word.

#include <cstdio>
#include <string>
#include <vector>

#include "base/process_start.h"
#include "main_window/main_form.h"
#include "platform/message_box.h"
#include "shell/command_line.h"
#include "shell/program_windows.h"
#include "shell/veskor_application.h"

int main(int argc, char** argv) {
  veskor::IgnoreFileSizeSignal();
  // Answered before Qt starts, so that no display is needed for them.
  const veskor::StartDecision decision = veskor::AnswerCommandLine(
      std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
  if (!decision.startWindows && !decision.showMessage) return decision.exitCode;

  VeskorApplication app(argc, argv);
  if (decision.showMessage) {
    veskor::ShowMessage(QString::fromUtf8(decision.message));
    return 0;
  }
  veskor::RunReported([] {
    CreateProgramWindows();
    Form1->show();
    QApplication::exec();
  });
  DestroyProgramWindows();
  return 0;
}
