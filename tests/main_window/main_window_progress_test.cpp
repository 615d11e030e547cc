// What the main window adds around a running search, against the real
// archive server: the progress line after each page, a prompt stop on a
// page that does not come, the chosen group kept after the search, and the
// two edit boxes' Enter and first focus.
//
// The fault newsgroups carry 50 hits of "fichier" in pages of 20/20/10;
// "fault-slow" answers each page late, "fault-stall-p2" sends page 2's first
// hit and then nothing.

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "shell/console.h"
#include "tests/main_window/gui_test_support.h"
#include "tests/support/archive_server_process.h"

using namespace veskor::testing;

namespace {

constexpr int kSlowMs = 800;
const QString kDone = QStringLiteral("Recherche termin\u00E9e");

QString Progress() { return Form1->findChild<QLabel*>(QStringLiteral("progressLine"))->text(); }

}  // namespace

class MainWindowProgressTest : public ProgramTestCase {
  Q_OBJECT

 private:
  std::optional<veskor::ArchiveServerProcess> server_;

  int Rows() { return static_cast<int>(Form1->SG_resultats->RowCount()); }

  void ChooseGroup(const QString& group) {
    Form1->ComboBox2->setCurrentIndex(Form1->ComboBox2->findText(group));
    QCOMPARE(Form1->ComboBox2->currentText(), group);
  }

 private slots:
  void initTestCase() {
    server_.emplace(VESKOR_ARCHIVE_BIN, std::vector<std::string>{"--slow-ms", std::to_string(kSlowMs)});
    QVERIFY2(server_->Started(), server_->Error().c_str());
  }

  void init() {
    Start({{"gpeliste.lst", CrLfLines({"deux", "vide", "bloque"})},
           {"bloque.txt", CrLfLines({"premier", "fault-stall-p2", "second", "fault-slow-p9"})},
           {"deux.txt", CrLfLines({"premier", "fault-slow-p9", "second", "fault-slow-p9"})},
           {"vide.txt", CrLfLines({"rien", "424242"})},
           {"logo2.bmp", ShippedLogo()}},
          server_->Url());
    messages_->Clear();
  }

  // The line as it stands when each page is asked for (the console gets its
  // address then), and once the search is over.
  void progressAfterEachPage_data() {
    QTest::addColumn<QString>("group");  // empty: quick search of fault-slow-p9
    QTest::addColumn<QStringList>("seen");
    QTest::addColumn<QString>("end");
    QTest::newRow("quick search")
        << QString() << QStringList{"Recherche en cours\u2026", "Page 1 : 20 r\u00E9sultats", "Page 2 : 40 r\u00E9sultats"}
        << "50 r\u00E9sultats sur 3 pages";
    QTest::newRow("group search")
        << "deux"
        << QStringList{"Recherche en cours\u2026", "premier, page 1 : 20 r\u00E9sultats",
                       "premier, page 2 : 40 r\u00E9sultats", "premier, page 3 : 50 r\u00E9sultats",
                       "second, page 1 : 70 r\u00E9sultats", "second, page 2 : 90 r\u00E9sultats"}
        << "100 r\u00E9sultats sur 6 pages";
    QTest::newRow("no hit") << "vide" << QStringList{"Recherche en cours\u2026"}
                            << "0 r\u00E9sultat sur 1 page";
  }
  void progressAfterEachPage() {
    QFETCH(QString, group);
    QFETCH(QStringList, seen);
    QFETCH(QString, end);
    QStringList texts;
    // Rows come in page by page: the line as it stands while each page is cut.
    connect(Form1->SG_resultats->model(), &QAbstractItemModel::rowsInserted, this, [&] {
      if (texts.isEmpty() || texts.last() != Progress()) texts << Progress();
    });
    QString shownAtTheEnd;
    messages_->onMessage = [&](const QString&) { shownAtTheEnd = Progress(); };
    Form1->Edit2->setText(QStringLiteral("fichier"));
    if (group.isEmpty()) {
      Form1->Edit1->setText(QStringLiteral("fault-slow-p9"));
      Form1->B_seek->click();
    } else {
      ChooseGroup(group);
      Form1->B_vesko->click();
    }
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(texts, seen);
    QCOMPARE(shownAtTheEnd, end);
  }

  // Escape stops as the button does; a page that does not come within two
  // seconds of the stop is given up, and the search ends as a stopped one.
  void stopGivesUpAStalledPage_data() {
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<bool>("groupSearch");
    QTest::newRow("stop button") << false << false;
    QTest::newRow("Escape") << true << false;
    // The first newsgroup's page 2 stalls while the walks ahead go on.
    QTest::newRow("group search") << false << true;
  }
  void stopGivesUpAStalledPage() {
    QFETCH(bool, byEscape);
    QFETCH(bool, groupSearch);
    QElapsedTimer sinceStop;
    QTimer stopAtPage2;
    connect(&stopAtPage2, &QTimer::timeout, [&] {
      if (Rows() < 23) return;
      stopAtPage2.stop();
      sinceStop.start();
      if (byEscape) QTest::keyClick(Form1->Edit2, Qt::Key_Escape);
      else Form1->Button2->click();
    });
    stopAtPage2.start(20);
    Form1->Edit2->setText(QStringLiteral("fichier"));
    Form1->Edit1->setText(QStringLiteral("fault-stall-p2"));
    Form1->Edit2->setFocus();
    if (groupSearch) {
      ChooseGroup(QStringLiteral("bloque"));
      Form1->B_vesko->click();
    } else {
      Form1->B_seek->click();
    }
    QVERIFY(sinceStop.isValid());
    QVERIFY2(sinceStop.elapsed() < 3000, qPrintable(QString::number(sinceStop.elapsed())));
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(Rows(), 23);
    QCOMPARE(Progress(), QStringLiteral("Recherche arr\u00EAt\u00E9e : 20 r\u00E9sultats sur 1 page"));
    // The program takes the next search as usual.
    messages_->Clear();
    Form1->Edit1->setText(QStringLiteral("fault-slow-p9"));
    Form1->B_seek->click();
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(Progress(), QStringLiteral("50 r\u00E9sultats sur 3 pages"));
  }

  void stoppedWithinTheGraceKeepsThePage() {
    After(kSlowMs / 3, [] { Form1->Button2->click(); });
    Form1->Edit2->setText(QStringLiteral("fichier"));
    Form1->Edit1->setText(QStringLiteral("fault-slow"));
    Form1->B_seek->click();
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(Rows(), 23);
    QCOMPARE(Progress(), QStringLiteral("Recherche arr\u00EAt\u00E9e : 20 r\u00E9sultats sur 1 page"));
  }

  void chosenGroupStaysChosenAfterTheSearch() {
    Form1->Edit2->setText(QStringLiteral("fichier"));
    ChooseGroup(QStringLiteral("deux"));
    Form1->B_vesko->click();
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    // Dismissing the message brought the main window back and reloaded the list.
    QTRY_VERIFY(Form1->isActiveWindow());
    QCOMPARE(Form1->ComboBox2->currentText(), QStringLiteral("deux"));
    messages_->Clear();
    Form1->B_vesko->click();
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(Rows(), 108);
  }

  void enterInTheWordBox_data() {
    QTest::addColumn<bool>("groupChosen");
    QTest::addColumn<QString>("newsgroupBox");  // null: left as it was
    QTest::addColumn<QString>("firstNewsgroup");
    QTest::addColumn<int>("rows");
    QTest::newRow("group chosen, newsgroup box untouched") << true << QString() << "premier" << 108;
    QTest::newRow("group chosen, newsgroup typed") << true << "fault-slow-p9" << "fault-slow-p9" << 55;
    QTest::newRow("no group, newsgroup typed") << false << "fault-slow-p9" << "fault-slow-p9" << 55;
  }
  void enterInTheWordBox() {
    QFETCH(bool, groupChosen);
    QFETCH(QString, newsgroupBox);
    QFETCH(QString, firstNewsgroup);
    QFETCH(int, rows);
    if (groupChosen) ChooseGroup(QStringLiteral("deux"));
    if (!newsgroupBox.isNull()) Form1->Edit1->setText(newsgroupBox);
    Form1->Edit2->setText(QStringLiteral("fichier"));
    Form1->Edit2->setFocus();
    QTest::keyClick(Form1->Edit2, Qt::Key_Return);
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(Rows(), rows);
    QCOMPARE(Form1->SG_resultats->CellText(3, 1), firstNewsgroup);
  }

  void typingReplacesTheInitialNewsgroupText() {
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("Nom du Newsgroup"));
    QTest::mouseClick(Form1->Edit1, Qt::LeftButton, {}, QPoint(20, 10));
    QTRY_VERIFY(Form1->Edit1->hasSelectedText());
    QTest::keyClicks(Form1->Edit1, QStringLiteral("fr.rec.photo"));
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("fr.rec.photo"));
    // Only the first time: the user's own text is then left alone.
    Form1->Edit2->setFocus();
    Form1->Edit1->setText(QStringLiteral("Nom du Newsgroup"));
    Form1->Edit1->setFocus(Qt::OtherFocusReason);
    QTest::qWait(20);
    QTest::keyClicks(Form1->Edit1, QStringLiteral("x"));
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("Nom du Newsgroupx"));
  }
};

QTEST_MAIN(MainWindowProgressTest)
#include "main_window_progress_test.moc"
