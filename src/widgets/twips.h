#pragma once

// The window is designed in twips at 96 dpi (15 twips per pixel); widgets are placed in
// pixels. Conversions happen only here, where a widget is placed.

#include <QRect>
#include <QWidget>

namespace Twips {
constexpr int perPixel = 15;

inline int toPixels(int twips) {
    return twips / perPixel;
}

inline QRect rect(int left, int top, int width, int height) {
    return QRect(left / perPixel, top / perPixel, width / perPixel, height / perPixel);
}

// Places w at a twips rectangle of its parent's coordinates; originLeft/originTop are the
// parent's own place in the window's twips, so callers can use window positions throughout.
inline void place(QWidget *w, int left, int top, int width, int height, int originLeft = 0,
                  int originTop = 0) {
    w->setGeometry(rect(left - originLeft, top - originTop, width, height));
}
} // namespace Twips
