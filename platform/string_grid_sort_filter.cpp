#include "platform/string_grid_sort_filter.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <climits>

#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"

namespace veskor {
namespace {

// Each Windows-1252 byte as it is searched for: up to two plain letters.
struct Folded {
  char first;
  char second;  // 0 when there is none
};

constexpr std::array<Folded, 256> MakeFoldTable() {
  std::array<Folded, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = {static_cast<char>(b), 0};
  for (int b = 'A'; b <= 'Z'; ++b) table[b] = {static_cast<char>(b - 'A' + 'a'), 0};
  const auto set = [&table](int from, int to, char first, char second = 0) {
    for (int b = from; b <= to; ++b) table[b] = {first, second};
  };
  set(0x8A, 0x8A, 's');
  set(0x8C, 0x8C, 'o', 'e');
  set(0x8E, 0x8E, 'z');
  set(0x9A, 0x9A, 's');
  set(0x9C, 0x9C, 'o', 'e');
  set(0x9E, 0x9E, 'z');
  set(0x9F, 0x9F, 'y');
  for (int base : {0xC0, 0xE0}) {
    set(base + 0x00, base + 0x05, 'a');
    set(base + 0x06, base + 0x06, 'a', 'e');
    set(base + 0x07, base + 0x07, 'c');
    set(base + 0x08, base + 0x0B, 'e');
    set(base + 0x0C, base + 0x0F, 'i');
    set(base + 0x10, base + 0x10, 'd');
    set(base + 0x11, base + 0x11, 'n');
    set(base + 0x12, base + 0x16, 'o');
    set(base + 0x18, base + 0x18, 'o');
    set(base + 0x19, base + 0x1C, 'u');
    set(base + 0x1D, base + 0x1D, 'y');
  }
  set(0xDF, 0xDF, 's', 's');
  set(0xFF, 0xFF, 'y');
  return table;
}

constexpr std::array<Folded, 256> kFold = MakeFoldTable();

void AppendFolded(std::string& out, std::string_view bytes) {
  for (const char c : bytes) {
    // The cell is shown up to its first zero byte; what follows is not seen.
    if (c == '\0') break;
    const Folded f = kFold[static_cast<unsigned char>(c)];
    out += f.first;
    if (f.second) out += f.second;
  }
}

// The folded text reordered as French sorting has it: blanks and
// punctuation first, then digits, then letters (and the symbols of the upper
// half, which fold to themselves, before the letters too).
std::string SortFold(std::string_view bytes) {
  std::string out = FoldForSearch(bytes);
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    const bool letterOrDigit = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z');
    if (!letterOrDigit) c = static_cast<char>(b < 0x20 ? b : b < 0x80 ? 0x10 + (b % 16) : 0x1F);
  }
  return out;
}

// "dd/mm/yyyy" as yyyymmdd; INT_MAX for anything else, which sorts after
// every date.
int DateKey(std::string_view text) {
  if (text.size() != 10 || text[2] != '/' || text[5] != '/') return INT_MAX;
  int digits[8];
  int n = 0;
  for (std::size_t i : {6u, 7u, 8u, 9u, 3u, 4u, 0u, 1u}) {
    const char c = text[i];
    if (c < '0' || c > '9') return INT_MAX;
    digits[n++] = c - '0';
  }
  int key = 0;
  for (int d : digits) key = key * 10 + d;
  return key;
}

}  // namespace

std::string FoldForSearch(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  AppendFolded(out, bytes);
  return out;
}

StringGridSortFilter::StringGridSortFilter(const StringGridModel& cells, QObject* parent)
    : QSortFilterProxyModel(parent), cells_(cells), collator_(QLocale(QLocale::French, QLocale::France)) {
  // Breaks the ties of texts equal but for accents and case.
  collator_.setCaseSensitivity(Qt::CaseInsensitive);
  // Connected before the proxy itself is (setSourceModel comes after), so
  // that a changed row has lost its key by the time the proxy sorts it in.
  connect(&cells_, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& from, const QModelIndex& to) { Forget(from.row(), to.row()); });
  connect(&cells_, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int) {
    if (keys_.size() > static_cast<std::size_t>(first)) keys_.resize(static_cast<std::size_t>(first));
  });
  connect(&cells_, &QAbstractItemModel::modelReset, this, [this] { keys_.clear(); });
}

void StringGridSortFilter::Forget(int first, int last) {
  for (int row = std::max(first, 0); row <= last && static_cast<std::size_t>(row) < keys_.size(); ++row)
    keys_[static_cast<std::size_t>(row)].made = false;
}

void StringGridSortFilter::SetFilterText(const QString& text) {
  std::string needle = FoldForSearch(ToAnsi(text));
  if (needle == needle_) return;
  needle_ = std::move(needle);
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

bool StringGridSortFilter::Blank(int sourceRow) const {
  const auto row = static_cast<std::size_t>(sourceRow) + 1;
  for (int col = 0; col < cells_.ColCount(); ++col)
    if (!cells_.Cell(col, row).empty()) return false;
  return true;
}

const StringGridSortFilter::Key& StringGridSortFilter::KeyOf(int sourceRow) const {
  const auto index = static_cast<std::size_t>(sourceRow);
  if (keys_.size() <= index) keys_.resize(cells_.RowCount());
  Key& key = keys_[index];
  if (key.made) return key;
  key.made = true;
  key.blank = Blank(sourceRow);
  const std::string& raw = cells_.Cell(keyColumn_, index + 1);
  key.date = keyColumn_ == dateColumn_ ? DateKey(raw) : 0;
  // A text key is made only where the text decides the order.
  if (!key.blank && (key.date == INT_MAX || keyColumn_ != dateColumn_))
    key.folded = SortFold(raw);
  else
    key.folded.clear();
  return key;
}

bool StringGridSortFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  // Blank separator rows go after the hits whichever way the sort runs; Qt
  // asks the other way round for a descending sort.
  const Key& a = KeyOf(left.row());
  const Key& b = KeyOf(right.row());
  if (a.blank || b.blank) {
    if (a.blank && b.blank) return false;
    return a.blank == (sortOrder() == Qt::DescendingOrder);
  }
  if (a.date != b.date) return a.date < b.date;
  if (a.folded != b.folded) return a.folded < b.folded;
  // Texts that differ only by accents or case: the French collation decides.
  if (a.folded.empty()) return false;
  const auto text = [this](int row) {
    return FromAnsi(cells_.Cell(keyColumn_, static_cast<std::size_t>(row) + 1));
  };
  return collator_.compare(text(left.row()), text(right.row())) < 0;
}

bool StringGridSortFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  if (needle_.empty()) return true;
  thread_local std::string folded;
  const auto row = static_cast<std::size_t>(sourceRow) + 1;
  for (int col = 0; col < cells_.ColCount(); ++col) {
    folded.clear();
    AppendFolded(folded, cells_.Cell(col, row));
    if (folded.find(needle_) != std::string::npos) return true;
  }
  return false;
}

}  // namespace veskor
