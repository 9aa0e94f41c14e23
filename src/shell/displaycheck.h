#pragma once

#include <QSize>
#include <QString>

class QScreen;

// What the start-up display check reads from the screen. Qt scales the whole window by
// devicePixelRatio (logical dpi / 96) when high-dpi scaling is on, and then reports a
// logical dpi of 96 in its own, scaled units; the screen's own setting is the product.
struct ScreenReading {
    double logicalDpi = 96;      // Qt's logical dots per inch, in scaled units
    double devicePixelRatio = 1; // device pixels per Qt pixel
    QSize available{1920, 1080}; // the screen's usable area in Qt pixels

    // The screen's own logical dpi (96 at 100 %, 144 at 150 %), rounded.
    int screenDpi() const;

    static ScreenReading of(const QScreen *screen); // the default for a null screen
};

// The design is 96 dpi. On any other screen Qt scales the window so that it looks as
// designed; the learner is told only when that cannot work: the window, at the size it is
// shown in, does not fit the usable screen area, or the screen is not at 96 dpi and Qt's
// scaling is turned off (its layout then is not adapted). windowSize is in Qt pixels.
bool displayMessageNeeded(const ScreenReading &screen, QSize windowSize);

// The message of the display check, lines separated by CR LF.
QString displayMessageText();
