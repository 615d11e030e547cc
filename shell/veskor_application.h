#pragma once
// The application object. Window commands report their own errors; this is
// the last resort for one that escapes a handler anyway, so that it ends in a
// message box instead of ending the program.

#include <QApplication>

class VeskorApplication final : public QApplication {
 public:
  VeskorApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
