#pragma once
// What the group editor tests share, on top of what every window test has:
// the program's first two windows, a fixture that gives each test a fresh
// set of them, and short ways to click, type and read the editor's controls.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "tests/support/window_test_support.h"

class TF_edition;
class TStringGrid;

namespace veskor::testing {

// The main window Form1 and the editor F_edition, created in the program's
// order, both hidden; destroyed with the harness.
struct Windows {
  Windows();
  ~Windows();
  TF_edition* editor = nullptr;
};

// Base of the editor's test classes: each test gets an empty working
// directory, the two windows and a watcher on the message boxes; the
// windows go first after it, so that the list the editor saves as it hides
// still lands in that test's directory.
class EditorTestCase : public QObject {
  Q_OBJECT

 protected:
  std::optional<WorkingDirectory> dir_;
  std::optional<MessageWatcher> messages_;
  std::optional<Windows> windows_;
  TF_edition* ed_ = nullptr;

 private slots:
  void init();
  void cleanup();
};

// The user chooses the cell (0, row) of the grid.
void ClickRow(TStringGrid* grid, int row);

// Data rows as "newsgroup|ID", from row 1 to the last row that holds text.
QStringList GridEntries(const TStringGrid* grid);

// "name|id" pairs as the lines of a group file.
QByteArray GroupFileBytes(const QStringList& entries);

// Shows the editor, writes `fileBytes` as group "G" (listed alone unless
// `list` says otherwise), chooses it and presses "Editer".
void EditGroup(TF_edition* editor, const QByteArray& fileBytes, const QByteArray& list = "G\r\n");

// Types `name` into Edit1 and presses "Ajouter >>".
void AddNewsgroup(TF_edition* editor, const QString& name);

// Lets queued events run for a moment (deferred reports, activation).
void Settle();

}  // namespace veskor::testing
