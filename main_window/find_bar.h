#pragma once
// The find bar under the result table (Ctrl+F): only the rows holding the
// typed text stay shown, accents and letter case aside, and the bar counts
// them. When the search tells its new hits apart, "Nouveaux seulement" keeps
// those alone, with the text's test besides. Closing it shows every row
// again.

#include <QWidget>

class QCheckBox;
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
  // Whether the table's rows are marked new or not; the box is there only
  // then, and keeps its state for the next search that marks them.
  void OfferNewOnly(bool offered);

  QLineEdit* Text() const { return text_; }
  QLabel* Count() const { return count_; }
  QCheckBox* NewOnly() const { return newOnly_; }

 signals:
  void shownChanged();

 private:
  void Filter(const QString& text);
  void FilterNew();
  void UpdateCount();

  TStringGrid& table_;
  QLineEdit* text_;
  QCheckBox* newOnly_;
  QLabel* count_;
};

}  // namespace veskor
