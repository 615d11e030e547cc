// The result table as the user sees it: sorted by a column title, narrowed
// by the find bar, copied and exported in that order, and stretched with the
// window; the cells underneath keep the archive's order.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "main_window/find_bar.h"
#include "main_window/main_form.h"
#include "main_window/result_export.h"
#include "main_window/results_menu.h"
#include "platform/qt_text.h"
#include "platform/string_grid_widget.h"
#include "tests/main_window/gui_test_support.h"

using namespace veskor::testing;

namespace {

// Archive order; the empty rows are the blank rows between pages and the
// table's empty bottom row.
const QList<QStringList> kRows = {
    {"Z\u00E8bre au zoo", "03/07/2005", "b\u00E9atrice", "fr.rec.photo"},
    {"\u00E9glise romane", "01/12/2004", "Alain", "fr.rec.photo"},
    {},
    {"Eglise d\u2019Ars", "15/01/2006", "zo\u00E9", "fr.rec.moto"},
    {"abricot, \"sec\" ??", "28/02/2005", "\u00C9mile", "fr.rec.moto"},
    {"\u00C9t\u00E9 2003", "02/02/2003", "Chef-d'\u0152uvre", "fr.sci.astronomie"},
    {}};

void Fill(TStringGrid& table) {
  table.SetRowCount(static_cast<std::size_t>(kRows.size()) + 1);
  for (int r = 0; r < kRows.size(); ++r)
    for (int c = 0; c < kRows[r].size(); ++c)
      table.SetCell(c, static_cast<std::size_t>(r) + 1, veskor::ToAnsi(kRows[r][c]));
}

// Column `col` of the rows shown, top to bottom; "-" for a blank row.
QStringList Shown(const TStringGrid& table, int col) {
  QStringList texts;
  for (std::size_t row : table.ShownRows()) {
    const QString text = table.CellText(col, row);
    texts << (text.isEmpty() ? QStringLiteral("-") : text);
  }
  return texts;
}

void ClickTitle(TStringGrid& table, int col) {
  QHeaderView* titles = table.horizontalHeader();
  QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                    QPoint(titles->sectionViewportPosition(col) + 10, titles->height() / 2));
}

// RFC 4180: fields split on commas, quoted fields may hold commas, doubled
// quotes and line ends; records end in CR LF.
QList<QStringList> ReadCsv(const QString& text) {
  QList<QStringList> records;
  QStringList record;
  QString field;
  bool quoted = false;
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += c, ++i;
      else if (c == '"') quoted = false;
      else field += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      record << field, field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      record << field, field.clear();
      records << record, record.clear();
      ++i;
    } else {
      field += c;
    }
  }
  return records;
}

}  // namespace

class ResultTableViewTest : public ProgramTestCase {
  Q_OBJECT

 private:
  TStringGrid& Table() { return *Form1->SG_resultats; }

  void StartWithRows() {
    Start({{"gpeliste.lst", CrLfLines({})}});
    Fill(Table());
  }

 private slots:
  void titleClicksSortThenReverseThenRestore_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<QStringList>("ascending");
    QTest::newRow("subject, French order")
        << 0 << QStringList{"abricot", "Eglise d", "\u00E9glise r", "\u00C9t\u00E9", "Z\u00E8bre", "-", "-"};
    QTest::newRow("date, across years")
        << 1 << QStringList{"02/02/2003", "01/12/2004", "28/02/2005", "03/07/2005", "15/01/2006", "-", "-"};
    QTest::newRow("poster, accents and case aside")
        << 2 << QStringList{"Alain", "b\u00E9atrice", "Chef", "\u00C9mile", "zo\u00E9", "-", "-"};
  }
  void titleClicksSortThenReverseThenRestore() {
    QFETCH(int, col);
    QFETCH(QStringList, ascending);
    StartWithRows();
    const auto starts = [](const QStringList& shown, const QStringList& prefixes) {
      if (shown.size() != prefixes.size()) return false;
      for (int i = 0; i < shown.size(); ++i)
        if (!shown[i].startsWith(prefixes[i])) return false;
      return true;
    };
    ClickTitle(Table(), col);
    QVERIFY2(starts(Shown(Table(), col), ascending), qPrintable(Shown(Table(), col).join('|')));
    // Reversed, the blank rows still come last.
    ClickTitle(Table(), col);
    QStringList descending(ascending.rbegin() + 2, ascending.rend());
    descending << "-" << "-";
    QVERIFY2(starts(Shown(Table(), col), descending), qPrintable(Shown(Table(), col).join('|')));
    ClickTitle(Table(), col);
    QCOMPARE(Table().ShownRows(), (std::vector<std::size_t>{1, 2, 3, 4, 5, 6, 7}));
    // The cells themselves never moved.
    QCOMPARE(Table().CellText(0, 1), kRows[0][0]);
  }

  void copyAndSelectionFollowWhatIsShown() {
    StartWithRows();
    ClickTitle(Table(), 1);
    Table().setFocus();
    Table().SelectCell(1, 2);  // "01/12/2004", shown second
    QCOMPARE(Table().Row(), 2);
    // The two dates shown first, the oldest.
    const QAbstractItemModel& shown = *Table().model();
    Table().selectionModel()->select(QItemSelection(shown.index(0, 1), shown.index(1, 1)),
                                     QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(&Table(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("02/02/2003\n01/12/2004\n"));
    QCOMPARE(Table().SelectedRows(), (std::vector<std::size_t>{6, 2}));
  }

  void filterIgnoresAccentsAndCase_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("subjects");
    QTest::addColumn<QString>("count");
    QTest::addColumn<bool>("findsNewRow");  // "ÉTÉ moto eglise oeuvre", written meanwhile
    QTest::newRow("accented text finds plain")
        << "\u00C9GLISE" << QStringList{"\u00E9glise romane", kRows[3][0]} << "2 lignes" << true;
    QTest::newRow("plain text finds accented") << "ete" << QStringList{"\u00C9t\u00E9 2003"} << "1 ligne" << true;
    QTest::newRow("ligature") << "oeuvre" << QStringList{"\u00C9t\u00E9 2003"} << "1 ligne" << true;
    QTest::newRow("any column") << "moto" << QStringList{kRows[3][0], kRows[4][0]} << "2 lignes" << true;
    QTest::newRow("nothing") << "licorne" << QStringList{} << "Aucune ligne" << false;
    QTest::newRow("typographic apostrophe finds straight")
        << "chef-d\u2019\u0153uvre" << QStringList{"\u00C9t\u00E9 2003"} << "1 ligne" << false;
    QTest::newRow("straight apostrophe finds typographic") << "D'ARS" << QStringList{kRows[3][0]} << "1 ligne"
                                                           << false;
    QTest::newRow("letters the archive cannot hold") << "\u03A9\u03BC" << QStringList{} << "Aucune ligne" << false;
    QTest::newRow("their accent aside, they can") << "\u0109hef" << QStringList{"\u00C9t\u00E9 2003"} << "1 ligne"
                                                  << false;
    QTest::newRow("empty text shows all") << "" << QStringList{kRows[0][0], kRows[1][0], "-", kRows[3][0],
                                                               kRows[4][0], kRows[5][0], "-"}
                                          << "" << true;
  }
  void filterIgnoresAccentsAndCase() {
    QFETCH(QString, text);
    QFETCH(QStringList, subjects);
    QFETCH(QString, count);
    QFETCH(bool, findsNewRow);
    StartWithRows();
    auto* bar = Form1->findChild<veskor::FindBar*>();
    QVERIFY(bar && !bar->isVisible());
    QTest::keyClick(Form1->Edit2, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    QVERIFY(bar->Text()->hasFocus());
    bar->Text()->insert(text);  // as typed, characters no key event carries included
    QCOMPARE(Shown(Table(), 0), subjects);
    QCOMPARE(bar->Count()->text(), count);
    // Rows written meanwhile are filtered and counted as they come.
    Table().SetRowCount(Table().RowCount() + 1);
    Table().SetCell(0, Table().RowCount() - 2, "\xC9T\xC9 moto eglise oeuvre");
    QCOMPARE(Shown(Table(), 0).size(), subjects.size() + (findsNewRow ? 1 : 0));
    QTest::keyClick(bar->Text(), Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QCOMPARE(Table().ShownRows().size(), std::size_t(8));
  }

  void windowStretchesTheTableOnly() {
    Start({{"gpeliste.lst", CrLfLines({})}});
    const QRect designed(8, 248, 801, 409);
    QCOMPARE(Table().geometry(), designed);
    QCOMPARE(Form1->findChild<QLabel*>(QStringLiteral("progressLine"))->text(), QString());
    const QRect stop = Form1->Button2->geometry();
    const QSize size = Form1->size();
    Form1->resize(size + QSize(200, 100));
    QTRY_COMPARE(Table().geometry(), QRect(8, 248, 1001, 509));
    QCOMPARE(Form1->Button2->geometry(), stop);
    // The find bar takes the table's bottom while it is open.
    auto* bar = Form1->findChild<veskor::FindBar*>();
    bar->Open();
    QVERIFY(Table().geometry().bottom() < bar->geometry().top());
    QCOMPARE(bar->geometry().bottom(), designed.bottom() + 100);
    bar->Close();
    Form1->resize(size);
    QTRY_COMPARE(Table().geometry(), designed);
  }

  // Exporter… as the user runs it from the menu: the rows shown (or those
  // selected), without the blank rows, with the title line.
  void exportWritesTheRowsShown_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("twoSelected");
    QTest::addColumn<QList<int>>("rows");  // indexes into kRows, in file order
    QTest::newRow("all, CSV") << "r.csv" << false << QList<int>{0, 1, 3, 4, 5};
    QTest::newRow("selected, CSV") << "r.csv" << true << QList<int>{1, 3};
    QTest::newRow("all, tab-separated") << "r.txt" << false << QList<int>{0, 1, 3, 4, 5};
  }
  void exportWritesTheRowsShown() {
    QFETCH(QString, file);
    QFETCH(bool, twoSelected);
    QFETCH(QList<int>, rows);
    StartWithRows();
    WriteFile(file, QByteArray(5000, 'x'));  // replaced whole
    if (twoSelected) {
      Table().SelectCell(0, 2);
      Table().selectionModel()->select(Table().model()->index(3, 2), QItemSelectionModel::Select);
    }
    auto* menu = Form1->findChild<veskor::ResultsMenu*>();
    menu->chooseExportFile = [&](QString&) { return file; };
    menu->exportRows->trigger();
    QVERIFY(messages_->Texts().isEmpty());

    QByteArray bytes = ReadFile(file);
    // Spreadsheets take a CSV for UTF-8 by its byte order mark.
    const QByteArray bom("\xEF\xBB\xBF");
    QCOMPARE(bytes.startsWith(bom), file.endsWith(".csv"));
    if (bytes.startsWith(bom)) bytes.remove(0, bom.size());
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> expected{{"Sujet", "Date", "Posteur", "Newsgroup"}};
    for (int r : rows) expected << kRows[r];
    if (file.endsWith(".csv")) {
      QCOMPARE(ReadCsv(text), expected);
    } else {
      QStringList lines;
      for (const QStringList& row : expected) lines << row.join('\t') + "\r\n";
      QCOMPARE(text, lines.join(QString()));
    }
  }

  void failedExportIsReported() {
    StartWithRows();
    WriteFile("fichier", "pas un dossier");
    auto* menu = Form1->findChild<veskor::ResultsMenu*>();
    menu->chooseExportFile = [](QString&) { return QStringLiteral("fichier/r.csv"); };
    menu->exportRows->trigger();
    QCOMPARE(messages_->Texts().size(), 1);
    QVERIFY2(messages_->Texts().first().startsWith(QStringLiteral("Impossible d'exporter vers \u00AB ")),
             qPrintable(messages_->Texts().first()));
    QCOMPARE(ReadFile("fichier"), QByteArray("pas un dossier"));
  }

  // Quoting only where the format needs it, and no cell that a spreadsheet
  // would run as a formula: those get a leading apostrophe first.
  void exportLinesQuoteAndDisarmCells_data() {
    QTest::addColumn<bool>("csv");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << true << QStringList{"a", "b c"} << "a,b c\r\n";
    QTest::newRow("comma and quote") << true << QStringList{"a,b", "dit \"oui\""} << "\"a,b\",\"dit \"\"oui\"\"\"\r\n";
    QTest::newRow("line end") << true << QStringList{"l1\nl2", ""} << "\"l1\nl2\",\r\n";
    QTest::newRow("formulas") << true << QStringList{"=cmd|' /C calc'!A0", "+1", "-2", "@SOMME(A1)"}
                              << "'=cmd|' /C calc'!A0,'+1,'-2,'@SOMME(A1)\r\n";
    QTest::newRow("formula that needs quotes") << true << QStringList{"=1,2", "\r=1", "\t=1"}
                                               << "\"'=1,2\",\"'\r=1\",'\t=1\r\n";
    QTest::newRow("harmless inside") << true << QStringList{"a=b", " =1", "\u2212" "1"} << "a=b, =1,\u2212" "1\r\n";
    QTest::newRow("tab-separated") << false << QStringList{"=1", "a\tb", "\t=1", "x\r\ny"}
                                   << "'=1\ta b\t' =1\tx  y\r\n";
  }
  void exportLinesQuoteAndDisarmCells() {
    QFETCH(bool, csv);
    QFETCH(QStringList, cells);
    QFETCH(QString, line);
    QCOMPARE(veskor::ExportLine(cells, csv ? veskor::ExportFormat::Csv : veskor::ExportFormat::TabSeparated), line);
  }

  // The extension typed decides when it is one of the offered types; the
  // filter only when it is not.
  void exportFormatFollowsTheTypedExtension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("filter");  // index in ExportFilters(), -1 for none
    QTest::addColumn<bool>("csv");
    QTest::newRow(".tsv under the CSV filter") << "r.tsv" << 0 << false;
    QTest::newRow(".TXT under the CSV filter") << "r.TXT" << 0 << false;
    QTest::newRow(".csv under the tab filter") << "r.Csv" << 1 << true;
    QTest::newRow("other extension, CSV filter") << "r.dat" << 0 << true;
    QTest::newRow("no extension, tab filter") << "r" << 1 << false;
    QTest::newRow("no filter") << "r.dat" << -1 << false;
  }
  void exportFormatFollowsTheTypedExtension() {
    QFETCH(QString, path);
    QFETCH(int, filter);
    QFETCH(bool, csv);
    const QString chosen = filter >= 0 ? veskor::ExportFilters().at(filter) : QString();
    QCOMPARE(veskor::ExportFormatFor(path, chosen) == veskor::ExportFormat::Csv, csv);
  }
};

QTEST_MAIN(ResultTableViewTest)
#include "result_table_view_test.moc"
