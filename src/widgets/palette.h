#pragma once

// The one light palette of the program: white lesson canvas, the lesson tree's 249/252/255,
// the strip's 128/160/192, greys for quiet chrome, one accent blue for what can be pressed.

#include <QColor>

namespace Palette {
inline QColor canvas() {
    return QColor(255, 255, 255);
}
inline QColor treeBackground() {
    return QColor(249, 252, 255);
}
inline QColor strip() {
    return QColor(128, 160, 192);
}
inline QColor accent() {
    return QColor(0x2F, 0x7B, 0xEA);
}
inline QColor accentPressed() {
    return QColor(0x1F, 0x62, 0xC4);
}
inline QColor accentSoft() {
    return QColor(0xE8, 0xF1, 0xFD);
}
inline QColor quietText() {
    return QColor(0x7B, 0x87, 0x94);
}
inline QColor rowNumber() {
    return QColor(0x8A, 0x96, 0xA3);
}
inline QColor chrome() {
    return QColor(0xC3, 0xCC, 0xD6);
}
inline QColor chromeStrong() {
    return QColor(0x87, 0x94, 0xA3);
}
inline QColor track() {
    return QColor(0xE6, 0xEB, 0xF1);
}
} // namespace Palette
