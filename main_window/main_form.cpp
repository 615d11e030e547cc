#include "main_window/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "engine/archive_requests.h"
#include "groups/group_store.h"
#include "groups/u_gid.h"
#include "main_window/find_bar.h"
#include "main_window/new_hit_marks.h"
#include "main_window/results_menu.h"
#include "main_window/search_progress.h"
#include "searches/search_commands.h"
#include "groups/combo_drop_down.h"
#include "platform/message_box.h"
#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"
#include "shell/apropos.h"
#include "shell/console.h"

TForm1* Form1 = nullptr;

namespace {

const QString kNewsgroupBoxText = QStringLiteral("Nom du Newsgroup");
const QString kWordRefused = QStringLiteral("Mot refus\u00E9");
constexpr int kStopGraceMs = 2000;

// Writes the page step's lines into the console window.
class ConsoleWindowSink final : public veskor::ConsoleSink {
 public:
  void AddLine(std::string_view line) override { ConsoleAddLine(std::string(line)); }
};

// The start of a text the user typed, for a message that quotes it.
QString ReadableExcerpt(const QString& text) {
  constexpr qsizetype kShown = 200;
  return text.size() <= kShown ? text : text.left(kShown) + QChar(0x2026);
}

bool IsOwnWindow(const QWidget* widget) {
  if (!widget->isWindow()) return false;
  // Drop-down lists, menus and tool tips come and go with a click inside a
  // window; they are no window the user leaves or comes back to.
  const Qt::WindowType type = widget->windowType();
  return type != Qt::Popup && type != Qt::ToolTip;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent), server_(veskor::DefaultArchiveServer()) {
  BuildControls();
  BuildAdditions();
  BindEvents();
  qApp->installEventFilter(this);
  FormCreate();
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
  // Destroyed by anything but a close, the program would go on without a
  // window to end it: a destruction ends it as a close does.
  if (QCoreApplication::instance() != nullptr) EndProgram();
}

void TForm1::BindEvents() {
  connect(B_config, &QPushButton::clicked, this, &TForm1::B_configClick);
  connect(B_seek, &QPushButton::clicked, this, &TForm1::B_seekClick);
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(B_vesko, &QPushButton::clicked, this, &TForm1::B_veskoClick);
  connect(B_propos, &QPushButton::clicked, this, &TForm1::B_proposClick);
  // Enter starts the search the user evidently means, as its button would
  // (and does nothing while the button is disabled).
  connect(Edit1, &QLineEdit::returnPressed, B_seek, &QPushButton::click);
  connect(Edit2, &QLineEdit::returnPressed, this, &TForm1::WordEntered);
  Edit1->installEventFilter(this);
  stopGrace_.setSingleShot(true);
  stopGrace_.setInterval(kStopGraceMs);
  connect(&stopGrace_, &QTimer::timeout, this, [this] {
    if (searching_) fetches_.AbandonWaitingFetch();
  });
  auto* find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, findBar_, &veskor::FindBar::Open);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &TForm1::OnEscape);
  connect(findBar_, &veskor::FindBar::shownChanged, this, &TForm1::LayOutTable);
  connect(SG_resultats, &TStringGrid::cellActivated, this,
          [this](int, int row) { OpenHit(row); });
  connect(&fetches_, &veskor::FetchGuard::busyChanged, this, [this](bool busy) {
    B_seek->setEnabled(!busy);
    B_vesko->setEnabled(!busy);
  });
}

void TForm1::FormCreate() {
  SG_resultats->SetCell(0, 0, "Sujet");
  SG_resultats->SetCell(1, 0, "Date");
  SG_resultats->SetCell(2, 0, "Posteur");
  SG_resultats->SetCell(3, 0, "Newsgroup");
}

void TForm1::FormActivate(bool reportFailure) {
  // The chosen group stays chosen as long as the reloaded list still has it.
  const QString chosen = ComboBox2->currentIndex() >= 0 ? ComboBox2->currentText() : QString();
  veskor::ComboDropDown list(*ComboBox2);
  const bool loaded = veskor::LoadGroupList(list);
  if (!chosen.isNull()) ComboBox2->setCurrentIndex(ComboBox2->findText(chosen, Qt::MatchExactly));
  if (loaded || !reportFailure) return;
  // Reported once the activation is over; the box closing activates this
  // window again, which then reloads without a second report.
  QTimer::singleShot(0, this, [] {
    veskor::ShowMessage(QStringLiteral("Erreur du chargement des groupes"));
  });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit1 && event->type() == QEvent::FocusIn && !edit1Focused_) {
    edit1Focused_ = true;
    // Selected once the click that brought the focus has placed the cursor,
    // so that typing replaces the initial text.
    if (Edit1->text() == kNewsgroupBoxText)
      QTimer::singleShot(0, Edit1, [this] {
        if (Edit1->text() == kNewsgroupBoxText) Edit1->selectAll();
      });
  }
  if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
    auto* window = static_cast<QWidget*>(watched);
    if (IsOwnWindow(window)) OnWindowActivated(window);
  }
  return QWidget::eventFilter(watched, event);
}

// The main window counts as activated when it becomes the program's active
// window after another window of the program was: the editor, the console,
// the about window or a message box. Coming back from another program, the
// program's last active window is the main window itself, so nothing happens.
void TForm1::OnWindowActivated(QWidget* window) {
  const bool fromAnotherWindow = !mainWasActive_;
  const bool fromMessage = messageWasActive_;
  mainWasActive_ = window == this;
  messageWasActive_ = qobject_cast<QMessageBox*>(window) != nullptr;
  if (window != this || !fromAnotherWindow) return;
  // After one of the program's messages the list is reloaded as after any
  // other window, but a failure is not told again: that message may well
  // have been this very report.
  FormActivate(!fromMessage);
}

void TForm1::B_configClick() {
  if (F_edition) F_edition->setVisible(true);
}

void TForm1::Button1Click() {
  if (Form2) Form2->setVisible(true);
}

void TForm1::B_proposClick() {
  if (Form3) Form3->setVisible(true);
}

void TForm1::Button2Click() {
  veskor::RaiseStopFlag();
  // The page on its way may still come; past the grace, its fetch is given
  // up. A second press does not put that off.
  if (searching_ && !stopGrace_.isActive()) stopGrace_.start();
}

void TForm1::OnEscape() {
  if (searching_)
    Button2Click();
  else
    findBar_->Close();
}

void TForm1::WordEntered() {
  if (ComboBox2->currentIndex() >= 0 && Edit1->text() == kNewsgroupBoxText)
    B_vesko->click();
  else
    B_seek->click();
}

void TForm1::B_seekClick() {
  if (!AcceptedForArchive(kWordRefused, Edit2->text()) ||
      !AcceptedForArchive(QStringLiteral("Newsgroup refus\u00E9"), Edit1->text()))
    return;
  const std::string word = veskor::ToAnsi(Edit2->text());
  const std::string newsgroup = veskor::ToAnsi(Edit1->text());
  // The ID lookup first, then the newsgroup's pages fetched ahead over the
  // shared connections, shown as the one-by-one walk shows them.
  RunSearch(false, veskor::SearchKey::Quick(word, newsgroup), [&](veskor::SearchContext& ctx) {
    return veskor::RunQuickSearch(ctx, fetches_.SideBySideFetcher(), word, newsgroup);
  });
}

void TForm1::B_veskoClick() {
  if (!AcceptedForArchive(kWordRefused, Edit2->text())) return;
  const std::string word = veskor::ToAnsi(Edit2->text());
  // The chosen group's name; empty when none is chosen.
  const std::string group = veskor::ToAnsi(ComboBox2->currentText());
  // The newsgroups' walks run side by side: the network is waited for once,
  // not once per page, and the table fills as the one-by-one walk fills it.
  RunSearch(true, veskor::SearchKey::OfGroup(word, group), [&](veskor::SearchContext& ctx) {
    return veskor::RunGroupSearch(ctx, fetches_.SideBySideFetcher(), word, group);
  });
}

bool TForm1::AcceptedForArchive(const QString& subject, const QString& text) {
  const QString refusal = veskor::UnencodableTextMessage(subject, text);
  if (refusal.isEmpty()) return true;
  veskor::ShowMessage(refusal);
  return false;
}

void TForm1::RunSearch(bool groupSearch, const veskor::SearchKey& key,
                       const std::function<veskor::SearchOutcome(veskor::SearchContext&)>& search) {
  using End = veskor::SearchProgress::End;
  End end = End::Failed;
  std::optional<veskor::SearchOutcome> outcome;
  veskor::SearchProgress progress(groupSearch);
  veskor::NewHitMarks marks(*SG_resultats, key);
  {
    veskor::FetchScope fetching(fetches_);
    if (!fetching) return;
    // A new search comes in the archive's order, under the filter in use,
    // its new hits told apart from the first row on.
    SG_resultats->ClearSort();
    SG_resultats->ClearRowMarks();
    const bool recordRead = marks.Load();
    findBar_->OfferNewOnly(marks.Marking());
    // The search still runs, marking nothing.
    if (!recordRead) veskor::ShowMessage(veskor::FromAnsi(marks.Problem()));
    progressLine_->setText(veskor::FromAnsi(progress.RunningText()));
    veskor::ProgressTable table(marks, progress);
    ConsoleWindowSink console;
    veskor::SearchContext ctx{server_, fetches_.Fetcher(), table, console, [&] {
                                SG_resultats->ShowAddedRows();
                                progress.PageDone(table);
                                progressLine_->setText(veskor::FromAnsi(progress.RunningText()));
                              }};
    searching_ = true;
    try {
      outcome = search(ctx);
      end = veskor::StopFlag != 0 ? End::Stopped : End::Complete;
    } catch (const veskor::FetchAbandoned&) {
      // The stop gave up a page that did not come: a stopped search.
      end = End::Stopped;
    } catch (const std::exception& error) {
      if (!fetches_.Closed()) veskor::ShowError(error);
    } catch (...) {
      if (!fetches_.Closed()) veskor::ShowMessage(QString());
    }
    searching_ = false;
    stopGrace_.stop();
  }
  // Closed in the middle: the user may not have looked at the rows, which
  // stay new for the next run.
  if (fetches_.Closed()) return;
  std::optional<std::size_t> newHits;
  if (marks.Marking()) newHits = marks.NewHits();
  progressLine_->setText(veskor::FromAnsi(progress.EndText(end, newHits)));
  // A run that searched the archive is recorded even without hits, so that
  // the next run tells its hits apart; one that searched nothing (no group
  // file, an unknown newsgroup, no archive) is not its first run.
  if (marks.Hits() > 0 || (progress.Pages() > 0 && (!outcome || outcome->SearchedAnything())))
    veskor::RunReported([&] { marks.Save(); });
  if (outcome)
    veskor::ShowMessage(veskor::FromAnsi(veskor::ClosingMessage(*outcome)));
  else if (end == End::Stopped)
    veskor::ShowMessage(QStringLiteral("Recherche termin\u00E9e"));
}

QUrl TForm1::ArticleUrl(std::size_t row) const {
  const std::string link = SG_resultats->RowLink(row);
  if (link.empty()) return {};
  const QUrl base(veskor::FromAnsi(server_) + QLatin1Char('/'));
  return base.resolved(QUrl(veskor::FromAnsi(link)));
}

void TForm1::OpenHit(int row) {
  if (row < 1) return;
  const QUrl address = ArticleUrl(static_cast<std::size_t>(row));
  if (address.isEmpty()) return;
  // A page's link could name any scheme (file:, javascript:, a program's own
  // handler): only web addresses go to the browser.
  const QString scheme = address.scheme();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return;
  if (QDesktopServices::openUrl(address)) return;
  veskor::ShowMessage(QStringLiteral("Aucun navigateur n'a pu \u00EAtre lanc\u00E9 pour ouvrir %1")
                          .arg(ReadableExcerpt(address.toString(QUrl::FullyEncoded))));
}

void TForm1::EndProgram() {
  // A search waiting for the archive must not hold the program open: its
  // fetch fails at once and the search ends without a word.
  veskor::RaiseStopFlag();
  fetches_.Close();
  // Queued, so that the search unwinds first and the other windows, which
  // would keep the program alive, are closed with it.
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void TForm1::closeEvent(QCloseEvent* event) {
  event->accept();
  EndProgram();
}
