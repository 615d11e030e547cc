// The string grid as the windows use it: grid coordinates over a view whose
// title row is the header, Windows-1252 cells, appends that never reset the
// model, user selection reported in grid rows, copying and activation.

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include "platform/string_grid_widget.h"
#include "platform/window_placement.h"

class StringGridWidgetTest : public QObject {
  Q_OBJECT

 private:
  static QPoint CellCentre(TStringGrid& grid, int col, int row) {
    return grid.visualRect(grid.model()->index(row - 1, col)).center();
  }

 private slots:
  void cellsAddressGridRows_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("header");
    QTest::newRow("title cell") << 1 << 0 << QByteArray("Date") << QString() << "Date";
    QTest::newRow("data cell") << 0 << 1 << QByteArray("Sujet") << "Sujet" << QString();
    QTest::newRow("windows-1252 bytes") << 2 << 2 << QByteArray("Pr\xE9" "fet \x80") << "Pr\u00E9fet \u20AC"
                                       << QString();
    QTest::newRow("shown up to a zero byte") << 3 << 1 << QByteArray("ab\0cd", 5) << "ab" << QString();
  }
  void cellsAddressGridRows() {
    QFETCH(int, col);
    QFETCH(int, row);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(QString, header);
    TStringGrid grid(4, 3);
    grid.SetCell(col, static_cast<std::size_t>(row), bytes.toStdString());
    QCOMPARE(QByteArray::fromStdString(grid.Cell(col, static_cast<std::size_t>(row))), bytes);
    QCOMPARE(grid.model()->headerData(col, Qt::Horizontal).toString(), header);
    if (row > 0) QCOMPARE(grid.model()->index(row - 1, col).data().toString(), shown);
    QCOMPARE(grid.model()->rowCount(), 2);
  }

  void lostRowsComeBackEmpty() {
    TStringGrid grid(4, 2);
    grid.SetCell(0, 2, "beyond the last row");
    grid.SetRowCount(5);
    QCOMPARE(grid.Cell(0, 2), std::string());
    grid.SetCell(3, 4, "old");
    grid.SetRowLink(4, "articles.pl?id=1");
    grid.SetRowCount(2);
    grid.SetRowCount(5);
    QCOMPARE(grid.Cell(3, 4), std::string());
    QCOMPARE(grid.RowLink(4), std::string());
  }

  // Growing announces only the rows added, never a reset of the model. A grid
  // that collects them announces a page's rows in one insertion, when the
  // page is done or when the event loop runs, whichever comes first; its
  // cells read back at once all the same.
  void addedRowsReachTheViewTogether_data() {
    QTest::addColumn<int>("collect");  // 0: off; 1: shown at the page's end; 2: by the event loop
    QTest::addColumn<QList<int>>("inserted");  // first and last row of each insertion
    QTest::newRow("each growth at once") << 0 << QList<int>{1, 1, 2, 4};
    QTest::newRow("collected, shown at the page's end") << 1 << QList<int>{1, 4};
    QTest::newRow("collected, shown when the event loop runs") << 2 << QList<int>{1, 4};
  }
  void addedRowsReachTheViewTogether() {
    QFETCH(int, collect);
    QFETCH(QList<int>, inserted);
    TStringGrid grid(4, 2);
    if (collect != 0) grid.CollectAddedRows();
    const QAbstractItemModel& view = *grid.model();
    QSignalSpy resets(&view, &QAbstractItemModel::modelReset);
    QSignalSpy insertions(&view, &QAbstractItemModel::rowsInserted);
    QSignalSpy removals(&view, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changes(&view, &QAbstractItemModel::dataChanged);
    grid.SetCell(0, 1, "in view");
    grid.SetRowCount(3);
    grid.SetCell(0, 2, "new");
    grid.SetRowCount(6);
    grid.SetCell(3, 5, "newer");
    QCOMPARE(grid.RowCount(), std::size_t(6));
    QCOMPARE(grid.Cell(3, 5), std::string("newer"));
    // A row in view says at once that it changed; the rows to come do not.
    QCOMPARE(changes.count(), collect != 0 ? 1 : 3);
    if (collect != 0) {
      QCOMPARE(view.rowCount(), 1);
      // Rows the view never had go without a word.
      grid.SetRowCount(9);
      grid.SetRowCount(6);
      QCOMPARE(insertions.count() + removals.count(), 0);
    }
    if (collect == 1) grid.ShowAddedRows();
    if (collect == 2) QCoreApplication::processEvents();
    QList<int> seen;
    for (const QList<QVariant>& at : insertions) seen << at.at(1).toInt() << at.at(2).toInt();
    QCOMPARE(seen, inserted);
    QCOMPARE(view.rowCount(), 5);
    QCOMPARE(view.index(4, 3).data().toString(), QStringLiteral("newer"));
    grid.SetRowCount(2);
    QCOMPARE(removals.count(), 1);
    QCOMPARE(removals.at(0).at(1).toInt(), 1);
    QCOMPARE(removals.at(0).at(2).toInt(), 4);
    QCOMPARE(resets.count(), 0);
  }

  // The editor keeps the row the user picked; only the user's choices count,
  // not the grid moving its current cell when rows go away.
  void userChoicesAreReportedInGridRows() {
    TStringGrid grid(2, 5);
    QSignalSpy selected(&grid, &TStringGrid::cellSelected);
    grid.resize(400, 300);
    grid.show();
    // Focus arriving makes Qt pick a current cell: not the user's choice.
    grid.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus(Qt::TabFocusReason);
    QVERIFY(grid.hasFocus());
    QCOMPARE(selected.count(), 0);

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 1, 3));
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.at(0).at(0).toInt(), 1);
    QCOMPARE(selected.at(0).at(1).toInt(), 3);
    QCOMPARE(grid.Row(), 3);

    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(selected.count(), 2);
    QCOMPARE(selected.at(1).at(1).toInt(), 4);

    grid.SetRowCount(2);
    grid.SelectCell(0, 1);
    QCOMPARE(selected.count(), 2);
    QCOMPARE(grid.Row(), 1);
  }

  void rangeCopiesAsTabSeparatedText_data() {
    QTest::addColumn<bool>("range");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one cell") << false << "b2\n";
    QTest::newRow("range") << true << "a2\tb2\na3\tb3\n";
  }
  void rangeCopiesAsTabSeparatedText() {
    QFETCH(bool, range);
    QFETCH(QString, expected);
    TStringGrid grid(3, 4);
    grid.SetRangeSelect(range);
    for (std::size_t row = 1; row < 4; ++row) {
      grid.SetCell(0, row, "a" + std::to_string(row));
      grid.SetCell(1, row, "b" + std::to_string(row));
    }
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, range ? 0 : 1, 2));
    if (range)
      QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, CellCentre(grid, 1, 3));
    QTest::keySequence(&grid, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), expected);
  }

  void doubleClickAndEnterActivateTheCell() {
    TStringGrid grid(2, 4);
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy activated(&grid, &TStringGrid::cellActivated);
    // A double click begins with the press of its first click.
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 1, 2));
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 1, 2));
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.at(0).at(1).toInt(), 2);
    grid.SelectCell(0, 3);
    QTest::keyClick(&grid, Qt::Key_Return);
    QCOMPARE(activated.count(), 2);
    QCOMPARE(activated.at(1).at(0).toInt(), 0);
    QCOMPARE(activated.at(1).at(1).toInt(), 3);
  }

  void windowsAreMovedJustOnScreen_data() {
    QTest::addColumn<QRect>("outer");
    QTest::addColumn<QRect>("fitted");
    QTest::newRow("inside") << QRect(304, 117, 400, 400) << QRect(304, 117, 400, 400);
    QTest::newRow("above the top") << QRect(145, -8, 825, 696) << QRect(145, 0, 825, 696);
    QTest::newRow("left of the screen") << QRect(-130, 143, 756, 520) << QRect(0, 143, 756, 520);
    QTest::newRow("past the bottom right") << QRect(1000, 700, 400, 200) << QRect(880, 600, 400, 200);
    QTest::newRow("taller than the screen") << QRect(10, 50, 400, 1000) << QRect(10, 0, 400, 1000);
  }
  void windowsAreMovedJustOnScreen() {
    QFETCH(QRect, outer);
    QFETCH(QRect, fitted);
    QCOMPARE(veskor::FitOnScreen(outer, QRect(0, 0, 1280, 800)), fitted);
  }
};

QTEST_MAIN(StringGridWidgetTest)
#include "string_grid_widget_test.moc"
