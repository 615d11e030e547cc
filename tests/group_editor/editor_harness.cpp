#include "tests/group_editor/editor_harness.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "groups/u_gid.h"
#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"

namespace editor_test {

WorkDir::WorkDir() {
  previous_ = QDir::currentPath().toLocal8Bit();
  ok_ = dir_.isValid() && ::chdir(QFile::encodeName(dir_.path()).constData()) == 0;
}

WorkDir::~WorkDir() {
  if (ok_ && ::chdir(previous_.constData()) != 0) qWarning("cannot leave the test directory");
}

MessageCatcher::MessageCatcher() {
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start();
}

void MessageCatcher::Poll() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr || !box->isVisible()) return;
  const QString text = box->text();
  texts << text;
  if (onMessage) onMessage(text);
  box->accept();
}

Windows::Windows() {
  Form1 = new TForm1;
  F_edition = new TF_edition;
  F_edition->UseFetchGuard(Form1->Fetches());
  editor = F_edition;
}

Windows::~Windows() {
  delete F_edition;
  delete Form1;
}

bool ShowAndActivate(QWidget* window) {
  window->show();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

void ClickRow(TStringGrid* grid, int row) {
  const QModelIndex cell = grid->model()->index(row - 1, 0);
  grid->scrollTo(cell);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
}

QStringList GridEntries(const TStringGrid* grid) {
  QStringList entries;
  for (std::size_t row = 1; row < grid->RowCount(); ++row)
    entries << grid->CellText(0, row) + QLatin1Char('|') + grid->CellText(1, row);
  while (!entries.isEmpty() && entries.last() == QLatin1String("|")) entries.removeLast();
  return entries;
}

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

QByteArray GroupFileBytes(const QStringList& entries) {
  QByteArray bytes("");
  for (const QString& entry : entries) {
    const QStringList parts = entry.split(QLatin1Char('|'));
    bytes += parts.value(0).toLatin1() + "\r\n" + parts.value(1).toLatin1() + "\r\n";
  }
  return bytes;
}

void EditGroup(TF_edition* editor, const QByteArray& fileBytes, const QByteArray& list) {
  WriteFile(QStringLiteral("gpeliste.lst"), list);
  if (!fileBytes.isNull()) WriteFile(QStringLiteral("G.txt"), fileBytes);
  if (!ShowAndActivate(editor)) qWarning("the editor did not become active");
  editor->ComboBox1->setCurrentIndex(editor->ComboBox1->findText(QStringLiteral("G")));
  Click(editor->B_edit);
}

void AddNewsgroup(TF_edition* editor, const QString& name) {
  editor->Edit1->setText(name);
  Click(editor->B_ajouter);
}

void Settle() { QTest::qWait(30); }

}  // namespace editor_test
