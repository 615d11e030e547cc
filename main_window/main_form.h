#pragma once
// The main window: the word to search for, the quick search and the group
// search, the stop button, the buttons that open the other windows, and the
// result table that every search writes into.

#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <string>

#include "engine/page_walker.h"
#include "groups/seen_record_format.h"
#include "searches/search_outcome.h"
#include "platform/fetch_guard.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TStringGrid;

namespace veskor {
class FindBar;
class ResultsMenu;
}  // namespace veskor

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
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  void BuildAdditions();
  void BindEvents();
  // Runs a search with the program's context, showing how far it has come,
  // then says how it ended; an error ends it and is reported instead, unless
  // the program is closing. A group search names its newsgroups as it goes.
  // The hits that earlier runs of the search `key` did not show are marked,
  // and those shown are recorded, unless the program closed meanwhile.
  void RunSearch(bool groupSearch, const veskor::SearchKey& key,
                 const std::function<veskor::SearchOutcome(veskor::SearchContext&)>& search);
  // False, once the user has been told, when `text` holds a character that
  // the archive's character set lacks and that would go out as "?".
  bool AcceptedForArchive(const QString& subject, const QString& text);
  // What closing the window does: stops the search and ends the event loop.
  void EndProgram();
  void OnWindowActivated(QWidget* window);
  void OpenHit(int row);
  QUrl ArticleUrl(std::size_t row) const;
  // Enter in the word box: the group search when a group is chosen and the
  // newsgroup box was left as it was, the quick search otherwise.
  void WordEntered();
  void OnEscape();
  // The table fills what the window has beyond its designed size, less the
  // find bar when that is open.
  void LayOutTable();

  veskor::FetchGuard fetches_;
  std::string server_;
  // Which of the program's windows was active last, to tell a return from
  // another window of the program from a return from another program.
  bool mainWasActive_ = false;
  bool messageWasActive_ = false;

  QLabel* progressLine_ = nullptr;
  veskor::FindBar* findBar_ = nullptr;
  veskor::ResultsMenu* resultsMenu_ = nullptr;
  bool searching_ = false;
  // After a stop, how long the page on its way may still take.
  QTimer stopGrace_;
  // "Nom du Newsgroup" is selected the first time the box gets the focus.
  bool edit1Focused_ = false;
};

extern TForm1* Form1;
