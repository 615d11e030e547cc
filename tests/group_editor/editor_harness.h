#pragma once
// What the group editor tests share: a fresh working directory per test, the
// program's first two windows, a hand that dismisses message boxes, and
// short ways to click, type and read the editor's controls.

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

class QAbstractButton;
class QWidget;
class TF_edition;
class TStringGrid;

namespace editor_test {

// Makes a new empty directory the working directory until destroyed.
class WorkDir {
 public:
  WorkDir();
  ~WorkDir();
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  bool Ok() const { return ok_; }

 private:
  QTemporaryDir dir_;
  QByteArray previous_;
  bool ok_ = false;
};

// Accepts each message box as soon as it shows and keeps its text.
// `onMessage`, when set, runs while the box is still open.
class MessageCatcher {
 public:
  MessageCatcher();
  QStringList texts;
  std::function<void(const QString&)> onMessage;

 private:
  void Poll();
  QTimer timer_;
};

// The main window Form1 and the editor F_edition, created in the program's
// order, both hidden; destroyed with the harness.
struct Windows {
  Windows();
  ~Windows();
  TF_edition* editor = nullptr;
};

// Shows the window and waits until it is the active one.
bool ShowAndActivate(QWidget* window);

// Clicks as the user would; a disabled button ignores it.
void Click(QAbstractButton* button);

// The user chooses the cell (0, row) of the grid.
void ClickRow(TStringGrid* grid, int row);

// Data rows as "newsgroup|ID", from row 1 to the last row that holds text.
QStringList GridEntries(const TStringGrid* grid);

// Whole-file helpers; a missing file reads as a null QByteArray.
void WriteFile(const QString& name, const QByteArray& bytes);
QByteArray ReadFile(const QString& name);

// "name|id" pairs as the lines of a group file, CR LF after each.
QByteArray GroupFileBytes(const QStringList& entries);

// Shows the editor, writes `fileBytes` as group "G" (listed alone unless
// `list` says otherwise), chooses it and presses "Editer".
void EditGroup(TF_edition* editor, const QByteArray& fileBytes, const QByteArray& list = "G\r\n");

// Types `name` into Edit1 and presses "Ajouter >>".
void AddNewsgroup(TF_edition* editor, const QString& name);

// Lets queued events run for a moment (deferred reports, activation).
void Settle();

}  // namespace editor_test
