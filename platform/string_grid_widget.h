#pragma once
// A grid of text cells for the windows: the result table of the main window
// and the group editor's grid. Row 0 is the title row, drawn as the frozen
// column header; rows 1 and up are the data rows of the view. Cells hold the
// engine's Windows-1252 bytes and are converted only when painted.
//
// The cells are the engine's at once: a write is read back at once. What the
// view knows of them may lag by the rows added since it was last told, when
// the grid collects them (the result table does, so that a page of hits
// reaches the view in one insertion, not one per row and cell).

#include <QAbstractTableModel>
#include <QPoint>
#include <QTableView>
#include <string>
#include <string_view>
#include <vector>

#include "engine/string_grid.h"

namespace veskor {

class StringGridSortFilter;

// The cells behind a TStringGrid. Grid row r is model row r - 1; row 0 lives
// in the horizontal header.
class StringGridModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  StringGridModel(int cols, std::size_t rows, QObject* parent = nullptr);

  // From then on rows added are announced to the views together, at
  // ShowAddedRows or when the event loop next runs, whichever comes first.
  // Until then the views go on showing the rows they had, whose cells stay
  // current.
  void CollectAddedRows() { collect_ = true; }
  void ShowAddedRows();

  int ColCount() const { return cols_; }
  // Every row, the title row and the rows not announced yet included.
  std::size_t RowCount() const { return links_.size(); }
  void SetRowCount(std::size_t rows);
  const std::string& Cell(int col, std::size_t row) const;
  void SetCell(int col, std::size_t row, std::string_view text);
  // Every cell of the row empty, as the blank rows between pages are.
  bool BlankRow(std::size_t row) const;
  const std::string& RowLink(std::size_t row) const;
  void SetRowLink(std::size_t row, std::string_view link);
  // A marked row is drawn in bold; rows gained start unmarked.
  bool RowMarked(std::size_t row) const { return row < marks_.size() && marks_[row]; }
  void SetRowMarked(std::size_t row, bool marked);
  void ClearRowMarks();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 protected:
  void customEvent(QEvent* event) override;

 private:
  void Resize(std::size_t rows);

  int cols_;
  // Row by row, the title row first: one allocation for any number of rows
  // rather than one per row.
  std::vector<std::string> cells_;
  std::vector<std::string> links_;
  std::vector<bool> marks_;
  // The data rows that the views know of: the first `announced_` after the
  // title row.
  std::size_t announced_;
  bool collect_ = false;
  bool showPosted_ = false;
  bool announcing_ = false;
};

}  // namespace veskor

// The toolkit's string grid, named as the windows' layouts name it.
class TStringGrid : public QTableView, public veskor::ResultTable {
  Q_OBJECT

 public:
  // `rows` counts the title row; the grid never has fewer than one row.
  TStringGrid(int cols, std::size_t rows, QWidget* parent = nullptr);

  // veskor::ResultTable: texts are Windows-1252 bytes. Cells outside the grid
  // read as empty and ignore writes.
  int ColCount() const override;
  std::size_t RowCount() const override;
  void SetRowCount(std::size_t rows) override;
  std::string Cell(int col, std::size_t row) const override;
  void SetCell(int col, std::size_t row, std::string_view text) override;
  void SetRowLink(std::size_t row, std::string_view link) override;
  std::string RowLink(std::size_t row) const;
  // A mark on a data row, drawn in bold, that the filter can keep alone; what
  // it stands for is the caller's. Rows gained start unmarked.
  void SetRowMarked(std::size_t row, bool marked);
  bool RowMarked(std::size_t row) const;
  void ClearRowMarks();

  // The same cells as the widget shows them.
  QString CellText(int col, std::size_t row) const;
  // Every cell of the row empty, as the blank rows between pages are.
  bool BlankRow(std::size_t row) const { return model_.BlankRow(row); }

  void SetColWidth(int col, int width);
  void SetDefaultColWidth(int width);
  void SetDefaultRowHeight(int height);
  // Off: one cell at a time. On: a rectangle of cells, by mouse or Shift.
  void SetRangeSelect(bool on);

  // The current cell in grid coordinates, or -1/-1 when there is none.
  int Col() const;
  int Row() const;
  // Makes (col, row) current and selected; a data row only. Does not emit
  // cellSelected, which reports the user's choices.
  void SelectCell(int col, std::size_t row);

  // The selected cells as rows of tab-separated texts, top to bottom as
  // shown.
  QString SelectedText() const;
  void CopySelection() const;

  // From then on a click on a column title sorts the rows by that column, a
  // second click reverses, a third gives back the order of the cells; and
  // SetFilterText can narrow the rows shown. `dateColumn` sorts as dates.
  void EnableSortAndFilter(int dateColumn);
  // From then on rows added reach the view together: at ShowAddedRows, or
  // when the event loop next runs (so before anything is painted). The
  // grid's own ways of reading what is shown (selection, shown rows, copy)
  // show the rows added first.
  void CollectAddedRows();
  void ShowAddedRows() const { model_.ShowAddedRows(); }
  // Rows holding `text` in some cell, accents and case aside; empty: all.
  void SetFilterText(const QString& text);
  // On: only the marked rows, besides the text's test.
  void SetMarkedRowsOnly(bool on);
  // Leaves the order of the cells, as before any click on a title.
  void ClearSort();
  // The data rows shown, top to bottom, as grid rows.
  std::vector<std::size_t> ShownRows() const;
  // The grid rows that hold a selected cell, top to bottom as shown.
  std::vector<std::size_t> SelectedRows() const;
  // The grid row shown at `pos` (viewport coordinates), or -1.
  int RowAt(const QPoint& pos) const;

 signals:
  // The user made (col, row) the current cell, by mouse or keyboard.
  void cellSelected(int col, int row);
  // Double-click or Enter on the data cell (col, row).
  void cellActivated(int col, int row);

 public:
  // Rows added below the view change nothing in it but the scroll bar:
  // laying them out leaves the rows in view unpainted.
  void doItemsLayout() override;

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
  void reset() override;

 private:
  void OnCurrentChanged(const QModelIndex& current);
  // Follows the model shown: its current cell, and how its rows change.
  void FollowShownModel();
  // Grid row of a shown index, and the shown index of a grid cell.
  int GridRow(const QModelIndex& shown) const;
  QModelIndex ShownIndex(int col, std::size_t row) const;

  // Mutable: reading what is shown first shows the rows added.
  mutable veskor::StringGridModel model_;
  veskor::StringGridSortFilter* shown_ = nullptr;  // none until enabled
  // Set while the grid itself moves the current cell, which the user did not.
  bool quiet_ = false;
  // Since the rows were last laid out: the first row added at the end of
  // those shown (-1: none), and whether they changed in any other way.
  int firstAdded_ = -1;
  bool reshaped_ = true;
};
