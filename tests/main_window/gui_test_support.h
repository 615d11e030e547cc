#pragma once
// What the window tests share: a working directory of their own with the
// program's files in it, the program's four windows built as start-up builds
// them, and a watcher that answers the program's message boxes.

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

namespace veskor::testing {

// Answers every message box the program opens, records its text, and can
// run a check while the box is up (the program is then paused in it).
class MessageWatcher final : public QObject {
 public:
  MessageWatcher();
  const QStringList& Texts() const { return texts_; }
  void Clear() { texts_.clear(); }
  // Waits until `count` boxes have been answered or `ms` have passed.
  bool WaitFor(int count, int ms = 15000);
  std::function<void(const QString&)> onMessage;

 private:
  void Poll();
  QTimer timer_;
  QStringList texts_;
};

// A temporary working directory holding the given files (name -> bytes),
// current for the object's lifetime.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const QMap<QString, QByteArray>& files = {});
  ~WorkingDirectory();
  QString Path() const { return dir_.path(); }
  void Write(const QString& name, const QByteArray& bytes) const;
  void Remove(const QString& name) const;

 private:
  QTemporaryDir dir_;
  QString previous_;
};

// The four windows, created as start-up creates them, with the archive
// address set to `archive`; the main window shown and active.
class RunningProgram {
 public:
  explicit RunningProgram(const std::string& archive, bool show = true);
  ~RunningProgram();
};

// The logo shipped with the program, for working directories that need one.
QByteArray ShippedLogo();

// Lines of a group file or of the group list, CR LF ended.
QByteArray CrLfLines(const QStringList& lines);

// Lines of the console window.
QStringList ConsoleLines();

// The text of every cell of a result table row, joined by "|".
QString RowText(int row);

// Runs `action` from the event loop after `ms`, so that it happens while a
// command started meanwhile is waiting for the archive.
void After(int ms, std::function<void()> action);

}  // namespace veskor::testing
