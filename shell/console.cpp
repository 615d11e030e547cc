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

void TForm2::AddLine(const QString& line) {
  if (isVisible()) {
    Memo1->appendPlainText(line);
    return;
  }
  pending_.append(line);
  // Memo1 keeps kMaxLines at most, so older waiting lines would be dropped
  // anyway.
  if (pending_.size() > kMaxLines) pending_.removeFirst();
}

void TForm2::FlushPending() {
  if (pending_.isEmpty()) return;
  Memo1->appendPlainText(pending_.join(QLatin1Char('\n')));
  pending_.clear();
}

void TForm2::showEvent(QShowEvent* event) {
  FlushPending();
  QWidget::showEvent(event);
}

void ConsoleAddLine(std::string text) {
  if (Form2) Form2->AddLine(veskor::FromAnsi(text));
}
