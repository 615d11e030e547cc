// Draws the about window's logo (logo2.bmp, a 24-bit Windows bitmap of
// 390 x 194) and the application icon (veskor.png, 32 x 32) into the folder
// given as argument. Run by hand when the artwork changes; the results are
// kept in assets/.
//
//   QT_QPA_PLATFORM=offscreen veskor-make-logo assets

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

const QColor kNight(16, 42, 84);
const QColor kSea(28, 118, 156);
const QColor kPaper(250, 246, 232);
const QColor kInk(40, 52, 70);
const QColor kAmber(244, 178, 52);

// A sheet of a news article: a header line and a few lines of text.
void DrawSheet(QPainter& p, const QRectF& sheet, qreal line) {
  p.setPen(QPen(kInk, line * 0.35));
  p.setBrush(kPaper);
  p.drawRoundedRect(sheet, line * 0.6, line * 0.6);
  p.setPen(QPen(kSea, line * 0.55, Qt::SolidLine, Qt::RoundCap));
  const qreal left = sheet.left() + line * 1.2;
  const qreal right = sheet.right() - line * 1.2;
  qreal y = sheet.top() + line * 1.6;
  p.drawLine(QPointF(left, y), QPointF(left + (right - left) * 0.55, y));
  p.setPen(QPen(kInk.lighter(170), line * 0.4, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 4 && y + line * 2.8 < sheet.bottom(); ++i) {
    y += line * 1.5;
    const qreal end = i % 2 ? right - line * 2 : right;
    p.drawLine(QPointF(left, y), QPointF(end, y));
  }
}

// A magnifying glass whose lens is centred on `centre`.
void DrawLens(QPainter& p, QPointF centre, qreal radius) {
  const qreal rim = radius * 0.22;
  QPointF handleStart = centre + QPointF(radius * 0.72, radius * 0.72);
  QPointF handleEnd = centre + QPointF(radius * 1.55, radius * 1.55);
  p.setPen(QPen(kInk, rim * 1.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(handleStart, handleEnd);
  QRadialGradient glass(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.2);
  glass.setColorAt(0, QColor(255, 255, 255, 150));
  glass.setColorAt(1, QColor(170, 220, 240, 90));
  p.setBrush(glass);
  p.setPen(QPen(kAmber, rim));
  p.drawEllipse(centre, radius, radius);
}

QImage Logo() {
  QImage image(390, 194, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 390, 194);
  sky.setColorAt(0, kNight);
  sky.setColorAt(1, kSea);
  p.fillRect(image.rect(), sky);

  // A faint grid of thread lines, the archive's pages.
  p.setPen(QPen(QColor(255, 255, 255, 22), 1));
  for (int y = 14; y < 194; y += 12) p.drawLine(0, y, 390, y);

  DrawSheet(p, QRectF(34, 46, 92, 112), 8);
  DrawSheet(p, QRectF(52, 30, 92, 112), 8);
  DrawLens(p, QPointF(112, 92), 34);

  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(48);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(0, 0, 0, 90));
  p.drawText(QPointF(181, 100), QStringLiteral("Veskor"));
  p.setPen(Qt::white);
  p.drawText(QPointF(178, 97), QStringLiteral("Veskor"));

  QFont line(QStringLiteral("DejaVu Sans"));
  line.setPixelSize(13);
  p.setFont(line);
  p.setPen(kPaper);
  p.drawText(QPointF(182, 128), QStringLiteral("Recherche dans les archives"));
  p.drawText(QPointF(182, 146), QStringLiteral("des newsgroups Usenet"));
  p.setPen(QPen(kAmber, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(182, 162), QPointF(262, 162));
  return image;
}

QImage Icon() {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 32, 32);
  sky.setColorAt(0, kNight);
  sky.setColorAt(1, kSea);
  p.setPen(Qt::NoPen);
  p.setBrush(sky);
  p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);
  DrawSheet(p, QRectF(5, 4, 17, 21), 2.2);
  DrawLens(p, QPointF(17, 16), 6.5);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  // A 24-bit bitmap, the plainest form every reader knows.
  const bool logo = Logo().convertToFormat(QImage::Format_RGB888).save(out.filePath("logo2.bmp"), "BMP");
  const bool icon = Icon().save(out.filePath("veskor.png"), "PNG");
  if (!logo || !icon) {
    std::fprintf(stderr, "veskor-make-logo: cannot write into %s\n", qPrintable(out.path()));
    return 1;
  }
  return 0;
}
