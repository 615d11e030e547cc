// The quick search and the group search driven through the main window
// against the real archive server: rows, blank rows, console lines, the final
// message, the stop button, fetch errors, and one fetching command at a time.
//
// The archive's fault newsgroups carry 50 hits of "fichier" in pages of
// 20/20/10; "fault-slow" answers each page late, "fault-slow-p9" is a normal
// three-page newsgroup (its slowness would start at page 9).

#include <QComboBox>
#include <QFile>
#include <QDesktopServices>
#include <QUrlQuery>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "tests/main_window/gui_test_support.h"
#include "tests/support/archive_server_process.h"

using namespace veskor::testing;

namespace {

constexpr int kSlowMs = 800;
const QString kDone = QStringLiteral("Recherche termin\u00E9e");

// Stands in for the desktop's browser.
class Browser final : public QObject {
  Q_OBJECT

 public:
  Browser() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open"); }
  ~Browser() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }
};

// A browser that cannot be started: its handler has no slot that takes the
// address, so opening fails.
class NoBrowser final : public QObject {
  Q_OBJECT

 public:
  NoBrowser() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Unreachable"); }
  ~NoBrowser() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }

 public slots:
  void Unreachable() {}
};

}  // namespace

class MainWindowSearchTest : public ProgramTestCase {
  Q_OBJECT

 private:
  std::optional<veskor::ArchiveServerProcess> server_;

  TStringGrid& Table() { return *Form1->SG_resultats; }
  int Rows() { return static_cast<int>(Table().RowCount()); }

  void QuickSearch(const QString& word, const QString& newsgroup) {
    Form1->Edit2->setText(word);
    Form1->Edit1->setText(newsgroup);
    Form1->B_seek->click();
  }

  void GroupSearch(const QString& word, const QString& group) {
    Form1->Edit2->setText(word);
    Form1->ComboBox2->setCurrentIndex(Form1->ComboBox2->findText(group));
    QCOMPARE(Form1->ComboBox2->currentText(), group);
    Form1->B_vesko->click();
  }

  // Rows [first, first + hits) hold hits of `newsgroup`, row first + hits is
  // the page's blank row.
  void CheckPage(int first, int hits, const QString& newsgroup) {
    for (int row = first; row < first + hits; ++row) {
      QVERIFY2(Table().CellText(0, row).contains(QStringLiteral("fichier")), qPrintable(RowText(row)));
      QVERIFY2(!Table().CellText(1, row).isEmpty(), qPrintable(RowText(row)));
      QCOMPARE(Table().CellText(3, row), newsgroup);
    }
    QCOMPARE(RowText(first + hits), QStringLiteral("|||"));
  }

 private slots:
  void initTestCase() {
    server_.emplace(VESKOR_ARCHIVE_BIN, std::vector<std::string>{"--slow-ms", std::to_string(kSlowMs)});
    QVERIFY2(server_->Started(), server_->Error().c_str());
  }

  void init() {
    Start({{"gpeliste.lst", CrLfLines({"deux", "trois"})},
           {"deux.txt", CrLfLines({"premier", "fault-slow-p9", "second", "fault-slow-p9"})},
           {"trois.txt", CrLfLines({"lent", "fault-slow", "vite", "fault-slow-p9", "dernier",
                                    "fault-slow-p9"})},
           {"logo2.bmp", ShippedLogo()}},
          server_->Url());
    messages_->Clear();
  }

  void quickSearchWalksEveryPage() {
    QuickSearch(QStringLiteral("fichier"), QStringLiteral("fault-slow-p9"));
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    CheckPage(1, 20, QStringLiteral("fault-slow-p9"));
    CheckPage(22, 20, QStringLiteral("fault-slow-p9"));
    CheckPage(43, 10, QStringLiteral("fault-slow-p9"));
    QCOMPARE(Rows(), 55);
    QCOMPARE(RowText(54), QStringLiteral("|||"));

    const QStringList console = ConsoleLines();
    QCOMPARE(console.first(), QStringLiteral("Memo1"));
    QCOMPARE(console.size(), 1 + 6);
    const QString archive = QString::fromStdString(server_->Url());
    for (int page = 0; page < 3; ++page) {
      QCOMPARE(console.at(1 + 2 * page), QStringLiteral("Connexion \u00E0 "));
      QVERIFY(console.at(2 + 2 * page).startsWith(archive + "/articles.pl?"));
    }
    QVERIFY(console.at(4).contains(QStringLiteral("page=2")));
  }

  void groupSearchAppendsNewsgroupsInFileOrder() {
    GroupSearch(QStringLiteral("fichier"), QStringLiteral("deux"));
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    CheckPage(1, 20, QStringLiteral("premier"));
    CheckPage(43, 10, QStringLiteral("premier"));
    CheckPage(54, 20, QStringLiteral("second"));
    CheckPage(96, 10, QStringLiteral("second"));
    QCOMPARE(Rows(), 108);
    // Dismissing the message brought the main window back: the group list
    // was reloaded, the group still chosen.
    QTRY_VERIFY(Form1->isActiveWindow());
    QCOMPARE(Form1->ComboBox2->count(), 2);
    QCOMPARE(Form1->ComboBox2->currentText(), QStringLiteral("deux"));
  }

  void stopDuringFirstPageKeepsThatPageOnly() {
    After(kSlowMs / 3, [] { Form1->Button2->click(); });
    QuickSearch(QStringLiteral("fichier"), QStringLiteral("fault-slow"));
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    CheckPage(1, 20, QStringLiteral("fault-slow"));
    QCOMPARE(Rows(), 23);
    QCOMPARE(ConsoleLines().size(), 1 + 2);
  }

  void stopDuringAGroupLeavesFirstPagesOfTheRest() {
    After(kSlowMs / 3, [] { Form1->Button2->click(); });
    GroupSearch(QStringLiteral("fichier"), QStringLiteral("trois"));
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    CheckPage(1, 20, QStringLiteral("lent"));
    CheckPage(22, 20, QStringLiteral("vite"));
    CheckPage(43, 20, QStringLiteral("dernier"));
    QCOMPARE(Rows(), 65);
    QCOMPARE(ConsoleLines().size(), 1 + 3 * 2);
  }

  void fetchErrorIsReportedAndRowsStay_data() {
    QTest::addColumn<QString>("newsgroup");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("error");
    QTest::newRow("server error on page 2") << "fault-500-p2" << 23 << "erreur HTTP 500";
    QTest::newRow("connection reset on page 1") << "fault-reset" << 2 << "Impossible de joindre";
  }
  void fetchErrorIsReportedAndRowsStay() {
    QFETCH(QString, newsgroup);
    QFETCH(int, rows);
    QFETCH(QString, error);
    QuickSearch(QStringLiteral("fichier"), newsgroup);
    QCOMPARE(messages_->Texts().size(), 1);
    QVERIFY2(messages_->Texts().first().contains(error), qPrintable(messages_->Texts().first()));
    QVERIFY(!messages_->Texts().contains(kDone));
    QCOMPARE(Rows(), rows);
    if (rows > 2) CheckPage(1, 20, newsgroup);
    // The program goes on, ready for the next search.
    QVERIFY(Form1->isVisible());
    QVERIFY(Form1->B_seek->isEnabled());
    QVERIFY(Form1->B_vesko->isEnabled());
    messages_->Clear();
    QuickSearch(QStringLiteral("fichier"), QStringLiteral("fault-slow-p9"));
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(Rows(), 55);
  }

  // While a fetch waits, events go on being handled: the searches must not
  // be started a second time from inside the first one.
  void oneFetchingCommandAtATime() {
    struct Seen {
      bool seekEnabled = true, veskoEnabled = true, stopEnabled = false;
      int rowsAfterSecondClick = -1;
    } seen;
    After(kSlowMs / 3, [&] {
      seen.seekEnabled = Form1->B_seek->isEnabled();
      seen.veskoEnabled = Form1->B_vesko->isEnabled();
      seen.stopEnabled = Form1->Button2->isEnabled();
      Form1->B_seek->click();
      Form1->B_vesko->click();
      Form1->Edit1->setText(QStringLiteral("fault-slow-p9"));
      emit Form1->Edit1->returnPressed();
      seen.rowsAfterSecondClick = Rows();
    });
    // Stopped once page 2 is on its way.
    QTimer stopAtPage2;
    connect(&stopAtPage2, &QTimer::timeout, [&] {
      if (ConsoleLines().size() < 5) return;
      stopAtPage2.stop();
      Form1->Button2->click();
    });
    stopAtPage2.start(20);
    QuickSearch(QStringLiteral("fichier"), QStringLiteral("fault-slow"));
    QVERIFY(!seen.seekEnabled);
    QVERIFY(!seen.veskoEnabled);
    QVERIFY(seen.stopEnabled);
    QCOMPARE(seen.rowsAfterSecondClick, 2);
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(Rows(), 44);
    QVERIFY(Form1->B_seek->isEnabled());
    QVERIFY(Form1->B_vesko->isEnabled());
  }

  void activatingAHitOpensItsArticle() {
    Browser browser;
    QuickSearch(QStringLiteral("fichier"), QStringLiteral("fault-slow-p9"));
    Table().SelectCell(2, 3);
    QTest::keyClick(&Table(), Qt::Key_Return);
    // The page's blank row and the empty bottom row open nothing.
    Table().SelectCell(0, 21);
    QTest::keyClick(&Table(), Qt::Key_Return);
    Table().SelectCell(0, 54);
    QTest::keyClick(&Table(), Qt::Key_Return);
    QCOMPARE(browser.opened.size(), 1);
    const QUrl article = browser.opened.first();
    QCOMPARE(article.adjusted(QUrl::RemovePath | QUrl::RemoveQuery),
             QUrl(QString::fromStdString(server_->Url())));
    QCOMPARE(article.path(), QStringLiteral("/articles.pl"));
    QCOMPARE(QUrlQuery(article).queryItemValue(QStringLiteral("gid")), QStringLiteral("fault-slow-p9"));
    QVERIFY(QUrlQuery(article).hasQueryItem(QStringLiteral("art")));
  }

  // A search that could not search what it was asked says so; the table
  // keeps what the searches write into it.
  void endingsSayWhatWasNotSearched_data() {
    QTest::addColumn<QString>("newsgroup");  // a quick search of it, unless empty
    QTest::addColumn<QString>("group");      // otherwise a search of this group
    QTest::addColumn<QByteArray>("groupFile");  // written as deux.txt; null: removed
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("rows");
    const QByteArray keep = CrLfLines({"premier", "fault-slow-p9", "second", "fault-slow-p9"});
    QTest::newRow("unknown newsgroup")
        << "fr.inexistant" << "" << keep
        << QStringLiteral("Newsgroup inconnu de l'archive : \u00AB fr.inexistant \u00BB. "
                          "Rien n'a \u00E9t\u00E9 cherch\u00E9.")
        << 3;
    QTest::newRow("missing group file")
        << "" << "deux" << QByteArray()
        << QStringLiteral("Groupe introuvable : le fichier \u00AB deux.txt \u00BB manque ou ne peut "
                          "pas \u00EAtre lu. Rien n'a \u00E9t\u00E9 cherch\u00E9.")
        << 2;
    QTest::newRow("no group chosen")
        << "" << "" << keep
        << QStringLiteral("Aucun groupe n'est choisi. Rien n'a \u00E9t\u00E9 cherch\u00E9.") << 2;
    QTest::newRow("empty group")
        << "" << "deux" << QByteArray("")
        << QStringLiteral("Le groupe \u00AB deux \u00BB ne contient aucun newsgroup. "
                          "Rien n'a \u00E9t\u00E9 cherch\u00E9.")
        << 2;
    QTest::newRow("newsgroups without ID")
        << "" << "deux" << QByteArray("premier\r\nfault-slow-p9\r\nperdu\r\nNon trouv\xE9\r\n")
        << QStringLiteral("Recherche termin\u00E9e, sauf pour les newsgroups sans ID d'archive : "
                          "\u00AB perdu \u00BB.")
        << 56;
  }
  void endingsSayWhatWasNotSearched() {
    QFETCH(QString, newsgroup);
    QFETCH(QString, group);
    QFETCH(QByteArray, groupFile);
    QFETCH(QString, message);
    QFETCH(int, rows);
    QFile file(QStringLiteral("deux.txt"));
    if (groupFile.isNull()) {
      QVERIFY(file.remove());
    } else {
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      file.write(groupFile);
      file.close();
    }
    Form1->Edit2->setText(QStringLiteral("fichier"));
    if (!newsgroup.isEmpty()) {
      Form1->Edit1->setText(newsgroup);
      Form1->B_seek->click();
    } else {
      Form1->ComboBox2->setCurrentIndex(Form1->ComboBox2->findText(group));
      QCOMPARE(Form1->ComboBox2->currentText(), group);
      Form1->B_vesko->click();
    }
    QCOMPARE(messages_->Texts(), QStringList{message});
    QCOMPARE(Rows(), rows);
  }

  // A character that Windows-1252 lacks would go out as "?": the search is
  // refused before anything is sent.
  void charactersTheArchiveCannotHoldAreRefused_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("newsgroup");  // quick search unless empty
    QTest::addColumn<QString>("refused");
    QTest::newRow("word, quick search")
        << QStringLiteral("\u03A9mega") << "fault-slow-p9"
        << QStringLiteral("Mot refus\u00E9 : le caract\u00E8re \u00AB \u03A9 \u00BB de \u00AB \u03A9mega \u00BB");
    QTest::newRow("newsgroup")
        << "fichier" << QStringLiteral("fr.\u0416")
        << QStringLiteral("Newsgroup refus\u00E9 : le caract\u00E8re \u00AB \u0416 \u00BB de \u00AB fr.\u0416 \u00BB");
    QTest::newRow("word, group search")
        << QString::fromUtf8("ok \U0001F600") << ""
        << QString::fromUtf8("Mot refus\u00E9 : le caract\u00E8re \u00AB \U0001F600 \u00BB de \u00AB ok \U0001F600 \u00BB");
  }
  void charactersTheArchiveCannotHoldAreRefused() {
    QFETCH(QString, word);
    QFETCH(QString, newsgroup);
    QFETCH(QString, refused);
    Table().SetRowCount(4);
    Table().SetCell(0, 2, "earlier");
    Form1->Edit2->setText(word);
    if (!newsgroup.isEmpty()) {
      Form1->Edit1->setText(newsgroup);
      Form1->B_seek->click();
    } else {
      Form1->ComboBox2->setCurrentIndex(Form1->ComboBox2->findText(QStringLiteral("deux")));
      Form1->B_vesko->click();
    }
    QCOMPARE(messages_->Texts().size(), 1);
    QCOMPARE(messages_->Texts().first(),
             QStringLiteral("%1 n'existe pas en Windows-1252, le jeu de caract\u00E8res de "
                            "l'archive et des fichiers de groupe")
                 .arg(refused));
    QCOMPARE(ConsoleLines().size(), 1);
    QCOMPARE(Rows(), 4);
    QCOMPARE(Table().CellText(0, 2), QStringLiteral("earlier"));
  }

  // A page's link could name any scheme: only web addresses reach the browser.
  void onlyWebAddressesAreOpened_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("opened");
    QTest::newRow("relative") << "articles.pl?gid=4&art=9" << true;
    QTest::newRow("https") << "https://exemple.fr/a" << true;
    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("javascript") << "javascript:alert(1)" << false;
    QTest::newRow("mailto") << "mailto:a@exemple.fr" << false;
  }
  void onlyWebAddressesAreOpened() {
    QFETCH(QString, link);
    QFETCH(bool, opened);
    Browser browser;
    for (const char* scheme : {"https", "file", "javascript", "mailto"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &browser, "Open");
    Table().SetRowCount(3);
    Table().SetCell(0, 1, "sujet");
    Table().SetRowLink(1, link.toStdString());
    Table().SelectCell(0, 1);
    QTest::keyClick(&Table(), Qt::Key_Return);
    for (const char* scheme : {"https", "file", "javascript", "mailto"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    QCOMPARE(browser.opened.size(), opened ? 1 : 0);
    QVERIFY(messages_->Texts().isEmpty());
  }

  void aBrowserThatCannotStartIsReported() {
    NoBrowser none;
    Table().SetRowCount(3);
    Table().SetCell(0, 1, "sujet");
    Table().SetRowLink(1, "articles.pl?gid=4&art=9");
    Table().SelectCell(0, 1);
    QTest::keyClick(&Table(), Qt::Key_Return);
    QCOMPARE(messages_->Texts().size(), 1);
    QVERIFY2(messages_->Texts().first().startsWith(
                 QStringLiteral("Aucun navigateur n'a pu \u00EAtre lanc\u00E9 pour ouvrir http")),
             qPrintable(messages_->Texts().first()));
  }

  void enterInEitherBoxStartsTheQuickSearch_data() {
    QTest::addColumn<bool>("inWordBox");
    QTest::newRow("word box") << true;
    QTest::newRow("newsgroup box") << false;
  }
  void enterInEitherBoxStartsTheQuickSearch() {
    QFETCH(bool, inWordBox);
    Form1->Edit2->setText(QStringLiteral("fichier"));
    Form1->Edit1->setText(QStringLiteral("fault-slow-p9"));
    QLineEdit* box = inWordBox ? Form1->Edit2 : Form1->Edit1;
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(messages_->Texts(), QStringList{kDone});
    QCOMPARE(Rows(), 55);
  }
};

QTEST_MAIN(MainWindowSearchTest)
#include "main_window_search_test.moc"
