#include "tests/main_window/gui_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>

#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"
#include "shell/console.h"
#include "shell/program_windows.h"

namespace veskor::testing {

MessageWatcher::MessageWatcher() {
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, &MessageWatcher::Poll);
  timer_.start();
}

void MessageWatcher::Poll() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box || !box->isVisible() || box->property("veskorAnswered").toBool()) return;
  box->setProperty("veskorAnswered", true);
  texts_ << box->text();
  if (onMessage) onMessage(box->text());
  // A window manager gives the focus back to the window the box stood over;
  // the headless platform leaves that to the test.
  QWidget* const owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
  box->done(QMessageBox::Ok);
  if (owner && owner->isVisible()) owner->activateWindow();
}

bool MessageWatcher::WaitFor(int count, int ms) {
  return QTest::qWaitFor([&] { return texts_.size() >= count; }, ms);
}

WorkingDirectory::WorkingDirectory(const QMap<QString, QByteArray>& files)
    : previous_(QDir::currentPath()) {
  QDir::setCurrent(dir_.path());
  for (auto it = files.begin(); it != files.end(); ++it) Write(it.key(), it.value());
}

WorkingDirectory::~WorkingDirectory() { QDir::setCurrent(previous_); }

void WorkingDirectory::Write(const QString& name, const QByteArray& bytes) const {
  QFile file(QDir(dir_.path()).filePath(name));
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

void WorkingDirectory::Remove(const QString& name) const {
  QFile::remove(QDir(dir_.path()).filePath(name));
}

RunningProgram::RunningProgram(const std::string& archive, bool show) {
  qputenv("VESKOR_ARCHIVE", QByteArray::fromStdString(archive));
  CreateProgramWindows();
  if (!show) return;
  Form1->show();
  Form1->activateWindow();
  if (!QTest::qWaitForWindowActive(Form1)) qWarning("the main window did not become active");
}

RunningProgram::~RunningProgram() { DestroyProgramWindows(); }

QByteArray ShippedLogo() {
  QFile file(QStringLiteral(VESKOR_ASSETS_DIR "/logo2.bmp"));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray CrLfLines(const QStringList& lines) {
  QByteArray out;
  for (const QString& line : lines) out += line.toLatin1() + "\r\n";
  return out;
}

QStringList ConsoleLines() { return Form2->Memo1->toPlainText().split(QLatin1Char('\n')); }

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
