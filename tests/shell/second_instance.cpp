// A second Veskor on the same folder, for the session scenario: the program's
// windows, built as start-up builds them, whose user does one thing and
// closes the program:
//
//   second_instance FOLDER ARCHIVE create NAME   creates the group NAME
//   second_instance FOLDER ARCHIVE delete NAME   deletes it, when listed
//   second_instance FOLDER ARCHIVE search NEWSGROUP WORD   a quick search
//
// Exits 0 once the program has ended as a close ends it, 1 otherwise or when
// the record of the hits seen was reported unreadable or unsaved.

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

namespace {

void EditGroups(bool create, const QString& name) {
  Form1->B_config->click();
  if (!ShowAndActivate(F_edition)) QCoreApplication::exit(1);
  if (create) {
    F_edition->editCreaGpe->setText(name);
    Click(F_edition->B_creer);
  } else if (const int item = F_edition->ComboBox1->findText(name); item >= 0) {
    // Not deleted meanwhile by the other program.
    F_edition->ComboBox1->setCurrentIndex(item);
    Click(F_edition->B_suppr);
  }
  // Leaving the editor writes the list.
  if (!ShowAndActivate(Form1)) QCoreApplication::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  veskor::IgnoreFileSizeSignal();
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 5 || !QDir::setCurrent(args[1])) return 2;
  const QString command = args[3];

  MessageWatcher messages;
  messages.answer = QMessageBox::Yes;
  RunningProgram program(args[2].toStdString());
  After(0, [&] {
    if (command == QLatin1String("search") && args.size() == 6) {
      Form1->Edit1->setText(args[4]);
      Form1->Edit2->setText(args[5]);
      Form1->B_seek->click();
    } else {
      EditGroups(command == QLatin1String("create"), args[4]);
    }
    Form1->close();
  });
  After(60'000, [] { QCoreApplication::exit(1); });
  const int code = QApplication::exec();
  for (const QString& text : messages.Texts())
    if (text.contains(QStringLiteral("relev\u00E9"))) return 1;
  return code;
}
