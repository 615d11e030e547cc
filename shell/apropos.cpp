#include "shell/apropos.h"

#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QShowEvent>
#include <QTimer>

#include "platform/design_fonts.h"
#include "base/program_version.h"
#include "platform/message_box.h"
#include "platform/window_placement.h"

TForm3* Form3 = nullptr;

using veskor::DesignFace;
using veskor::DesignFont;

namespace {

QLabel* Label(QWidget* parent, const QString& caption, int left, int top) {
  auto* label = new QLabel(caption, parent);
  label->move(left, top);
  return label;
}

QString LoadFailure(QImageReader::ImageReaderError error) {
  switch (error) {
    case QImageReader::FileNotFoundError:
      return QStringLiteral("fichier introuvable");
    case QImageReader::DeviceError:
      return QStringLiteral("lecture impossible");
    default:
      return QStringLiteral("ce n'est pas une image bitmap valide");
  }
}

}  // namespace

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setWindowTitle(QStringLiteral("Form3"));
  setFont(DesignFont(DesignFace::MSSansSerif, 11));
  veskor::PlaceWindow(*this, QRect(304, 117, 400, 400));

  Image1 = new QLabel(this);
  Image1->setGeometry(0, 0, 390, 194);
  // Drawn at its own size from the corner; the label clips what lies beyond.
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setScaledContents(false);

  Panel1 = new QFrame(this);
  Panel1->setGeometry(0, 216, 392, 129);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(1);
  Panel1->setFont(DesignFont(DesignFace::Verdana, 11));

  Label2 = Label(Panel1, QStringLiteral("Veskor ") + QString::fromLatin1(veskor::ProgramVersion()),
                 32, 16);
  Label2->setFont(DesignFont(DesignFace::Verdana, 13, true));
  Label2->adjustSize();

  Label1 = Label(Panel1,
                 QStringLiteral("Un client pour le webnews de free. Uniquement pour les "
                                "freenautes !!"),
                 32, 48);
  Label1->setWordWrap(true);
  Label1->resize(304, 26);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  const QString address = QString::fromLatin1(veskor::kDocumentationAddress);
  Label3 = Label(Panel1,
                 QStringLiteral("Plus d'infos sur <a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()),
                 32, 88);
  Label3->setTextFormat(Qt::RichText);
  Label3->setOpenExternalLinks(true);
  Label3->adjustSize();
}

TForm3::~TForm3() {
  if (Form3 == this) Form3 = nullptr;
}

void TForm3::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window coming back from being minimised is no new showing.
  if (!event->spontaneous()) FormShow();
}

void TForm3::FormShow() {
  QImageReader reader(QString::fromLatin1(veskor::kLogoFile), "bmp");
  reader.setDecideFormatFromContent(false);
  const QImage logo = reader.read();
  if (!logo.isNull()) {
    Image1->setPixmap(QPixmap::fromImage(logo));
    return;
  }
  // The picture shown before, if any, stays. The message waits until the
  // window is up, which it is whatever became of the logo.
  const QString text = QStringLiteral("Impossible de charger l'image %1 : %2.")
                           .arg(QString::fromLatin1(veskor::kLogoFile), LoadFailure(reader.error()));
  QTimer::singleShot(0, this, [text] { veskor::ShowMessage(text); });
}
