#pragma once

#include "glyphadvancetable.h"

#include <QStringView>
#include <vector>

// How a wrapped row line is broken into the text lines its box has room for.
struct BoxTextLines {
    struct Line {
        qsizetype start = 0;
        qsizetype length = 0;
    };
    std::vector<Line> lines;
    bool elided = false; // the text did not fit: the last line ends with "…"
};

// Breaks text for a box widthTwips wide with room for maxLines lines. Line breaks in the
// text always start a new line. Words wrap first; when the words need more lines than the
// box has, the text breaks anywhere instead; when even that needs more, the box keeps
// maxLines lines and the last one is cut short and elided, so nothing spills over the next
// row. Widths come from the same glyph table as the layout estimate.
BoxTextLines wrapTextInBox(QStringView text, int widthTwips, int maxLines,
                           const GlyphAdvanceTable &table);
