#pragma once
// What the user sees of a result table: its rows sorted by one column and
// narrowed to those holding a text, over the cells kept in the archive's
// order. Sorting goes by dates as dates in the date column and by French
// order elsewhere; accents and letter case count for neither.

#include <QCollator>
#include <QSortFilterProxyModel>
#include <string>
#include <string_view>
#include <vector>

namespace veskor {

class StringGridModel;

// `bytes` (Windows-1252) in lower case without accents, for searching: "Œ"
// gives "oe", "É" gives "e".
std::string FoldForSearch(std::string_view bytes);

class StringGridSortFilter final : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit StringGridSortFilter(const StringGridModel& cells, QObject* parent = nullptr);

  // The column whose cells are dates "dd/mm/yyyy"; -1 for none.
  void SetDateColumn(int col) { dateColumn_ = col; }

  // Shows only the rows holding `text` in some cell; empty shows every row.
  void SetFilterText(const QString& text);
  bool Filtering() const { return !needle_.empty(); }

  // Column -1 gives back the archive's order.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  // The grid row (title row 0) behind a shown index, or -1.
  int GridRow(const QModelIndex& shown) const;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  // One row's sort key, made when first compared and forgotten when the
  // row's cells change.
  struct Key {
    bool made = false;
    bool blank = false;
    int date = 0;  // yyyymmdd; above every date when the text is none
    // Letters without accents or case, after digits, after punctuation.
    std::string folded;
  };
  const Key& KeyOf(int sourceRow) const;
  bool Blank(int sourceRow) const;
  void Forget(int first, int last);

  const StringGridModel& cells_;
  int dateColumn_ = -1;
  std::string needle_;
  QCollator collator_;
  mutable std::vector<Key> keys_;
  mutable int keyColumn_ = -1;
};

}  // namespace veskor
