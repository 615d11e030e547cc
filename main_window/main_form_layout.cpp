// The main window's controls at the pixel positions of its design, relative
// to their parent. Enlarging the window gives the extra room to the result
// table; every other control keeps its place. What the design lacks goes into
// the room it leaves free (the progress line) or shows only when called for
// (the find bar).

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "main_window/find_bar.h"
#include "main_window/main_form.h"
#include "main_window/results_menu.h"
#include "platform/design_fonts.h"
#include "platform/string_grid_widget.h"
#include "platform/window_placement.h"

using veskor::DesignFace;
using veskor::DesignFont;

namespace {

// The window's outer size and the table's place in the design.
constexpr QSize kDesignedOuter(825, 696);
constexpr QRect kDesignedTable(8, 248, 801, 409);
// The least the table keeps when the window is made smaller than designed.
constexpr QSize kSmallestTable(240, 120);
constexpr int kFindBarHeight = 26;
constexpr int kFindBarGap = 4;
constexpr int kDateColumn = 1;

QGroupBox* GroupBox(QWidget* parent, const QString& caption, const QRect& at) {
  auto* box = new QGroupBox(caption, parent);
  box->setGeometry(at);
  box->setFont(DesignFont(DesignFace::Verdana, 13, true));
  return box;
}

QPushButton* Button(QWidget* parent, const QString& caption, const QRect& at) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(at);
  // Enter in an edit box must not press whatever button happens to be default.
  button->setAutoDefault(false);
  return button;
}

QLineEdit* EditBox(QWidget* parent, const QString& text, const QRect& at, const QFont& font) {
  auto* edit = new QLineEdit(text, parent);
  edit->setGeometry(at);
  edit->setFont(font);
  return edit;
}

}  // namespace

void TForm1::BuildControls() {
  setWindowTitle(QStringLiteral("Veskor"));
  setFont(DesignFont(DesignFace::ComicSansMS, 13));
  veskor::PlaceWindow(*this, QRect(145, -8, 825, 696));

  GroupBox3 = GroupBox(this, QStringLiteral("Mot \u00E0 rechercher"), {24, 8, 201, 57});
  Edit2 = EditBox(GroupBox3, QString(), {16, 23, 169, 24}, DesignFont(DesignFace::Verdana, 13));

  B_config = Button(this, QStringLiteral("Configuration"), {264, 8, 97, 64});

  GroupBox2 = GroupBox(this, QStringLiteral("Vesko"), {24, 72, 337, 73});
  ComboBox2 = new QComboBox(GroupBox2);
  ComboBox2->setGeometry(24, 32, 145, 24);
  ComboBox2->setFont(DesignFont(DesignFace::Verdana, 13));
  ComboBox2->setEditable(false);
  B_vesko = Button(GroupBox2, QStringLiteral("Rechercher"), {240, 8, 97, 64});
  B_vesko->setFont(DesignFont(DesignFace::ComicSansMS, 13));

  GroupBox1 = GroupBox(this, QStringLiteral("Recherche Rapide"), {24, 152, 337, 73});
  Edit1 = EditBox(GroupBox1, QStringLiteral("Nom du Newsgroup"), {8, 28, 217, 21},
                  DesignFont(DesignFace::Verdana, 11));
  B_seek = Button(GroupBox1, QStringLiteral("Rechercher"), {240, 8, 97, 64});
  B_seek->setFont(DesignFont(DesignFace::ComicSansMS, 13));

  Button2 = Button(this, QStringLiteral("Stopper la recherche"), {400, 128, 137, 41});
  Button1 = Button(this, QStringLiteral("Console"), {672, 104, 97, 25});
  B_propos = Button(this, QStringLiteral("A Propos"), {672, 144, 97, 25});

  SG_resultats = new TStringGrid(4, 2, this);
  SG_resultats->setGeometry(8, 248, 801, 409);
  SG_resultats->setFont(DesignFont(DesignFace::Arial, 11));
  SG_resultats->SetDefaultColWidth(400);
  SG_resultats->SetDefaultRowHeight(18);
  SG_resultats->SetColWidth(0, 455);
  SG_resultats->SetColWidth(1, 115);
  SG_resultats->SetColWidth(2, 119);
  SG_resultats->SetColWidth(3, 103);
  SG_resultats->SetRangeSelect(true);

  // The design's tab order, window level first, each group box's controls
  // taking the place of their box.
  QWidget* const order[] = {SG_resultats, B_seek,   Edit1,  B_vesko, ComboBox2,
                            B_config,     B_propos, Edit2,  Button1, Button2};
  for (std::size_t i = 1; i < std::size(order); ++i)
    QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm1::BuildAdditions() {
  SG_resultats->EnableSortAndFilter(kDateColumn);
  // A page's hits reach the view, the sort and the find bar in one go.
  SG_resultats->CollectAddedRows();

  // Under "Stopper la recherche", where the design leaves the width of the
  // table free; empty until the first search.
  progressLine_ = new QLabel(this);
  progressLine_->setObjectName(QStringLiteral("progressLine"));
  progressLine_->setGeometry(400, 176, 409, 48);
  progressLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  progressLine_->setWordWrap(true);

  findBar_ = new veskor::FindBar(*SG_resultats, this);
  QWidget::setTabOrder(SG_resultats, findBar_);

  resultsMenu_ = new veskor::ResultsMenu(
      *SG_resultats, [this](std::size_t row) { return ArticleUrl(row); },
      [this](std::size_t row) { OpenHit(static_cast<int>(row)); }, this);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOutTable();
}

void TForm1::LayOutTable() {
  if (!findBar_) return;  // not built yet
  // The client area the designed outer size gives inside this window's frame
  // (no frame yet: the outer size itself).
  const QSize frame = frameGeometry().size() - geometry().size();
  const QSize designed = kDesignedOuter - frame.expandedTo(QSize(0, 0));
  const QSize extra = size() - designed;
  QRect table(kDesignedTable.topLeft(),
              (kDesignedTable.size() + extra).expandedTo(kSmallestTable));
  if (findBar_->isVisible()) {
    table.setHeight(std::max(kSmallestTable.height(), table.height() - kFindBarHeight - kFindBarGap));
    findBar_->setGeometry(table.left(), table.bottom() + 1 + kFindBarGap, table.width(), kFindBarHeight);
  }
  SG_resultats->setGeometry(table);
}
