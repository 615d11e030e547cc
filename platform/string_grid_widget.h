#pragma once
// A grid of text cells for the windows: the result table of the main window
// and the group editor's grid. Row 0 is the title row, drawn as the frozen
// column header; rows 1 and up are the data rows of the view. Cells hold the
// engine's Windows-1252 bytes and are converted only when painted.

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

  int ColCount() const { return cols_; }
  std::size_t RowCount() const { return rows_.size(); }
  void SetRowCount(std::size_t rows);
  const std::string& Cell(int col, std::size_t row) const;
  void SetCell(int col, std::size_t row, std::string_view text);
  const std::string& RowLink(std::size_t row) const;
  void SetRowLink(std::size_t row, std::string_view link);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  struct Row {
    std::vector<std::string> cells;
    std::string link;
  };
  int cols_;
  std::vector<Row> rows_;  // rows_[0] is the title row
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

  // The same cells as the widget shows them.
  QString CellText(int col, std::size_t row) const;

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
  // Rows holding `text` in some cell, accents and case aside; empty: all.
  void SetFilterText(const QString& text);
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

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void OnCurrentChanged(const QModelIndex& current);
  void ConnectSelection();
  // Grid row of a shown index, and the shown index of a grid cell.
  int GridRow(const QModelIndex& shown) const;
  QModelIndex ShownIndex(int col, std::size_t row) const;

  veskor::StringGridModel model_;
  veskor::StringGridSortFilter* shown_ = nullptr;  // none until enabled
  // Set while the grid itself moves the current cell, which the user did not.
  bool quiet_ = false;
};
