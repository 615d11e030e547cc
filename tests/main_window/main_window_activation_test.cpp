// The main window at start-up and its activation: when it reloads the group
// list (back from another window of the program or from a message box) and
// when it does not (back from another program), and a missing group list
// reported once per user action, never in a loop of activations.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "groups/u_gid.h"
#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "shell/apropos.h"
#include "shell/console.h"
#include "tests/main_window/gui_test_support.h"

using namespace veskor::testing;

namespace {

const QString kLoadError = QStringLiteral("Erreur du chargement des groupes");

QList<QWidget*> VisibleWindows() {
  QList<QWidget*> shown;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible()) shown << widget;
  return shown;
}

}  // namespace

class MainWindowActivationTest : public ProgramTestCase {
  Q_OBJECT

 private:
  void ChooseGroup(int index) {
    Form1->ComboBox2->setCurrentIndex(index);
    QCOMPARE(Form1->ComboBox2->currentIndex(), index);
  }

 private slots:
  void startUpShowsTheMainWindowOnly() {
    Start({{"gpeliste.lst", CrLfLines({"Informatique", "Loisirs"})}});
    QCOMPARE(VisibleWindows(), QList<QWidget*>{Form1});
    QVERIFY(F_edition && Form2 && Form3);
    QCOMPARE(Form1->windowTitle(), QStringLiteral("Veskor"));

    TStringGrid& table = *Form1->SG_resultats;
    QCOMPARE(table.RowCount(), std::size_t{2});
    QCOMPARE(RowText(0), QStringLiteral("Sujet|Date|Posteur|Newsgroup"));
    QCOMPARE(RowText(1), QStringLiteral("|||"));
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("Nom du Newsgroup"));
    QCOMPARE(Form1->Edit2->text(), QString());
    QCOMPARE(Form1->ComboBox2->count(), 2);
    QCOMPARE(Form1->ComboBox2->itemText(1), QStringLiteral("Loisirs"));
    QCOMPARE(Form1->ComboBox2->currentIndex(), -1);
    QVERIFY(messages_->Texts().isEmpty());

    // Placed as designed, but moved down onto the screen (and left, on a
    // screen too narrow for it).
    const QRect screen = Form1->screen()->availableGeometry();
    QCOMPARE(Form1->frameGeometry().top(), screen.top());
    if (screen.right() >= 145 + 825) QCOMPARE(Form1->frameGeometry().left(), 145);
    else QVERIFY(Form1->frameGeometry().left() < 145);
  }

  void eachButtonShowsItsOneWindow() {
    Start({{"gpeliste.lst", CrLfLines({"Informatique"})}});
    for (int round = 0; round < 2; ++round) {
      Form1->B_config->click();
      Form1->Button1->click();
      Form1->B_propos->click();
      QTest::qWait(50);
    }
    const QList<QWidget*> shown = VisibleWindows();
    QCOMPARE(shown.size(), 4);
    for (QWidget* window : {static_cast<QWidget*>(Form1), static_cast<QWidget*>(F_edition),
                            static_cast<QWidget*>(Form2), static_cast<QWidget*>(Form3)})
      QVERIFY(shown.contains(window));

    // Closing one only hides it; the next showing is the same window.
    Form2->close();
    QVERIFY(!Form2->isVisible());
    TForm2* const console = Form2;
    Form1->Button1->click();
    QVERIFY(Form2 == console && Form2->isVisible());
  }

  // The list is read again; the chosen group stays chosen while listed.
  void backFromAnotherWindowReloadsTheList_data() {
    QTest::addColumn<int>("window");
    QTest::addColumn<QStringList>("listAfter");
    QTest::addColumn<int>("chosenAfter");
    const QStringList grown{"Informatique", "Loisirs", "Sciences"};
    QTest::newRow("console, group still listed") << 0 << grown << 1;
    QTest::newRow("about window, group still listed") << 1 << grown << 1;
    QTest::newRow("console, group moved") << 0 << QStringList{"Sciences", "Informatique", "Loisirs"} << 2;
    QTest::newRow("console, group gone") << 0 << QStringList{"Informatique", "Sciences"} << -1;
  }
  void backFromAnotherWindowReloadsTheList() {
    QFETCH(int, window);
    QFETCH(QStringList, listAfter);
    QFETCH(int, chosenAfter);
    Start({{"gpeliste.lst", CrLfLines({"Informatique", "Loisirs"})}, {"logo2.bmp", ShippedLogo()}});
    ChooseGroup(1);
    WriteFile("gpeliste.lst", CrLfLines(listAfter));
    QWidget* other = window == 0 ? static_cast<QWidget*>(Form2) : static_cast<QWidget*>(Form3);
    QVERIFY(ShowAndActivate(other));
    QCOMPARE(Form1->ComboBox2->currentIndex(), 1);
    QVERIFY(ShowAndActivate(Form1));
    QCOMPARE(Form1->ComboBox2->count(), listAfter.size());
    QCOMPARE(Form1->ComboBox2->currentIndex(), chosenAfter);
  }

  void backFromAnotherProgramKeepsTheChoice() {
    Start({{"gpeliste.lst", CrLfLines({"Informatique", "Loisirs"})}});
    ChooseGroup(1);
    WriteFile("gpeliste.lst", CrLfLines({"Sciences"}));
    // Another program takes the focus, then the user comes back.
    QApplication::setActiveWindow(nullptr);
    QVERIFY(!Form1->isActiveWindow());
    QApplication::setActiveWindow(Form1);
    QVERIFY(Form1->isActiveWindow());
    QCOMPARE(Form1->ComboBox2->count(), 2);
    QCOMPARE(Form1->ComboBox2->currentIndex(), 1);
  }

  void droppingTheListDownKeepsTheChoice() {
    Start({{"gpeliste.lst", CrLfLines({"Informatique", "Loisirs"})}});
    ChooseGroup(0);
    Form1->ComboBox2->showPopup();
    QTest::qWait(50);
    Form1->ComboBox2->hidePopup();
    QVERIFY(ShowAndActivate(Form1));
    QTest::qWait(50);
    QCOMPARE(Form1->ComboBox2->currentIndex(), 0);
  }

  void missingListIsReportedOncePerReturn() {
    Start({});
    QVERIFY(messages_->WaitFor(1));
    QTest::qWait(300);
    QCOMPARE(messages_->Texts(), QStringList{kLoadError});
    QCOMPARE(Form1->ComboBox2->count(), 0);

    QVERIFY(ShowAndActivate(Form2));
    QVERIFY(ShowAndActivate(Form1));
    QVERIFY(messages_->WaitFor(2));
    QTest::qWait(300);
    QCOMPARE(messages_->Texts(), (QStringList{kLoadError, kLoadError}));

    // Once the file is back, the list comes back at the next return.
    WriteFile("gpeliste.lst", CrLfLines({"Informatique"}));
    QVERIFY(ShowAndActivate(Form2));
    QVERIFY(ShowAndActivate(Form1));
    QCOMPARE(Form1->ComboBox2->count(), 1);
    QCOMPARE(messages_->Texts().size(), 2);
  }
};

QTEST_MAIN(MainWindowActivationTest)
#include "main_window_activation_test.moc"
