// The console and the about window as the main window's buttons show them.

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "main_window/main_form.h"
#include "shell/apropos.h"
#include "shell/console.h"
#include "tests/main_window/gui_test_support.h"

using namespace veskor::testing;

namespace {

QByteArray Bitmap(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "BMP");
  return bytes;
}

QSize LogoSize() {
  const QPixmap logo = Form3->Image1->pixmap();
  return logo.isNull() ? QSize() : logo.size();
}

void ShowAbout() {
  Form1->B_propos->click();
  QVERIFY(QTest::qWaitForWindowExposed(Form3));
}

}  // namespace

class AuxWindowsTest : public ProgramTestCase {
  Q_OBJECT

 private slots:
  void init() { Start({{"gpeliste.lst", CrLfLines({"Informatique"})}}); }

  void consoleKeepsItsLinesWhetherShownOrNot() {
    QCOMPARE(ConsoleLines(), QStringList{"Memo1"});
    ConsoleAddLine("Connexion \xE0 ");
    ConsoleAddLine(std::string("http://a/1\0cache", 16));
    Form1->Button1->click();
    QVERIFY(QTest::qWaitForWindowExposed(Form2));
    Form2->close();
    ConsoleAddLine("http://a/2");
    Form1->Button1->click();
    // Read as the user sees it: what was written while hidden is there once
    // the window shows, in order, and a line written while shown at once.
    const auto shown = [] { return Form2->Memo1->toPlainText().split(QLatin1Char('\n')); };
    QCOMPARE(shown(), (QStringList{"Memo1", "Connexion \u00E0 ", "http://a/1", "http://a/2"}));
    ConsoleAddLine("http://a/3");
    QCOMPARE(shown().last(), QStringLiteral("http://a/3"));
  }

  void logoIsReadAtEachShowing() {
    WriteFile("logo2.bmp", ShippedLogo());
    ShowAbout();
    QCOMPARE(LogoSize(), QSize(390, 194));
    QCOMPARE(Form3->Image1->size(), QSize(390, 194));

    // Shown again while visible: nothing is read.
    WriteFile("logo2.bmp", Bitmap(120, 60));
    ShowAbout();
    QCOMPARE(LogoSize(), QSize(390, 194));

    Form3->close();
    ShowAbout();
    QCOMPARE(LogoSize(), QSize(120, 60));
    QTest::qWait(50);
    QVERIFY(messages_->Texts().isEmpty());
  }

  void unreadableLogoIsReportedAtEachShowing_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray() << "introuvable";
    QTest::newRow("not a bitmap") << QByteArray("GIF89a, pas une image") << "bitmap";
  }
  void unreadableLogoIsReportedAtEachShowing() {
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    if (!file.isEmpty()) WriteFile("logo2.bmp", file);
    for (int showing = 1; showing <= 2; ++showing) {
      ShowAbout();
      QVERIFY(messages_->WaitFor(showing));
      QVERIFY(Form3->isVisible());
      QVERIFY2(messages_->Texts().last().contains(reason), qPrintable(messages_->Texts().last()));
      QVERIFY(messages_->Texts().last().contains("logo2.bmp"));
      QVERIFY(LogoSize().isEmpty());
      Form3->close();
    }
    QCOMPARE(messages_->Texts().size(), 2);
  }

  void failedLoadKeepsTheEarlierLogo() {
    WriteFile("logo2.bmp", ShippedLogo());
    ShowAbout();
    Form3->close();
    QFile::remove("logo2.bmp");
    ShowAbout();
    QVERIFY(messages_->WaitFor(1));
    QCOMPARE(LogoSize(), QSize(390, 194));
  }
};

QTEST_MAIN(AuxWindowsTest)
#include "aux_windows_test.moc"
