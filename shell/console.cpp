#include "shell/console.h"

#include <QPlainTextEdit>

#include "platform/design_fonts.h"
#include "platform/qt_text.h"
#include "platform/window_placement.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Form2"));
  setFont(veskor::DesignFont(veskor::DesignFace::MSSansSerif, 11));
  veskor::PlaceWindow(*this, QRect(235, 174, 395, 480));

  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(0, 0, 385, 441);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setMaximumBlockCount(kMaxLines);
  Memo1->setPlainText(QStringLiteral("Memo1"));
}

TForm2::~TForm2() {
  if (Form2 == this) Form2 = nullptr;
}

void ConsoleAddLine(std::string text) {
  if (Form2) Form2->Memo1->appendPlainText(veskor::FromAnsi(text));
}
