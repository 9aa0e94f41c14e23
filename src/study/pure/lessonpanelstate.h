#pragma once

// Scrolling of the lesson panel: the canvas (Picture2) moves vertically inside the fixed
// viewport (Picture5). All values are twips; canvasTop is 0 or negative.

#include "content/rowlayout.h"

#include <QString>
#include <span>

// Fixed places of the panel and of its scroll column (the strip right of the canvas).
struct LessonPanelGeometry {
    int viewportWidth = 8775;  // Picture5
    int viewportHeight = 5818; // Picture5
    int canvasWidth = 8460;    // Picture2; the scroll column fills the rest of the width
    int Command32Top = 0;      // up arrow
    int arrowHeight = 255;     // both arrows
    int Command33Top = 5563;   // down arrow, flush with the viewport's bottom
    int thumbTopMost = 255;    // Image33 at the top of its track, just below the up arrow
    int thumbHeight = 600;     // Image33

    int columnWidth() const { return viewportWidth - canvasWidth; }
    // How far the thumb's top can move below thumbTopMost.
    int thumbTrack() const { return Command33Top - Command32Top - thumbHeight - thumbTopMost; }
};

// mini scrolls with a standard scroll bar instead: canvas top = -value.
struct ScrollBarState {
    bool enabled = false;
    int minimum = 0;
    int maximum = 0; // 16-bit: never above 32767
    int value = 0;
    bool operator==(const ScrollBarState &) const = default;
};

struct LessonPanelState {
    QString note;         // painted centred on a panel without rows; empty for none
    int canvasTop = 0;    // Picture2's top inside the viewport
    int canvasHeight = 0; // Picture2's height
    int thumbTop = 255;   // Image33
    // Command32, Command33, Image32 and Image33; EnFaImage and EnUnderImage show exactly
    // when these are hidden.
    bool scrollControlsVisible = false;
    ScrollBarState VScroll1;
};

// The up-arrow step (Command32, the Up key, one wheel notch up): 500 twips towards the top,
// never past it. With the panel's rows the step ends where a row starts instead (the row
// start nearest to the 500 twips, and at least one row), so that the top row is never cut.
void scrollUpStep(LessonPanelState &state, const LessonPanelGeometry &geometry,
                  std::span<const SentenceRow> rows = {});
// The down-arrow step (Command33, the Down key, one wheel notch down): 500 twips, never
// past the point where the canvas's bottom meets the viewport's. With rows it ends at the
// nearest row start as the up step does; the bottom end stays where it is (the last row
// must show whole, and the thumb stands at the bottom of its track only there).
void scrollDownStep(LessonPanelState &state, const LessonPanelGeometry &geometry,
                    std::span<const SentenceRow> rows = {});
// Where row index (0-based) starts on the canvas: half way between the previous row's
// Chinese line and this row's English line, so that a row at the viewport's top keeps a
// little room above its text; the first row starts at the canvas's top.
int rowStartTwips(std::span<const SentenceRow> rows, size_t index);
// Puts the thumb where canvasTop says: 255 at the top, the bottom of its track when the
// canvas's bottom meets the viewport's. A canvas no taller than the viewport keeps it at 255.
void placeThumb(LessonPanelState &state, const LessonPanelGeometry &geometry);
// Dragging the thumb to wantedTop: clamped to its track, then the canvas follows in whole
// percent steps.
void dragThumb(LessonPanelState &state, const LessonPanelGeometry &geometry, int wantedTop);
// The scroll bar's range for a canvas height: enabled when the canvas is taller than the
// viewport; maximum capped at 32767.
ScrollBarState scrollBarFor(int canvasHeight, const LessonPanelGeometry &geometry);
