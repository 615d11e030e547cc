#pragma once
// The console window: a plain log of every results page a search fetches,
// written to whether it is shown or not.

#include <QStringList>
#include <QWidget>
#include <string>

class QPlainTextEdit;

class TForm2 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);
  ~TForm2() override;

  QPlainTextEdit* Memo1;

  // Appends one line. While the window is hidden, lines wait and go into
  // Memo1 together when it is shown: laying out two lines per page in a
  // window nobody sees cost a long search more than its table did.
  void AddLine(const QString& line);
  // Puts the waiting lines into Memo1 now (for whoever reads it directly).
  void FlushPending();

  // The console keeps this many lines at most, dropping the oldest: a day of
  // searching must not fill the memory with page addresses.
  static constexpr int kMaxLines = 100'000;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QStringList pending_;
};

extern TForm2* Form2;

// Appends `text` (Windows-1252, up to its first zero byte) as the console's
// new last line. Needs Form2.
void ConsoleAddLine(std::string text);
