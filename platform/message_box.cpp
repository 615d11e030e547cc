#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/qt_text.h"

namespace veskor {

void ShowMessage(const QString& text) {
  // Owned by the active window so that the window manager keeps the box
  // above it; with no active window the box stands alone.
  QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text,
                  QMessageBox::Ok, QApplication::activeWindow());
  box.setObjectName(QStringLiteral("veskorMessage"));
  // Names typed by the user and text from the archive reach these boxes;
  // Qt would take "<b>" in them for markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool AskYesNo(const QString& text) {
  QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), text,
                  QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  box.setObjectName(QStringLiteral("veskorQuestion"));
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Oui"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Non"));
  // Enter alone must not delete anything.
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  box.exec();
  return box.clickedButton() == box.button(QMessageBox::Yes);
}

void ShowError(const std::exception& error) { ShowMessage(FromAnsi(error.what())); }

}  // namespace veskor
