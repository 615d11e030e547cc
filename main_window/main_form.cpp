#include "main_window/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "engine/archive_requests.h"
#include "groups/group_store.h"
#include "groups/u_gid.h"
#include "searches/search_commands.h"
#include "groups/combo_drop_down.h"
#include "platform/message_box.h"
#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"
#include "shell/apropos.h"
#include "shell/console.h"

TForm1* Form1 = nullptr;

namespace {

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
  // Enter in either box of the quick search starts it, as the button would
  // (and does nothing while the button is disabled).
  connect(Edit1, &QLineEdit::returnPressed, B_seek, &QPushButton::click);
  connect(Edit2, &QLineEdit::returnPressed, B_seek, &QPushButton::click);
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
  veskor::ComboDropDown list(*ComboBox2);
  if (veskor::LoadGroupList(list) || !reportFailure) return;
  // Reported once the activation is over; the box closing activates this
  // window again, which then reloads without a second report.
  QTimer::singleShot(0, this, [] {
    veskor::ShowMessage(QStringLiteral("Erreur du chargement des groupes"));
  });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
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

void TForm1::Button2Click() { veskor::RaiseStopFlag(); }

void TForm1::B_seekClick() {
  if (!AcceptedForArchive(Edit2->text()) || !AcceptedForArchive(Edit1->text())) return;
  const std::string word = veskor::ToAnsi(Edit2->text());
  const std::string newsgroup = veskor::ToAnsi(Edit1->text());
  RunSearch([&](veskor::SearchContext& ctx) { return veskor::RunQuickSearch(ctx, word, newsgroup); });
}

void TForm1::B_veskoClick() {
  if (!AcceptedForArchive(Edit2->text())) return;
  const std::string word = veskor::ToAnsi(Edit2->text());
  // The chosen group's name; empty when none is chosen.
  const std::string group = veskor::ToAnsi(ComboBox2->currentText());
  RunSearch([&](veskor::SearchContext& ctx) { return veskor::RunGroupSearch(ctx, word, group); });
}

bool TForm1::AcceptedForArchive(const QString& text) {
  const std::optional<QString> refused = veskor::FirstNonAnsiCharacter(text);
  if (!refused) return true;
  veskor::ShowMessage(QStringLiteral("Le caract\u00E8re \u00AB %1 \u00BB de \u00AB %2 \u00BB n'existe pas "
                                     "en Windows-1252, le jeu de caract\u00E8res de l'archive : "
                                     "rien n'a \u00E9t\u00E9 envoy\u00E9.")
                          .arg(*refused, ReadableExcerpt(text)));
  return false;
}

void TForm1::RunSearch(const std::function<veskor::SearchOutcome(veskor::SearchContext&)>& search) {
  std::optional<veskor::SearchOutcome> outcome;
  {
    veskor::FetchScope fetching(fetches_);
    if (!fetching) return;
    ConsoleWindowSink console;
    veskor::SearchContext ctx{server_, fetches_.Fetcher(), *SG_resultats, console, {}};
    try {
      outcome = search(ctx);
    } catch (const std::exception& error) {
      if (!fetches_.Closed()) veskor::ShowError(error);
    } catch (...) {
      if (!fetches_.Closed()) veskor::ShowMessage(QString());
    }
  }
  if (outcome && !fetches_.Closed())
    veskor::ShowMessage(veskor::FromAnsi(veskor::ClosingMessage(*outcome)));
}

void TForm1::OpenHit(int row) {
  if (row < 1) return;
  const std::string link = SG_resultats->RowLink(static_cast<std::size_t>(row));
  if (link.empty()) return;
  const QUrl base(veskor::FromAnsi(server_) + QLatin1Char('/'));
  const QUrl address = base.resolved(QUrl(veskor::FromAnsi(link)));
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
