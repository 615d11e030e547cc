#include "main_window/find_bar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "platform/string_grid_widget.h"

namespace veskor {

FindBar::FindBar(TStringGrid& table, QWidget* parent)
    : QWidget(parent),
      table_(table),
      text_(new QLineEdit(this)),
      newOnly_(new QCheckBox(QStringLiteral("Nouveaux seulement"), this)),
      count_(new QLabel(this)) {
  setObjectName(QStringLiteral("findBar"));
  auto* caption = new QLabel(QStringLiteral("Filtrer :"), this);
  text_->setPlaceholderText(QStringLiteral("Texte \u00E0 trouver dans les lignes"));
  text_->setClearButtonEnabled(true);
  auto* close = new QToolButton(this);
  close->setText(QStringLiteral("Fermer"));
  close->setAutoRaise(true);
  close->setToolTip(QStringLiteral("Fermer la barre et montrer toutes les lignes (\u00C9chap)"));
  newOnly_->setToolTip(
      QStringLiteral("Seulement les r\u00E9sultats que cette recherche ne montrait pas les fois pr\u00E9c\u00E9dentes"));
  // Until a search tells its new hits apart.
  newOnly_->hide();

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(caption);
  row->addWidget(text_, 1);
  row->addWidget(newOnly_);
  row->addWidget(count_);
  row->addWidget(close);

  connect(text_, &QLineEdit::textChanged, this, &FindBar::Filter);
  connect(newOnly_, &QCheckBox::toggled, this, &FindBar::FilterNew);
  connect(close, &QToolButton::clicked, this, &FindBar::Close);
  // Rows that a search writes while the bar is open are counted as they come.
  QAbstractItemModel* shown = table_.model();
  connect(shown, &QAbstractItemModel::rowsInserted, this, &FindBar::UpdateCount);
  connect(shown, &QAbstractItemModel::rowsRemoved, this, &FindBar::UpdateCount);
  connect(shown, &QAbstractItemModel::modelReset, this, &FindBar::UpdateCount);
  connect(shown, &QAbstractItemModel::layoutChanged, this, &FindBar::UpdateCount);
  hide();
}

void FindBar::Open() {
  const bool wasHidden = isHidden();
  show();
  text_->setFocus(Qt::ShortcutFocusReason);
  text_->selectAll();
  if (wasHidden) {
    FilterNew();
    Filter(text_->text());
    emit shownChanged();
  }
}

void FindBar::Close() {
  if (isHidden()) return;
  const bool hadFocus = text_->hasFocus();
  hide();
  table_.SetFilterText(QString());
  table_.SetMarkedRowsOnly(false);
  if (hadFocus) table_.setFocus(Qt::OtherFocusReason);
  emit shownChanged();
}

void FindBar::Filter(const QString& text) {
  if (isHidden()) return;
  table_.SetFilterText(text);
  UpdateCount();
}

void FindBar::OfferNewOnly(bool offered) {
  newOnly_->setHidden(!offered);
  FilterNew();
}

void FindBar::FilterNew() {
  if (isHidden()) return;
  table_.SetMarkedRowsOnly(!newOnly_->isHidden() && newOnly_->isChecked());
  UpdateCount();
}

void FindBar::UpdateCount() {
  const bool newOnly = !newOnly_->isHidden() && newOnly_->isChecked();
  if (isHidden() || (text_->text().isEmpty() && !newOnly)) {
    count_->clear();
    return;
  }
  // With a text to find or new rows only, the blank rows are never shown:
  // every row counts.
  const int rows = table_.model()->rowCount();
  count_->setText(rows == 0   ? QStringLiteral("Aucune ligne")
                  : rows == 1 ? QStringLiteral("1 ligne")
                              : QStringLiteral("%1 lignes").arg(rows));
}

}  // namespace veskor
