#include "shell/veskor_application.h"

#include <QIcon>

#include "platform/message_box.h"

VeskorApplication::VeskorApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The caption of every message box.
  setApplicationName(QStringLiteral("Veskor"));
  setApplicationVersion(QStringLiteral("1.0"));
  setDesktopFileName(QStringLiteral("veskor"));
  setWindowIcon(QIcon(QStringLiteral(":/veskor/veskor.png")));
}

bool VeskorApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  veskor::RunReported([&] { handled = QApplication::notify(receiver, event); });
  return handled;
}
