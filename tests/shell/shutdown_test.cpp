// Closing the main window ends the program, also while a search waits for an
// archive that does not answer, and also with the other windows open.

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "groups/u_gid.h"
#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "shell/console.h"
#include "tests/main_window/gui_test_support.h"
#include "tests/support/archive_server_process.h"

using namespace veskor::testing;

namespace {
enum Command { kQuickSearch, kGroupSearch, kIdUpdate };
}

class ShutdownTest : public QObject {
  Q_OBJECT

 private:
  std::optional<veskor::ArchiveServerProcess> server_;

 private slots:
  void initTestCase() {
    server_.emplace(VESKOR_ARCHIVE_BIN);
    QVERIFY2(server_->Started(), server_->Error().c_str());
  }

  void closingDuringAFetchEndsTheProgram_data() {
    QTest::addColumn<bool>("othersOpen");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("consoleLines");
    QTest::newRow("main window alone") << false << int(kQuickSearch) << 3;
    QTest::newRow("console and about window open") << true << int(kQuickSearch) << 3;
    // Its newsgroups walked side by side: the whole first newsgroup is shown
    // while several stalling pages are in flight.
    QTest::newRow("group search") << false << int(kGroupSearch) << 7;
    // Its first row's lookup is slow, the next ones are in flight or back;
    // the console stays empty (one empty line).
    QTest::newRow("ID update") << false << int(kIdUpdate) << 1;
  }
  void closingDuringAFetchEndsTheProgram() {
    QFETCH(bool, othersOpen);
    QFETCH(int, command);
    QFETCH(int, consoleLines);
    WorkingDirectory dir({{"gpeliste.lst", CrLfLines({"Informatique"})},
                          {"Informatique.txt",
                           CrLfLines({"fr.test.fichiers", "9999", "fr.bloque", "fault-stall",
                                      "fr.bloque.aussi", "fault-stall"})},
                          {"logo2.bmp", ShippedLogo()}});
    MessageWatcher messages;
    RunningProgram program(server_->Url());
    if (othersOpen) {
      Form1->Button1->click();
      Form1->B_propos->click();
    }

    bool searchReturned = false;
    QElapsedTimer sinceClose;
    // The stalling newsgroup sends part of its page, then nothing more.
    After(0, [&] {
      Form1->Edit2->setText(QStringLiteral("fichier"));
      if (command == kIdUpdate) {
        F_edition->StringGrid1->SetRowCount(5);
        for (std::size_t row = 1; row <= 3; ++row)
          F_edition->StringGrid1->SetCell(0, row, row == 1 ? "fault-lookup-slow" : "fr.test.fichiers");
        F_edition->B_update->click();
      } else if (command == kGroupSearch) {
        Form1->ComboBox2->setCurrentIndex(0);
        Form1->B_vesko->click();
      } else {
        Form1->Edit1->setText(QStringLiteral("fault-stall"));
        Form1->B_seek->click();
      }
      searchReturned = true;
    });
    After(500, [&] {
      QVERIFY(!searchReturned);
      sinceClose.start();
      Form1->close();
    });
    // Should the program hang, the test still ends, and fails.
    After(10'000, [] { QCoreApplication::exit(1); });

    const int code = QApplication::exec();
    const qint64 closing = sinceClose.elapsed();
    QCOMPARE(code, 0);
    QVERIFY(searchReturned);
    QVERIFY2(closing < 1000, qPrintable(QString::number(closing)));
    QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join(" / ")));
    QCOMPARE(ConsoleLines().size(), consoleLines);
  }

  // Destroyed without a close (by another part of the program, a plug-in or
  // the window system), the main window still ends the program: the console
  // left open would otherwise keep an invisible program running.
  void destroyingTheMainWindowEndsTheProgram() {
    WorkingDirectory dir({{"gpeliste.lst", CrLfLines({"Informatique"})}, {"logo2.bmp", ShippedLogo()}});
    MessageWatcher messages;
    RunningProgram program(kNoArchive);
    Form1->Button1->click();
    bool ended = false;
    After(0, [] { delete Form1; });
    After(10'000, [] { QCoreApplication::exit(1); });
    ended = QApplication::exec() == 0;
    QVERIFY(ended);
    QVERIFY(Form1 == nullptr);
  }
};

QTEST_MAIN(ShutdownTest)
#include "shutdown_test.moc"
