#include "tests/support/window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTest>

namespace veskor::testing {

WorkingDirectory::WorkingDirectory(const QMap<QString, QByteArray>& files)
    : previous_(QDir::currentPath()) {
  ok_ = dir_.isValid() && QDir::setCurrent(dir_.path());
  if (!ok_) return;
  for (auto it = files.begin(); it != files.end(); ++it) WriteFile(it.key(), it.value());
}

WorkingDirectory::~WorkingDirectory() {
  if (ok_ && !QDir::setCurrent(previous_)) qWarning("cannot leave the test directory");
}

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
  QAbstractButton* const chosen =
      answer ? box->button(static_cast<QMessageBox::StandardButton>(answer)) : nullptr;
  if (chosen)
    chosen->click();
  else
    box->done(QMessageBox::Ok);
  if (owner && owner->isVisible()) owner->activateWindow();
}

bool MessageWatcher::WaitFor(int count, int ms) {
  return QTest::qWaitFor([&] { return texts_.size() >= count; }, ms);
}

bool ShowAndActivate(QWidget* window) {
  window->show();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

void WriteFile(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    qFatal("cannot write %s", qPrintable(name));
}

QByteArray ReadFile(const QString& name) {
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = file.readAll();
  if (bytes.isNull()) bytes = QByteArray("");
  return bytes;
}

QByteArray CrLfLines(const QStringList& lines) {
  QByteArray bytes("");
  for (const QString& line : lines) bytes += line.toLatin1() + "\r\n";
  return bytes;
}

}  // namespace veskor::testing
