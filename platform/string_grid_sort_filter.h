#pragma once
// What the user sees of a result table: its rows sorted by one column and
// narrowed to those holding a text (and to the marked ones), over the cells
// kept in the archive's order. The date column sorts by date, every text in French order (accents
// only break ties, letter case never counts); blank rows come last either
// way.

#include <QCollator>
#include <QSortFilterProxyModel>
#include <optional>
#include <string>
#include <vector>

namespace veskor {

class StringGridModel;

class StringGridSortFilter final : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit StringGridSortFilter(const StringGridModel& cells, QObject* parent = nullptr);

  // The column whose cells are dates "dd/mm/yyyy"; -1 for none.
  void SetDateColumn(int col) { dateColumn_ = col; }

  // Shows only the rows holding `text` in some cell, accents and case aside;
  // empty shows every row.
  void SetFilterText(const QString& text);
  bool Filtering() const { return filtering_; }
  // Shows only the marked rows (and of those, the ones holding the text).
  void SetMarkedOnly(bool on);

  // Column -1 gives back the archive's order.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  // The grid row (title row 0) behind a shown index, or -1.
  int GridRow(const QModelIndex& shown) const;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
  // A row is shown when it passes every test in use: the find bar's text,
  // and the mark when only marked rows are asked for.
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  bool HoldsFindText(int sourceRow) const;

  // One row's sort key, for the sort column: made when the row arrives, or
  // when the sort first compares it; made again after its cells change.
  struct Key {
    bool made = false;
    bool blank = false;
    int date = 0;  // yyyymmdd; above every date when the text is none
    // The French collation's key of the whole text, where the text decides.
    std::optional<QCollatorSortKey> text;
  };
  // Room for a key per row up to `row`. Called before any reference into
  // `keys_` is taken, never while one is held.
  void MakeRoomFor(int row) const;
  const Key& KeyOf(int sourceRow) const;

  const StringGridModel& cells_;
  int dateColumn_ = -1;
  bool filtering_ = false;
  bool markedOnly_ = false;
  // The folded text to find; nothing when no row can hold it.
  std::optional<std::string> findText_;
  QCollator collator_;
  mutable std::vector<Key> keys_;
  int keyColumn_ = -1;
};

}  // namespace veskor
