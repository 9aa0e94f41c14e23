#pragma once

#include <QColor>
#include <QPixmap>

// Registers the icon resources of this static library; call once before any style sheet
// names one of them. Repeated calls are harmless.
void loadShellIcons();

// Our SVG icons (shellicons.qrc) are drawn in one stroke colour, "#COLOR" in the file; each
// use fills it in. size is in device-independent pixels; dpr the painting widget's
// devicePixelRatioF(), so the icon stays sharp on a scaled screen. A missing icon gives an
// empty (transparent) picture.
QPixmap shellIcon(const char *name, const QColor &colour, int size, qreal dpr);
