#pragma once
// Windows are placed where their layouts say, in outer (frame) pixels, and
// moved only as far as needed to show them whole.

#include <QRect>

class QWidget;

namespace veskor {

// `outer` moved by the least distance that puts it inside `screen`; when it
// is larger than the screen its top left corner is kept on the screen.
QRect FitOnScreen(const QRect& outer, const QRect& screen);

// Moves and sizes a top-level window to the outer rectangle `outer`, fitted
// to the screen's available area. Qt sizes the client area and learns the
// frame only once the window manager has framed the window, so the client
// size is corrected once, at the first showing that reveals the frame.
void PlaceWindow(QWidget& window, const QRect& outer);

}  // namespace veskor
