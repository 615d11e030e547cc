#include "groups/u_gid.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <string>
#include <utility>

#include "groups/combo_drop_down.h"
#include "groups/group_store.h"
#include "platform/fetch_guard.h"
#include "platform/message_box.h"
#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"
#include "platform/window_placement.h"

TF_edition* F_edition = nullptr;

using veskor::FromAnsi;
using veskor::RunReported;
using veskor::ShowMessage;
using veskor::ToAnsi;

namespace {

const QString kIdleCaption = QStringLiteral("  Editeur de groupe");
const QString kEditingPrefix = QStringLiteral("  Edition du groupe: ");

// Shows the refusal of a text that cannot be sent or written; false when
// the text is fine.
bool RefuseUnencodable(const QString& subject, const QString& text) {
  const QString refusal = veskor::UnencodableTextMessage(subject, text);
  if (refusal.isEmpty()) return false;
  ShowMessage(refusal);
  return true;
}

}  // namespace

TF_edition::TF_edition(QWidget* parent) : QWidget(parent, Qt::Tool) {
  BuildControls();
  BindEvents();
  // Qt activates the newly active window before it deactivates this one; the
  // filter lets this window save the group list before the main window, on
  // its activation, reloads it.
  qApp->installEventFilter(this);
  connect(qApp, &QCoreApplication::aboutToQuit, this, &TF_edition::FinishBeforeQuit);
}

void TF_edition::UseFetchGuard(veskor::FetchGuard& fetches) {
  fetches_ = &fetches;
  connect(fetches_, &veskor::FetchGuard::busyChanged, this, &TF_edition::RefreshCommandStates);
  RefreshCommandStates();
}

TF_edition::~TF_edition() {
  qApp->removeEventFilter(this);
  if (F_edition == this) F_edition = nullptr;
}

void TF_edition::BindEvents() {
  connect(B_ajouter, &QPushButton::clicked, this, &TF_edition::B_ajouterClick);
  connect(B_retirer, &QPushButton::clicked, this, &TF_edition::B_retirerClick);
  connect(StringGrid1, &TStringGrid::cellSelected, this, &TF_edition::StringGrid1SelectCell);
  connect(B_cancel, &QPushButton::clicked, this, &TF_edition::B_cancelClick);
  connect(B_update, &QPushButton::clicked, this, &TF_edition::B_updateClick);
  connect(B_save, &QPushButton::clicked, this, &TF_edition::B_saveClick);
  connect(B_creer, &QPushButton::clicked, this, &TF_edition::B_creerClick);
  connect(B_suppr, &QPushButton::clicked, this, &TF_edition::B_supprClick);
  connect(B_edit, &QPushButton::clicked, this, &TF_edition::B_editClick);
  connect(B_quit, &QPushButton::clicked, this, &TF_edition::B_quitClick);
}

bool TF_edition::EditingAGroup() const { return GroupBox1->title() != kIdleCaption; }

void TF_edition::B_creerClick() {
  RunReported([this] {
    const QString name = editCreaGpe->text();
    if (RefuseUnencodable(QStringLiteral("Nom de groupe refusé"), name)) return;
    if (veskor::TestAndCreateGroup(ToAnsi(name)) == veskor::CreateOutcome::Created) {
      ListGroup(name);
      groupList_.Created(ToAnsi(name));
      return;
    }
    if (ComboBox1->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) {
      ShowMessage(QStringLiteral("Le groupe existe déjà"));
      return;
    }
    // A file left unlisted by a failed save or an edit by hand would
    // otherwise be out of reach for good.
    ListGroup(name);
    groupList_.Relisted(ToAnsi(name));
    ShowMessage(QStringLiteral("Le groupe « %1 » avait encore son fichier : il est de nouveau "
                               "dans la liste")
                    .arg(name));
  });
}

void TF_edition::ListGroup(const QString& name) {
  ComboBox1->addItem(name);
  ComboBox1->setCurrentIndex(ComboBox1->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void TF_edition::SetEditedGroup(const QString& name) {
  GroupBox1->setTitle(kEditingPrefix + QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
}

QString TF_edition::EditedGroup() const {
  return GroupBox1->title().mid(kEditingPrefix.size()).replace(QStringLiteral("&&"),
                                                               QStringLiteral("&"));
}

void TF_edition::B_editClick() {
  RunReported([this] {
    const QString name = ComboBox1->currentText();
    SetEditedGroup(name);
    veskor::ResetGrid(*StringGrid1);
    veskor::ReadGroupIntoGrid(ToAnsi(name), *StringGrid1);
  });
}

void TF_edition::B_supprClick() {
  const QString name = ComboBox1->currentText();
  // The file goes for good; the user says so first.
  if (!veskor::AskYesNo(QStringLiteral("Supprimer le groupe \u00AB %1 \u00BB ? Son fichier sera effac\u00E9.")
                            .arg(name)))
    return;
  RunReported([this, name] {
    try {
      veskor::RemoveGroup(ToAnsi(name));
    } catch (const veskor::StoreError&) {
      // A name the store refuses has no file to delete; its list entry goes.
    }
    const int selected = ComboBox1->currentIndex();
    if (selected >= 0) {
      std::size_t occurrence = 0;
      for (int i = 0; i < selected; ++i) occurrence += ComboBox1->itemText(i) == name ? 1 : 0;
      ComboBox1->removeItem(selected);
      groupList_.Deleted(ToAnsi(name), occurrence);
    }
    // Qt would select a neighbour; the next Supprimer must not hit a group
    // the user did not choose.
    ComboBox1->setCurrentIndex(-1);
  });
}

void TF_edition::B_ajouterClick() {
  if (!EditingAGroup()) return;
  const QString newsgroup = Edit1->text();
  if (RefuseUnencodable(QStringLiteral("Newsgroup refusé"), newsgroup)) return;
  veskor::StringGrid& grid = *StringGrid1;
  // The last row is kept empty by every path that changes the grid; should
  // it ever hold an entry, a fresh row is taken rather than overwriting it.
  std::size_t last = grid.RowCount() - 1;
  if (!grid.Cell(0, last).empty() || !grid.Cell(1, last).empty()) {
    grid.SetRowCount(grid.RowCount() + 1);
    ++last;
  }
  grid.SetCell(0, last, ToAnsi(newsgroup));
  grid.SetCell(1, last, "");
  grid.SetRowCount(grid.RowCount() + 1);
}

void TF_edition::B_retirerClick() {
  if (SelectedRow == -1) {
    ShowMessage(QStringLiteral("Choisissez une ligne à supprimer"));
    return;
  }
  veskor::StringGrid& grid = *StringGrid1;
  const std::size_t rows = grid.RowCount();
  const auto removed = static_cast<std::size_t>(SelectedRow);
  // Removing the empty last row, or a row that no longer exists, would take
  // away the row that the next "Ajouter >>" writes into.
  if (SelectedRow < 1 || removed >= rows - 1) return;
  for (std::size_t row = removed; row + 1 < rows; ++row) {
    grid.SetCell(0, row, grid.Cell(0, row + 1));
    grid.SetCell(1, row, grid.Cell(1, row + 1));
  }
  grid.SetCell(0, rows - 1, "");
  grid.SetCell(1, rows - 1, "");
  if (rows > 2) grid.SetRowCount(rows - 1);
}

void TF_edition::StringGrid1SelectCell(int /*ACol*/, int ARow) { SelectedRow = ARow; }

void TF_edition::B_cancelClick() {
  GroupBox1->setTitle(kIdleCaption);
  veskor::ResetGrid(*StringGrid1);
}

void TF_edition::B_saveClick() {
  if (!EditingAGroup()) return;
  const bool saved = RunReported([this] {
    veskor::WriteGroupFromGrid(ToAnsi(EditedGroup()), *StringGrid1);
  });
  if (saved) ShowMessage(QStringLiteral("Sauvegarde effectuée"));
}

void TF_edition::B_quitClick() { close(); }

void TF_edition::FormShow() {
  StringGrid1->SetCell(0, 0, "Newsgroup");
  StringGrid1->SetCell(1, 0, "ID");
  veskor::ComboDropDown list(*ComboBox1);
  const std::string report = groupList_.Load(list);
  if (!report.empty()) ReportLater(FromAnsi(report));
}

void TF_edition::FormDeactivate() {
  const std::string failure = groupList_.Save();
  if (failure.empty() || listReportOpen_) return;
  listReportOpen_ = true;
  ReportLater(FromAnsi(failure));
}

void TF_edition::ReportLater(const QString& text) {
  pendingReports_ << text;
  QTimer::singleShot(0, this, &TF_edition::ShowPendingReports);
}

void TF_edition::ShowPendingReports() {
  // A call further down the stack is showing one and goes on with the rest.
  if (!reportOnScreen_.isEmpty()) return;
  while (!pendingReports_.isEmpty()) {
    reportOnScreen_ = pendingReports_.takeFirst();
    ShowMessage(reportOnScreen_);
    reportOnScreen_.clear();
  }
  listReportOpen_ = false;
}

void TF_edition::FinishBeforeQuit() {
  if (active_) LoseActivation();
  QStringList reports = std::exchange(pendingReports_, {});
  // A box still up closes with the event loop, maybe before it was read.
  if (!reportOnScreen_.isEmpty()) reports.prepend(reportOnScreen_);
  for (const QString& text : reports) ShowMessage(text);
}

void TF_edition::LoseActivation() {
  active_ = false;
  FormDeactivate();
}

bool TF_edition::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::WindowActivate:
      active_ = true;
      break;
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
      // Closing an active window does not deactivate it on every platform.
      if (active_) LoseActivation();
      break;
    default:
      break;
  }
  return QWidget::event(event);
}

bool TF_edition::eventFilter(QObject* watched, QEvent* event) {
  if (!active_ || event->type() != QEvent::WindowActivate || watched == this ||
      !watched->isWidgetType())
    return false;
  const auto* window = static_cast<QWidget*>(watched);
  // Drop-down lists and tool tips open inside a window without leaving it.
  const Qt::WindowType type = window->windowType();
  if (window->isWindow() && type != Qt::Popup && type != Qt::ToolTip) LoseActivation();
  return false;
}

void TF_edition::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A spontaneous show is the window system giving back a window that Qt
  // still counted as visible (after minimising), not a hidden->shown change.
  if (event->spontaneous()) return;
  if (!shownBefore_) {
    shownBefore_ = true;
    KeepOnScreen();
  }
  FormShow();
}

void TF_edition::KeepOnScreen() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) return;
  // The design puts the left edge off screen; shift only as far as needed.
  const QRect frame = frameGeometry();
  const QRect fitted = veskor::FitOnScreen(frame, screen->availableGeometry());
  if (fitted.topLeft() != frame.topLeft()) move(fitted.topLeft());
}
