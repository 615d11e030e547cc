// A second Veskor on the same folder, for the session scenario: the program's
// windows, built as start-up builds them, whose user opens the group editor,
// creates or deletes one group, leaves the editor and closes the program.
//
//   second_instance FOLDER create|delete NAME
//
// Exits 0 once the program has ended as a close ends it, 1 otherwise.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "base/process_start.h"
#include "groups/u_gid.h"
#include "main_window/main_form.h"
#include "tests/main_window/gui_test_support.h"

using namespace veskor::testing;

int main(int argc, char** argv) {
  veskor::IgnoreFileSizeSignal();
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 4 || !QDir::setCurrent(args[1])) return 2;
  const bool create = args[2] == QLatin1String("create");
  const QString name = args[3];

  MessageWatcher messages;
  messages.answer = QMessageBox::Yes;
  RunningProgram program(kNoArchive);
  After(0, [&] {
    Form1->B_config->click();
    if (!ShowAndActivate(F_edition)) QCoreApplication::exit(1);
    if (create) {
      F_edition->editCreaGpe->setText(name);
      Click(F_edition->B_creer);
    } else {
      const int item = F_edition->ComboBox1->findText(name);
      // Deleted meanwhile by the other program: nothing left to do.
      if (item >= 0) {
        F_edition->ComboBox1->setCurrentIndex(item);
        Click(F_edition->B_suppr);
      }
    }
    // Leaving the editor writes the list.
    if (!ShowAndActivate(Form1)) QCoreApplication::exit(1);
    Form1->close();
  });
  After(30'000, [] { QCoreApplication::exit(1); });
  return QApplication::exec();
}
