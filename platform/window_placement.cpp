#include "platform/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace veskor {
namespace {

int Shift(int low, int high, int screenLow, int screenHigh) {
  if (low < screenLow) return screenLow - low;
  if (high > screenHigh) return std::max(screenHigh - high, screenLow - low);
  return 0;
}

QRect AvailableArea(const QWidget& window) {
  const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

// Waits for the window manager's frame, then gives the client area what the
// frame leaves of the designed outer size. Goes away once done.
class FrameFitter final : public QObject {
 public:
  FrameFitter(QWidget& window, const QRect& outer) : QObject(&window), window_(window), outer_(outer) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &window_) return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Move && type != QEvent::Resize) return false;
    const QSize frame = window_.frameGeometry().size() - window_.geometry().size();
    if (frame.width() <= 0 && frame.height() <= 0) return false;
    window_.removeEventFilter(this);
    window_.resize(outer_.size() - frame);
    const QRect area = AvailableArea(window_);
    const QRect placed(window_.frameGeometry().topLeft(), outer_.size());
    if (area.isValid()) window_.move(FitOnScreen(placed, area).topLeft());
    deleteLater();
    return false;
  }

 private:
  QWidget& window_;
  QRect outer_;
};

}  // namespace

QRect FitOnScreen(const QRect& outer, const QRect& screen) {
  return outer.translated(Shift(outer.left(), outer.right(), screen.left(), screen.right()),
                          Shift(outer.top(), outer.bottom(), screen.top(), screen.bottom()));
}

void PlaceWindow(QWidget& window, const QRect& outer) {
  const QRect area = AvailableArea(window);
  const QRect placed = area.isValid() ? FitOnScreen(outer, area) : outer;
  // Until a frame is known the window is its own outer size.
  window.resize(outer.size());
  window.move(placed.topLeft());
  new FrameFitter(window, outer);
}

}  // namespace veskor
