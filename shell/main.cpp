// Veskor: searches a web archive of Usenet newsgroups for a word.

#include "main_window/main_form.h"
#include "platform/message_box.h"
#include "shell/program_windows.h"
#include "shell/veskor_application.h"

int main(int argc, char** argv) {
  VeskorApplication app(argc, argv);
  veskor::RunReported([] {
    CreateProgramWindows();
    Form1->show();
    QApplication::exec();
  });
  DestroyProgramWindows();
  return 0;
}
