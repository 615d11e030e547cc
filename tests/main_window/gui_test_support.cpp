#include "tests/main_window/gui_test_support.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>

#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "shell/console.h"
#include "shell/program_windows.h"

namespace veskor::testing {

RunningProgram::RunningProgram(const std::string& archive, bool show) {
  qputenv("VESKOR_ARCHIVE", QByteArray::fromStdString(archive));
  CreateProgramWindows();
  if (show && !ShowAndActivate(Form1)) qWarning("the main window did not become active");
}

RunningProgram::~RunningProgram() { DestroyProgramWindows(); }

void ProgramTestCase::Start(const QMap<QString, QByteArray>& files, const std::string& archive) {
  dir_.emplace(files);
  messages_.emplace();
  program_.emplace(archive);
}

void ProgramTestCase::cleanup() {
  program_.reset();
  messages_.reset();
  dir_.reset();
}

QByteArray ShippedLogo() {
  QFile file(QStringLiteral(VESKOR_ASSETS_DIR "/logo2.bmp"));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList ConsoleLines() {
  Form2->FlushPending();
  return Form2->Memo1->toPlainText().split(QLatin1Char('\n'));
}

QString RowText(int row) {
  QStringList cells;
  for (int col = 0; col < Form1->SG_resultats->ColCount(); ++col)
    cells << Form1->SG_resultats->CellText(col, static_cast<std::size_t>(row));
  return cells.join(QLatin1Char('|'));
}

void After(int ms, std::function<void()> action) {
  QTimer::singleShot(ms, qApp, std::move(action));
}

}  // namespace veskor::testing
