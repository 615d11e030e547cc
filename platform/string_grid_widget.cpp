#include "platform/string_grid_widget.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <algorithm>

#include "platform/qt_text.h"
#include "platform/string_grid_sort_filter.h"

namespace veskor {
namespace {

const std::string kEmpty;

// Posted to a model that has rows to announce, ahead of the paint events.
const QEvent::Type kShowAddedRowsEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

StringGridModel::StringGridModel(int cols, std::size_t rows, QObject* parent)
    : QAbstractTableModel(parent), cols_(std::max(cols, 1)) {
  Resize(std::max<std::size_t>(rows, 1));
  announced_ = RowCount() - 1;
}

void StringGridModel::ShowAddedRows() {
  const std::size_t data = RowCount() - 1;
  // A view that reads the grid while it learns of the rows asks for no more.
  if (announced_ >= data || announcing_) return;
  announcing_ = true;
  beginInsertRows({}, static_cast<int>(announced_), static_cast<int>(data - 1));
  announced_ = data;
  endInsertRows();
  announcing_ = false;
}

void StringGridModel::customEvent(QEvent* event) {
  if (event->type() != kShowAddedRowsEvent) return QAbstractTableModel::customEvent(event);
  showPosted_ = false;
  ShowAddedRows();
}

void StringGridModel::Resize(std::size_t rows) {
  cells_.resize(rows * static_cast<std::size_t>(cols_));
  links_.resize(rows);
  marks_.resize(rows);
}

void StringGridModel::SetRowCount(std::size_t rows) {
  rows = std::max<std::size_t>(rows, 1);
  if (rows > RowCount()) {
    Resize(rows);
    if (!collect_) {
      // Only the new rows are announced, so that growing by one row costs
      // the same however long the table already is.
      ShowAddedRows();
    } else if (!showPosted_) {
      showPosted_ = true;
      QCoreApplication::postEvent(this, new QEvent(kShowAddedRowsEvent), Qt::HighEventPriority);
    }
  } else if (rows - 1 < announced_) {
    beginRemoveRows({}, static_cast<int>(rows - 1), static_cast<int>(announced_ - 1));
    Resize(rows);
    announced_ = rows - 1;
    endRemoveRows();
  } else {
    // Only rows that the views never saw go.
    Resize(rows);
  }
}

const std::string& StringGridModel::Cell(int col, std::size_t row) const {
  if (col < 0 || col >= cols_ || row >= RowCount()) return kEmpty;
  return cells_[row * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(col)];
}

void StringGridModel::SetCell(int col, std::size_t row, std::string_view text) {
  if (col < 0 || col >= cols_ || row >= RowCount()) return;
  std::string& cell = cells_[row * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(col)];
  if (cell == text) return;
  const bool wasBlank = row > 0 && row <= announced_ && BlankRow(row);
  cell.assign(text);
  if (row == 0) {
    emit headerDataChanged(Qt::Horizontal, col, col);
  } else if (row <= announced_) {
    // A row that becomes or stops being blank changes as a whole: blank rows
    // sort apart from the others, whichever column the sort looks at.
    const bool whole = wasBlank != BlankRow(row);
    const int r = static_cast<int>(row - 1);
    emit dataChanged(index(r, whole ? 0 : col), index(r, whole ? cols_ - 1 : col), {Qt::DisplayRole});
  }
}

bool StringGridModel::BlankRow(std::size_t row) const {
  for (int col = 0; col < cols_; ++col)
    if (!Cell(col, row).empty()) return false;
  return true;
}

const std::string& StringGridModel::RowLink(std::size_t row) const {
  return row < RowCount() ? links_[row] : kEmpty;
}

void StringGridModel::SetRowLink(std::size_t row, std::string_view link) {
  if (row < RowCount()) links_[row].assign(link);
}

void StringGridModel::SetRowMarked(std::size_t row, bool marked) {
  if (row == 0 || row >= RowCount() || marks_[row] == marked) return;
  marks_[row] = marked;
  if (row > announced_) return;
  const int r = static_cast<int>(row - 1);
  emit dataChanged(index(r, 0), index(r, cols_ - 1), {Qt::FontRole});
}

void StringGridModel::ClearRowMarks() {
  const auto first = std::find(marks_.begin(), marks_.end(), true);
  if (first == marks_.end()) return;
  const auto from = static_cast<std::size_t>(first - marks_.begin());
  std::fill(first, marks_.end(), false);
  if (from > announced_) return;
  emit dataChanged(index(static_cast<int>(from - 1), 0),
                   index(static_cast<int>(announced_ - 1), cols_ - 1), {Qt::FontRole});
}

int StringGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(announced_);
}

int StringGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : cols_;
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::FontRole) {
    if (!RowMarked(static_cast<std::size_t>(index.row()) + 1)) return {};
    // Only the weight: the rest comes from the view's font.
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  const std::string& text = Cell(index.column(), static_cast<std::size_t>(index.row()) + 1);
  if (text.empty()) return {};
  return FromAnsi(text);
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation,
                                     int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return FromAnsi(Cell(section, 0));
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace veskor

using veskor::FromAnsi;
using veskor::ToAnsi;

TStringGrid::TStringGrid(int cols, std::size_t rows, QWidget* parent)
    : QTableView(parent), model_(cols, rows) {
  setModel(&model_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setShowGrid(true);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setTabKeyNavigation(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  verticalHeader()->hide();
  // Fixed heights: the view never measures a row, whatever the row count.
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

  QHeaderView* titles = horizontalHeader();
  titles->setMinimumSectionSize(4);
  titles->setSectionResizeMode(QHeaderView::Interactive);
  titles->setStretchLastSection(false);
  titles->setSectionsClickable(false);
  titles->setHighlightSections(false);
  titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  SetDefaultColWidth(64);
  SetDefaultRowHeight(24);

  FollowShownModel();
  connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& at) {
    if (at.isValid()) emit cellActivated(at.column(), GridRow(at));
  });
}

void TStringGrid::FollowShownModel() {
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { OnCurrentChanged(current); });
  // A sort or a new filter moves the rows; the view lays them all out again.
  const auto reshaped = [this] { reshaped_ = true; };
  connect(model(), &QAbstractItemModel::layoutChanged, this, reshaped);
  connect(model(), &QAbstractItemModel::rowsMoved, this, reshaped);
  connect(model(), &QAbstractItemModel::columnsInserted, this, reshaped);
  connect(model(), &QAbstractItemModel::columnsRemoved, this, reshaped);
  reshaped_ = true;
}

void TStringGrid::rowsInserted(const QModelIndex& parent, int start, int end) {
  if (end + 1 != model()->rowCount())
    reshaped_ = true;
  else if (firstAdded_ < 0)
    firstAdded_ = start;
  QTableView::rowsInserted(parent, start, end);
}

void TStringGrid::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
  reshaped_ = true;
  QTableView::rowsAboutToBeRemoved(parent, start, end);
}

void TStringGrid::reset() {
  reshaped_ = true;
  QTableView::reset();
}

// A page of rows after thousands is the common case: repainting the rows in
// view for it would cost more than the rest of the page's work.
void TStringGrid::doItemsLayout() {
  const bool belowView =
      !reshaped_ && firstAdded_ >= 0 && rowViewportPosition(firstAdded_) >= viewport()->height();
  firstAdded_ = -1;
  reshaped_ = false;
  if (!belowView) return QTableView::doItemsLayout();
  // A view scrolled to its end stays on the same rows, no longer aligned on
  // the last one: that moves them.
  const int offset = verticalHeader()->offset();
  updateGeometries();
  if (verticalHeader()->offset() != offset) viewport()->update();
}

bool TStringGrid::event(QEvent* event) {
  // What changes the look of every row, wherever rows were added.
  switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::LayoutDirectionChange:
      reshaped_ = true;
      break;
    default:
      break;
  }
  return QTableView::event(event);
}

int TStringGrid::GridRow(const QModelIndex& shown) const {
  if (!shown.isValid()) return -1;
  return shown_ ? shown_->GridRow(shown) : shown.row() + 1;
}

QModelIndex TStringGrid::ShownIndex(int col, std::size_t row) const {
  const QModelIndex cell = model_.index(static_cast<int>(row - 1), col);
  return shown_ ? shown_->mapFromSource(cell) : cell;
}

void TStringGrid::EnableSortAndFilter(int dateColumn) {
  if (shown_) return;
  shown_ = new veskor::StringGridSortFilter(model_, this);
  shown_->SetDateColumn(dateColumn);
  shown_->setSourceModel(&model_);
  QScopedValueRollback quiet(quiet_, true);
  // What followed the cells follows the rows shown from now on.
  disconnect(&model_, nullptr, this, nullptr);
  setModel(shown_);
  FollowShownModel();

  QHeaderView* titles = horizontalHeader();
  titles->setSectionsClickable(true);
  titles->setSortIndicatorShown(true);
  // Ascending, descending, then the archive's order again.
  titles->setSortIndicatorClearable(true);
  titles->setSortIndicator(-1, Qt::AscendingOrder);
  connect(titles, &QHeaderView::sortIndicatorChanged, this,
          [this](int col, Qt::SortOrder order) { shown_->sort(col, order); });
}

void TStringGrid::CollectAddedRows() { model_.CollectAddedRows(); }

void TStringGrid::SetFilterText(const QString& text) {
  if (shown_) shown_->SetFilterText(text);
}

void TStringGrid::SetMarkedRowsOnly(bool on) {
  if (shown_) shown_->SetMarkedOnly(on);
}

void TStringGrid::ClearSort() {
  if (shown_) horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

std::vector<std::size_t> TStringGrid::ShownRows() const {
  ShowAddedRows();
  std::vector<std::size_t> rows;
  const int count = model()->rowCount();
  rows.reserve(static_cast<std::size_t>(count));
  for (int r = 0; r < count; ++r)
    rows.push_back(static_cast<std::size_t>(GridRow(model()->index(r, 0))));
  return rows;
}

std::vector<std::size_t> TStringGrid::SelectedRows() const {
  ShowAddedRows();
  std::vector<int> shownRows;
  for (const QModelIndex& at : selectionModel()->selectedIndexes()) shownRows.push_back(at.row());
  std::sort(shownRows.begin(), shownRows.end());
  shownRows.erase(std::unique(shownRows.begin(), shownRows.end()), shownRows.end());
  std::vector<std::size_t> rows;
  for (int r : shownRows) rows.push_back(static_cast<std::size_t>(GridRow(model()->index(r, 0))));
  return rows;
}

int TStringGrid::RowAt(const QPoint& pos) const {
  ShowAddedRows();
  return GridRow(indexAt(pos));
}

int TStringGrid::ColCount() const { return model_.ColCount(); }

std::size_t TStringGrid::RowCount() const { return model_.RowCount(); }

void TStringGrid::SetRowCount(std::size_t rows) {
  QScopedValueRollback quiet(quiet_, true);
  model_.SetRowCount(rows);
}

std::string TStringGrid::Cell(int col, std::size_t row) const {
  return model_.Cell(col, row);
}

void TStringGrid::SetCell(int col, std::size_t row, std::string_view text) {
  model_.SetCell(col, row, text);
}

void TStringGrid::SetRowLink(std::size_t row, std::string_view link) {
  model_.SetRowLink(row, link);
}

std::string TStringGrid::RowLink(std::size_t row) const { return model_.RowLink(row); }

void TStringGrid::SetRowMarked(std::size_t row, bool marked) { model_.SetRowMarked(row, marked); }

bool TStringGrid::RowMarked(std::size_t row) const { return model_.RowMarked(row); }

void TStringGrid::ClearRowMarks() { model_.ClearRowMarks(); }

QString TStringGrid::CellText(int col, std::size_t row) const {
  return FromAnsi(model_.Cell(col, row));
}

void TStringGrid::SetColWidth(int col, int width) { setColumnWidth(col, width); }

void TStringGrid::SetDefaultColWidth(int width) {
  horizontalHeader()->setDefaultSectionSize(width);
}

void TStringGrid::SetDefaultRowHeight(int height) {
  verticalHeader()->setDefaultSectionSize(height);
  horizontalHeader()->setFixedHeight(height);
}

void TStringGrid::SetRangeSelect(bool on) {
  setSelectionMode(on ? QAbstractItemView::ContiguousSelection
                      : QAbstractItemView::SingleSelection);
}

int TStringGrid::Col() const {
  ShowAddedRows();
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.column() : -1;
}

int TStringGrid::Row() const {
  ShowAddedRows();
  return GridRow(currentIndex());
}

void TStringGrid::SelectCell(int col, std::size_t row) {
  if (row == 0 || row >= RowCount() || col < 0 || col >= ColCount()) return;
  ShowAddedRows();
  const QModelIndex at = ShownIndex(col, row);
  if (!at.isValid()) return;  // filtered out
  QScopedValueRollback quiet(quiet_, true);
  selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
  scrollTo(at);
}

QString TStringGrid::SelectedText() const {
  ShowAddedRows();
  const QModelIndexList picked = selectionModel()->selectedIndexes();
  if (picked.isEmpty()) return {};
  int top = picked.front().row(), bottom = top;
  int left = picked.front().column(), right = left;
  for (const QModelIndex& at : picked) {
    top = std::min(top, at.row());
    bottom = std::max(bottom, at.row());
    left = std::min(left, at.column());
    right = std::max(right, at.column());
  }
  // The bounding rectangle, with unselected cells inside it left empty, so
  // that columns stay aligned when pasted into a spreadsheet.
  QString out;
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      if (c > left) out += QLatin1Char('\t');
      const QModelIndex at = model()->index(r, c);
      if (selectionModel()->isSelected(at))
        out += CellText(c, static_cast<std::size_t>(GridRow(at)));
    }
    out += QLatin1Char('\n');
  }
  return out;
}

void TStringGrid::CopySelection() const {
  const QString text = SelectedText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    event->accept();
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      currentIndex().isValid()) {
    emit cellActivated(Col(), Row());
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

// Tabbing into a grid without a current cell makes Qt pick the first one;
// that is no cell the user chose.
void TStringGrid::focusInEvent(QFocusEvent* event) {
  QScopedValueRollback quiet(quiet_, true);
  QTableView::focusInEvent(event);
}

void TStringGrid::OnCurrentChanged(const QModelIndex& current) {
  if (quiet_ || !current.isValid()) return;
  emit cellSelected(current.column(), GridRow(current));
}
