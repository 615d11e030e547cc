#include "main_window/results_menu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QMenu>

#include "main_window/result_export.h"
#include "platform/message_box.h"
#include "platform/string_grid_widget.h"

namespace veskor {
namespace {

QStringList RowTexts(const TStringGrid& table, std::size_t row) {
  QStringList cells;
  for (int col = 0; col < table.ColCount(); ++col) cells << table.CellText(col, row);
  return cells;
}

}  // namespace

ResultsMenu::ResultsMenu(TStringGrid& table, std::function<QUrl(std::size_t)> articleUrl,
                         std::function<void(std::size_t)> openArticle, QWidget* window)
    : QObject(window),
      open(new QAction(QStringLiteral("Ouvrir l'article"), this)),
      copy(new QAction(QStringLiteral("Copier"), this)),
      copyLink(new QAction(QStringLiteral("Copier le lien de l'article"), this)),
      exportRows(new QAction(QStringLiteral("Exporter\u2026"), this)),
      table_(table),
      articleUrl_(std::move(articleUrl)),
      openArticle_(std::move(openArticle)),
      window_(window) {
  chooseExportFile = [this](QString& chosenFilter) {
    return QFileDialog::getSaveFileName(window_, QStringLiteral("Exporter les r\u00E9sultats"),
                                        QDir::current().filePath(QStringLiteral("r\u00E9sultats.csv")),
                                        ExportFilters().join(QStringLiteral(";;")), &chosenFilter);
  };
  copy->setShortcut(QKeySequence::Copy);
  connect(open, &QAction::triggered, this, &ResultsMenu::OpenArticle);
  connect(copy, &QAction::triggered, this, [this] { table_.CopySelection(); });
  connect(copyLink, &QAction::triggered, this, &ResultsMenu::CopyLink);
  connect(exportRows, &QAction::triggered, this, &ResultsMenu::Export);

  table_.setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&table_, &QWidget::customContextMenuRequested, this, &ResultsMenu::Popup);
}

QUrl ResultsMenu::CurrentArticle() const {
  const int row = table_.Row();
  return row > 0 ? articleUrl_(static_cast<std::size_t>(row)) : QUrl();
}

void ResultsMenu::Popup(const QPoint& at) {
  const bool article = !CurrentArticle().isEmpty();
  open->setEnabled(article);
  copyLink->setEnabled(article);
  copy->setEnabled(!table_.SelectedRows().empty());
  bool rows = false;
  for (std::size_t row = 1; row < table_.RowCount() && !rows; ++row) rows = !table_.BlankRow(row);
  exportRows->setEnabled(rows);
  QMenu::exec({open, copy, copyLink, exportRows}, table_.viewport()->mapToGlobal(at), nullptr,
              &table_);
}

void ResultsMenu::OpenArticle() {
  const int row = table_.Row();
  if (row > 0) openArticle_(static_cast<std::size_t>(row));
}

void ResultsMenu::CopyLink() {
  const QUrl article = CurrentArticle();
  if (!article.isEmpty()) QApplication::clipboard()->setText(article.toString(QUrl::FullyEncoded));
}

void ResultsMenu::Export() {
  // Several rows selected: those; otherwise every row shown, in the order
  // and under the filter the user sees.
  std::vector<std::size_t> rows = table_.SelectedRows();
  if (rows.size() < 2) rows = table_.ShownRows();
  QList<QStringList> lines;
  for (std::size_t row : rows)
    if (!table_.BlankRow(row)) lines << RowTexts(table_, row);

  QString filter;
  const QString path = chooseExportFile(filter);
  if (path.isEmpty()) return;
  const QString failure =
      WriteExport(path, ExportFormatFor(path, filter), RowTexts(table_, 0), lines);
  if (!failure.isEmpty()) ShowMessage(failure);
}

}  // namespace veskor
