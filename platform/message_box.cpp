#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

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

void ShowError(const std::exception& error) { ShowMessage(FromAnsi(error.what())); }

}  // namespace veskor
