// What the main window adds around a running search, against the real
// archive server: the progress line after each page, a prompt stop on a
// page that does not come, the chosen group kept after the search, the two
// edit boxes' Enter and first focus, and the hits that earlier runs of a
// search did not show.
//
// The fault newsgroups carry 50 hits of "fichier" in pages of 20/20/10;
// "fault-slow" answers each page late, "fault-stall-p2" sends page 2's first
// hit and then nothing, "fault-500-p2" fails on page 2.

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "groups/seen_record.h"
#include "main_window/find_bar.h"
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

// Two newsgroups of a group, then the same with one post more in each.
QByteArray Corpus(bool added) {
  QStringList posts;
  for (int k = 1; k <= 8; ++k)
    posts << QStringLiteral("fr.test.veille\t700\t0%1/03/2010\tx\tRonde de nuit %1").arg(k);
  for (int k = 1; k <= 4; ++k)
    posts << QStringLiteral("fr.test.guet\t701\t1%1/03/2010\tx\tRonde du guet %1").arg(k);
  if (added)
    posts << "fr.test.veille\t700\t01/01/2012\tx\tRonde de nuit neuve"
          << "fr.test.guet\t701\t02/01/2012\tx\tRonde du guet neuve";
  return posts.join(QLatin1Char('\n')).toUtf8();
}

// The subjects of the rows shown, or of those of them drawn in bold.
QStringList Subjects(bool boldOnly) {
  QStringList subjects;
  const QAbstractItemModel& shown = *Form1->SG_resultats->model();
  for (int r = 0; r < shown.rowCount(); ++r) {
    const QModelIndex at = shown.index(r, 0);
    if (!at.data().isNull() && (!boldOnly || at.data(Qt::FontRole).value<QFont>().bold()))
      subjects << at.data().toString();
  }
  return subjects;
}

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

  // From the second run of a search on, the hits that the earlier runs did
  // not show are bold and counted, and "Nouveaux seulement" keeps them.
  void laterRunsMarkTheHitsAdded_data() {
    QTest::addColumn<bool>("group");
    QTest::addColumn<QString>("firstEnd");
    QTest::addColumn<QStringList>("added");
    QTest::newRow("quick search") << false << "8 r\u00E9sultats sur 2 pages"
                                  << QStringList{"Ronde de nuit neuve"};
    QTest::newRow("group search") << true << "12 r\u00E9sultats sur 3 pages"
                                  << QStringList{"Ronde de nuit neuve", "Ronde du guet neuve"};
  }
  void laterRunsMarkTheHitsAdded() {
    QFETCH(bool, group);
    QFETCH(QString, firstEnd);
    QFETCH(QStringList, added);
    WriteFile("gpeliste.lst", CrLfLines({"veille"}));
    WriteFile("veille.txt", CrLfLines({"fr.test.veille", "700", "fr.test.guet", "701"}));
    const auto archive = [&](bool added) {
      const QString corpus = dir_->Path() + (added ? "/apres.tsv" : "/avant.tsv");
      WriteFile(corpus, Corpus(added));
      return std::vector<std::string>{"--corpus", corpus.toStdString(), "--page-size", "5"};
    };
    veskor::ArchiveServerProcess before(VESKOR_ARCHIVE_BIN, archive(false));
    veskor::ArchiveServerProcess after(VESKOR_ARCHIVE_BIN, archive(true));
    const auto search = [&] {
      Form1->Edit2->setText("ronde");
      Form1->Edit1->setText("fr.test.veille");
      if (group) ChooseGroup("veille");
      (group ? Form1->B_vesko : Form1->B_seek)->click();
    };
    // The first run is the design's own: nothing in bold, nothing more said.
    program_.emplace(before.Url());
    search();
    QCOMPARE(Subjects(true), QStringList());
    QCOMPARE(Progress(), firstEnd);
    auto* bar = Form1->findChild<veskor::FindBar*>();
    bar->Open();
    QVERIFY(bar->NewOnly()->isHidden());

    // Another day, the archive has new posts.
    program_.emplace(after.Url());
    search();
    QCOMPARE(Subjects(true), added);
    QVERIFY2(Progress().endsWith(added.size() == 1 ? ", dont 1 nouveau" : ", dont 2 nouveaux"),
             qPrintable(Progress()));
    // Sorted by date, they stay bold; "Nouveaux seulement" keeps them, under
    // the text filter too.
    Form1->SG_resultats->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
    QCOMPARE(Subjects(true), QStringList(added.rbegin(), added.rend()));
    bar = Form1->findChild<veskor::FindBar*>();
    bar->Open();
    bar->NewOnly()->click();
    QCOMPARE(Subjects(false), QStringList(added.rbegin(), added.rend()));
    bar->Text()->setText("nuit");
    QCOMPARE(Subjects(false), QStringList{"Ronde de nuit neuve"});
    bar->Text()->clear();

    // Nothing new since: none of the rows that come is kept.
    search();
    QVERIFY2(Progress().endsWith(", dont 0 nouveau"), qPrintable(Progress()));
    QCOMPARE(bar->Count()->text(), QStringLiteral("Aucune ligne"));
    bar->NewOnly()->click();
    QCOMPARE(Subjects(true), QStringList());
  }

  // Only the rows shown are recorded, as the next, uninterrupted run tells,
  // beside what another Veskor saved meanwhile; a record that cannot be read
  // is reported at each run and left alone, and the table keeps its rows.
  void whatARunRecords_data() {
    QTest::addColumn<QString>("newsgroup");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<int>("spoilAtMs");         // -1: never; 0: before the search
    QTest::addColumn<QStringList>("messages");  // how each one starts
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("nextEnd");
    const QString unread = QStringLiteral("Impossible de lire le relev\u00E9 \u00AB resultats-vus");
    const QString unsaved = QStringLiteral("Impossible d'enregistrer le relev\u00E9 \u00AB");
    const QString all = QStringLiteral("50 r\u00E9sultats sur 3 pages");
    QTest::newRow("stopped") << "fault-slow" << true << -1 << QStringList{kDone} << 23
                             << ", dont 30 nouveaux";
    QTest::newRow("broken on page 2")
        << "fault-500-p2" << false << -1 << QStringList{""} << 23 << "1 page, dont 0 nouveau";
    QTest::newRow("unreadable") << "fault-slow-p9" << false << 0 << QStringList{unread, kDone}
                                << 55 << all;
    QTest::newRow("spoilt meanwhile")
        << "fault-slow" << false << kSlowMs / 3 << QStringList{unsaved, kDone} << 55 << all;
  }
  void whatARunRecords() {
    QFETCH(QString, newsgroup);
    QFETCH(bool, stop);
    QFETCH(int, spoilAtMs);
    QFETCH(QStringList, messages);
    QFETCH(int, rows);
    QFETCH(QString, nextEnd);
    const QByteArray spoilt("pas un relev\xE9\r\n");
    const auto other = veskor::SearchKey::Quick("autre", "fr.autre");
    if (spoilAtMs == 0) WriteFile(veskor::kSeenRecordFile, spoilt);
    if (spoilAtMs > 0) After(spoilAtMs, [spoilt] { WriteFile(veskor::kSeenRecordFile, spoilt); });
    if (spoilAtMs < 0)
      After(0, [other] {
        veskor::SeenRecord record(veskor::kSeenRecordFile, other);
        record.Load();
        record.Add("articles.pl?gid=1&art=1");
        record.Save();
      });
    if (stop) After(kSlowMs / 3, [] { Form1->Button2->click(); });
    Form1->Edit2->setText(QStringLiteral("fichier"));
    Form1->Edit1->setText(newsgroup);
    Form1->B_seek->click();
    QCOMPARE(messages_->Texts().size(), messages.size());
    for (int i = 0; i < messages.size(); ++i)
      QVERIFY2(messages_->Texts()[i].startsWith(messages[i]), qPrintable(messages_->Texts()[i]));
    QCOMPARE(Rows(), rows);

    Form1->B_seek->click();
    QVERIFY2(Progress().endsWith(nextEnd), qPrintable(Progress()));
    if (spoilAtMs >= 0) QCOMPARE(ReadFile(veskor::kSeenRecordFile), spoilt);
    veskor::SeenRecord others(veskor::kSeenRecordFile, other);
    QCOMPARE(others.Load() == veskor::FileRead::Read && others.SearchKnown(), spoilAtMs < 0);
  }
};

QTEST_MAIN(MainWindowProgressTest)
#include "main_window_progress_test.moc"
