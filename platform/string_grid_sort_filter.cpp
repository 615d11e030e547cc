#include "platform/string_grid_sort_filter.h"

#include <QLocale>
#include <algorithm>
#include <climits>

#include "platform/find_text.h"
#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"

namespace veskor {
namespace {

// "dd/mm/yyyy" as yyyymmdd; INT_MAX for anything else, which sorts after
// every date.
int DateKey(std::string_view text) {
  if (text.size() != 10 || text[2] != '/' || text[5] != '/') return INT_MAX;
  int key = 0;
  for (std::size_t i : {6u, 7u, 8u, 9u, 3u, 4u, 0u, 1u}) {
    const char c = text[i];
    if (c < '0' || c > '9') return INT_MAX;
    key = key * 10 + (c - '0');
  }
  return key;
}

}  // namespace

StringGridSortFilter::StringGridSortFilter(const StringGridModel& cells, QObject* parent)
    : QSortFilterProxyModel(parent), cells_(cells), collator_(QLocale(QLocale::French, QLocale::France)) {
  // Letter case never orders two texts; accents order those equal but for
  // them.
  collator_.setCaseSensitivity(Qt::CaseInsensitive);
  // Connected before the proxy itself is (setSourceModel comes after), so
  // that rows have their keys by the time the proxy sorts them in.
  connect(&cells_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
    if (keyColumn_ < 0) return;
    if (std::ssize(keys_) < first) keys_.resize(static_cast<std::size_t>(first));
    keys_.insert(keys_.begin() + first, static_cast<std::size_t>(last - first + 1), Key{});
    for (int row = first; row <= last; ++row) KeyOf(row);
  });
  connect(&cells_, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
    // A mark changes no text, and the proxy itself refilters only for a
    // change of the texts.
    if (roles == QList<int>{Qt::FontRole}) {
      if (markedOnly_) invalidateRowsFilter();
      return;
    }
    for (int row = std::max(from.row(), 0); row <= to.row() && row < std::ssize(keys_); ++row)
      keys_[static_cast<std::size_t>(row)].made = false;
  });
  connect(&cells_, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
    if (first < std::ssize(keys_))
      keys_.erase(keys_.begin() + first, keys_.begin() + std::min<std::ptrdiff_t>(last + 1, std::ssize(keys_)));
  });
  connect(&cells_, &QAbstractItemModel::modelReset, this, [this] { keys_.clear(); });
}

void StringGridSortFilter::SetFilterText(const QString& text) {
  std::optional<std::string> findText = text.isEmpty() ? std::optional<std::string>() : FoldFindText(text);
  const bool filtering = !text.isEmpty();
  if (filtering == filtering_ && findText == findText_) return;
  filtering_ = filtering;
  findText_ = std::move(findText);
  invalidateRowsFilter();
}

void StringGridSortFilter::SetMarkedOnly(bool on) {
  if (on == markedOnly_) return;
  markedOnly_ = on;
  invalidateRowsFilter();
}

void StringGridSortFilter::sort(int column, Qt::SortOrder order) {
  if (column != keyColumn_) {
    keys_.clear();
    keyColumn_ = column;
  }
  QSortFilterProxyModel::sort(column, order);
}

int StringGridSortFilter::GridRow(const QModelIndex& shown) const {
  if (!shown.isValid()) return -1;
  return mapToSource(shown).row() + 1;
}

void StringGridSortFilter::MakeRoomFor(int row) const {
  if (row >= std::ssize(keys_)) keys_.resize(static_cast<std::size_t>(std::max(row + 1, cells_.rowCount())));
}

const StringGridSortFilter::Key& StringGridSortFilter::KeyOf(int sourceRow) const {
  Key& key = keys_[static_cast<std::size_t>(sourceRow)];
  if (key.made) return key;
  key.made = true;
  key.blank = cells_.BlankRow(static_cast<std::size_t>(sourceRow) + 1);
  const std::string& raw = cells_.Cell(keyColumn_, static_cast<std::size_t>(sourceRow) + 1);
  key.date = keyColumn_ == dateColumn_ ? DateKey(raw) : 0;
  // A text key is made only where the text decides the order.
  if (!key.blank && (key.date == INT_MAX || keyColumn_ != dateColumn_))
    key.text = collator_.sortKey(FromAnsi(raw));
  else
    key.text.reset();
  return key;
}

bool StringGridSortFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  MakeRoomFor(std::max(left.row(), right.row()));
  const Key& a = KeyOf(left.row());
  const Key& b = KeyOf(right.row());
  // Blank separator rows go after the hits whichever way the sort runs; Qt
  // asks the other way round for a descending sort.
  if (a.blank || b.blank) {
    if (a.blank && b.blank) return false;
    return a.blank == (sortOrder() == Qt::DescendingOrder);
  }
  if (a.date != b.date) return a.date < b.date;
  if (!a.text || !b.text) return false;
  return a.text->compare(*b.text) < 0;
}

bool StringGridSortFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  if (markedOnly_ && !cells_.RowMarked(static_cast<std::size_t>(sourceRow) + 1)) return false;
  return !filtering_ || HoldsFindText(sourceRow);
}

bool StringGridSortFilter::HoldsFindText(int sourceRow) const {
  if (!findText_) return false;
  thread_local std::string folded;
  const auto row = static_cast<std::size_t>(sourceRow) + 1;
  for (int col = 0; col < cells_.ColCount(); ++col) {
    folded.clear();
    AppendFoldedCell(folded, cells_.Cell(col, row));
    if (folded.find(*findText_) != std::string::npos) return true;
  }
  return false;
}

}  // namespace veskor
