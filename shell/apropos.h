#pragma once
// The about window: the logo, the product's name and version, what it is for
// and where to learn more.

#include <QWidget>

class QFrame;
class QLabel;

namespace veskor {
// Where the project's documentation lives.
inline constexpr char kDocumentationAddress[] = "https://veskor.example.org/";
// The bitmap shown at the top, looked for in the working directory.
inline constexpr char kLogoFile[] = "logo2.bmp";
}  // namespace veskor

class TForm3 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm3(QWidget* parent = nullptr);
  ~TForm3() override;

  QLabel* Image1;
  QFrame* Panel1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;

 public slots:
  void FormShow();

 protected:
  void showEvent(QShowEvent* event) override;
};

extern TForm3* Form3;
