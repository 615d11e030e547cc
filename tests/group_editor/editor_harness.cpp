#include "tests/group_editor/editor_harness.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "groups/u_gid.h"
#include "main_window/main_form.h"
#include "platform/string_grid_widget.h"

namespace veskor::testing {

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

void EditorTestCase::init() {
  dir_.emplace();
  QVERIFY(dir_->Ok());
  windows_.emplace();
  ed_ = windows_->editor;
  messages_.emplace();
}

void EditorTestCase::cleanup() {
  windows_.reset();
  messages_.reset();
  dir_.reset();
}

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

QByteArray GroupFileBytes(const QStringList& entries) {
  QStringList lines;
  for (const QString& entry : entries) {
    const QStringList parts = entry.split(QLatin1Char('|'));
    lines << parts.value(0) << parts.value(1);
  }
  return CrLfLines(lines);
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

}  // namespace veskor::testing
