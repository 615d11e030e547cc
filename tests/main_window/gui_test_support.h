#pragma once
// What the tests of the running program share, on top of what every window
// test has: the program's four windows built as start-up builds them, and
// short ways to read them.

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

#include "tests/support/window_test_support.h"

namespace veskor::testing {

// The four windows, created as start-up creates them, with the archive
// address set to `archive`; the main window shown and active.
class RunningProgram {
 public:
  explicit RunningProgram(const std::string& archive, bool show = true);
  ~RunningProgram();
};

// An archive address where nothing answers, for tests that never fetch.
inline constexpr char kNoArchive[] = "http://127.0.0.1:9";

// Base of the test classes that run the program. Start() gives a test its
// working directory with `files`, a watcher on the message boxes and the
// program; all three go after each test, the program first: what it writes
// or reports as its windows close still goes to this test's directory and
// watcher.
class ProgramTestCase : public QObject {
  Q_OBJECT

 protected:
  void Start(const QMap<QString, QByteArray>& files, const std::string& archive = kNoArchive);

  std::optional<WorkingDirectory> dir_;
  std::optional<MessageWatcher> messages_;
  std::optional<RunningProgram> program_;

 private slots:
  void cleanup();
};

// The logo shipped with the program, for working directories that need one.
QByteArray ShippedLogo();

// Lines of the console window.
QStringList ConsoleLines();

// The text of every cell of a result table row, joined by "|".
QString RowText(int row);

// Runs `action` from the event loop after `ms`, so that it happens while a
// command started meanwhile is waiting for the archive.
void After(int ms, std::function<void()> action);

}  // namespace veskor::testing
