#pragma once
// The main window: the word to search for, the quick search and the group
// search, the stop button, the buttons that open the other windows, and the
// result table that every search writes into.

#include <QWidget>
#include <functional>
#include <string>

#include "engine/page_walker.h"
#include "searches/search_outcome.h"
#include "platform/fetch_guard.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TStringGrid;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  TStringGrid* SG_resultats;
  QLineEdit* Edit1;
  QPushButton* B_seek;
  QGroupBox* GroupBox1;
  QGroupBox* GroupBox2;
  QPushButton* B_vesko;
  QComboBox* ComboBox2;
  QPushButton* B_config;
  QPushButton* B_propos;
  QLineEdit* Edit2;
  QGroupBox* GroupBox3;
  QPushButton* Button1;
  QPushButton* Button2;

  // The program's one fetching command at a time, and its fetcher.
  veskor::FetchGuard& Fetches() { return fetches_; }

 public slots:
  void FormCreate();
  void B_configClick();
  // Reloads the group list. A failure to load it is reported unless the
  // activation came from one of the program's own message boxes.
  void FormActivate(bool reportFailure = true);
  void B_seekClick();
  void Button1Click();
  void Button2Click();
  void B_veskoClick();
  void B_proposClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void BindEvents();
  // Runs a search with the program's context, then says how it ended; an
  // error ends it and is reported instead, unless the program is closing.
  void RunSearch(const std::function<veskor::SearchOutcome(veskor::SearchContext&)>& search);
  // False, once the user has been told, when `text` holds a character that
  // the archive's character set lacks and that would go out as "?".
  bool AcceptedForArchive(const QString& text);
  // What closing the window does: stops the search and ends the event loop.
  void EndProgram();
  void OnWindowActivated(QWidget* window);
  void OpenHit(int row);

  veskor::FetchGuard fetches_;
  std::string server_;
  // Which of the program's windows was active last, to tell a return from
  // another window of the program from a return from another program.
  bool mainWasActive_ = false;
  bool messageWasActive_ = false;
};

extern TForm1* Form1;
