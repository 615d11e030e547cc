#pragma once
// The result table's context menu: open the article of the row, copy the
// selection, copy the article's address, export rows to a file.

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QAction;
class QWidget;
class TStringGrid;

namespace veskor {

class ResultsMenu final : public QObject {
  Q_OBJECT

 public:
  // `articleUrl` gives the address of a grid row's article, empty when the
  // row has none; `openArticle` opens it as a double-click does.
  ResultsMenu(TStringGrid& table, std::function<QUrl(std::size_t row)> articleUrl,
              std::function<void(std::size_t row)> openArticle, QWidget* window);

  // Asks where "Exporter…" writes and in which format; an empty name gives
  // up. The standard file dialog unless replaced (tests answer it here).
  std::function<QString(QString& chosenFilter)> chooseExportFile;

  // The menu's commands act on the table's current row and selection.
  QAction* open;
  QAction* copy;
  QAction* copyLink;
  QAction* exportRows;

 private:
  void Popup(const QPoint& at);
  void OpenArticle();
  void CopyLink();
  void Export();
  QUrl CurrentArticle() const;

  TStringGrid& table_;
  std::function<QUrl(std::size_t)> articleUrl_;
  std::function<void(std::size_t)> openArticle_;
  QWidget* window_;
};

}  // namespace veskor
