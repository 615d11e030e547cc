#pragma once
// The find bar under the result table (Ctrl+F): only the rows holding the
// typed text stay shown, accents and letter case aside, and the bar counts
// them. Closing it shows every row again.

#include <QWidget>

class QLabel;
class QLineEdit;
class TStringGrid;

namespace veskor {

class FindBar final : public QWidget {
  Q_OBJECT

 public:
  FindBar(TStringGrid& table, QWidget* parent);

  // Shows the bar with its text selected, ready for typing.
  void Open();
  void Close();

  QLineEdit* Text() const { return text_; }
  QLabel* Count() const { return count_; }

 signals:
  void shownChanged();

 private:
  void Filter(const QString& text);
  void UpdateCount();

  TStringGrid& table_;
  QLineEdit* text_;
  QLabel* count_;
};

}  // namespace veskor
