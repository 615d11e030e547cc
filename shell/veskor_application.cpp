#include "shell/veskor_application.h"

#include <QIcon>

#include "platform/message_box.h"
#include "base/program_version.h"

VeskorApplication::VeskorApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The caption of every message box.
  setApplicationName(QStringLiteral("Veskor"));
  setApplicationVersion(QString::fromLatin1(veskor::ProgramVersion()));
  setDesktopFileName(QStringLiteral("org.example.veskor"));
  setWindowIcon(QIcon(QStringLiteral(":/veskor/veskor.png")));
}

bool VeskorApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  veskor::RunReported([&] { handled = QApplication::notify(receiver, event); });
  return handled;
}
