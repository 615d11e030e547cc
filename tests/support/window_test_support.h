#pragma once
// What every window test needs, whichever window it drives: a working
// directory of its own, a hand that answers the program's message boxes, and
// the user's clicks, as the headless platform does not provide them as a
// window manager would.

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

class QAbstractButton;
class QWidget;

namespace veskor::testing {

// A temporary directory holding the given files (name -> bytes), current for
// the object's lifetime: the program reads and writes its files there.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const QMap<QString, QByteArray>& files = {});
  ~WorkingDirectory();
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

  // False when the directory could not be made or entered; the test would
  // then work on whatever directory happened to be current.
  bool Ok() const { return ok_; }
  QString Path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  QString previous_;
  bool ok_ = false;
};

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
  // The button pressed on a box that asks a question ("Oui" or "Non");
  // boxes without it are closed as by their OK button.
  int answer = 0;  // a QMessageBox::StandardButton; none: closed unanswered

 private:
  void Poll();
  QTimer timer_;
  QStringList texts_;
};

// Shows the window and waits until it is the active one.
bool ShowAndActivate(QWidget* window);

// Clicks as the user would; a disabled button ignores it.
void Click(QAbstractButton* button);

// Whole-file helpers, relative to the working directory; a missing file
// reads as a null QByteArray, an empty one as an empty, non-null one.
void WriteFile(const QString& name, const QByteArray& bytes);
QByteArray ReadFile(const QString& name);

// Lines of a group file or of the group list, CR LF after each.
QByteArray CrLfLines(const QStringList& lines);

}  // namespace veskor::testing
