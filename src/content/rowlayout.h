#pragma once

// The sentence rows of the lesson panel as plain values. Every position and size is in
// twips (1/1440 inch, 15 twips per pixel at 96 dpi), relative to the canvas (Picture2).
// A row never becomes a widget: the canvas paints and hit-tests these values, and the
// study modes change colours, visibility and cursors here before asking for a repaint.

#include "programprofile.h"
#include "sentencetable.h"

#include <QString>
#include <QStringView>
#include <utility>
#include <vector>

// Which font a text is measured in. The row numbers use the English line's font; Label is
// the window's small label font (the dictation progress line).
enum class LineFont { English, Chinese, Label };

// Natural single-line widths, the way the row rules were written: glyph advances added
// without kerning and without any wrapping.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // Width of text on one line, in twips; 0 for empty text, never negative. Line breaks
    // inside text measure as nothing (callers split paragraphs first).
    virtual int widthTwips(QStringView text, LineFont font) const = 0;
};

struct RgbColour {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const RgbColour &) const = default;
};

enum class RowCursor { Default, PointingHand };

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }
    int bottom() const { return top + height; }
    // Half-open on the right and bottom edges, like a pixel grid.
    bool contains(int x, int y) const {
        return x >= left && x < right() && y >= top && y < bottom();
    }
    bool operator==(const TwipRect &) const = default;
};

// An English (Label6) or Chinese (Label8) line. A line is hidden by painting it in its
// template's background colour; the box keeps its place either way.
struct RowText {
    QString text;
    TwipRect box;
    int lines = 1; // text lines the box has room for: 1 unless the line wraps
    RgbColour colour;
    bool visible = true;
    RowCursor cursor = RowCursor::Default;
};

struct RowNumber {
    int number = 0; // i; the label shows text()
    TwipRect box;   // narrower than the text when a long number must stay clear of the line
    bool visible = true;

    QString text() const { return QString::number(number) + u'.'; }
};

struct RowUnderline {
    int x1 = 0;
    int x2 = 0;
    int y = 0;
    bool visible = false;
};

struct RowBox {
    TwipRect box;
    bool visible = true;
};

// One sentence row, element names as the window knows them.
struct SentenceRow {
    QString Label5; // record holder: the raw sentence record, never shown
    RowNumber Label12;
    RowText Label6; // English line
    RowUnderline Line3;
    RowBox Image2;  // play icon
    RowBox Label18; // English click strip: over the English line, above the Chinese line
    RowText Label8; // Chinese line
    RowBox Label17; // Chinese click strip: from the English line's bottom over the Chinese line
};

// Template row 0 and the canvas it lives on. Row 0 is never a sentence: it supplies the
// lefts, the one-line heights, the fonts' colours and the gaps of every built row.
struct RowTemplate {
    TwipRect english{630, 3360, 525, 315};
    TwipRect chinese{630, -60, 420, 210};
    TwipRect number{285, 1590, 135, 315};
    TwipRect englishArea{600, 3990, 2325, 645};
    TwipRect chineseArea{600, 540, 2955, 555};
    RowUnderline underline{540, 1590, 7350, false};
    // The play icon sits in the number column, left of the text; the number is hidden
    // whenever the icon shows. 240 twips = 16 px square.
    TwipRect playIcon{315, 0, 240, 240};

    RgbColour englishText{0, 0, 0};
    RgbColour englishBack{255, 255, 255};
    RgbColour chineseText{0, 0, 0};
    RgbColour chineseBack{255, 255, 255};

    int canvasWidth = 8460;        // Picture2
    int designCanvasHeight = 9255; // Picture2 before any row exists
    int rowGap = 90;               // between a row's lines and between rows
    int playIconDrop = 0;          // play icon top below the English top
    int numberShiftFrom10 = 120;   // two-digit numbers start this much further left
    int numberClearance = 60;      // a number ends at least this far left of the English line

    static RowTemplate forProgram(Program program);

    int maxWidth() const { return canvasWidth - 1100; }
    RgbColour shownColour(bool chineseLine) const {
        return chineseLine ? chineseText : englishText;
    }
    RgbColour hiddenColour(bool chineseLine) const {
        return chineseLine ? chineseBack : englishBack;
    }
};

// Box of a line laid out by the wrap estimate.
struct WrappedLine {
    int width = 0;
    int height = 0;
    int lines = 1;
};

// The wrap estimate of one text line: a line no wider than maxWidth keeps its natural
// width and one line's height; a wider one gets width maxWidth and
// (width / maxWidth + 1) lines (integer division). Line breaks inside the text start new
// lines, each paragraph estimated on its own, so such text never runs into the next row.
WrappedLine estimateWrap(QStringView text, LineFont font, int oneLineHeight, int maxWidth,
                         const TextMeasurer &measurer);

struct RowLayout {
    std::vector<SentenceRow> rows; // rows[i - 1] is row i
    int canvasHeight = 0;          // Picture2's height after the rows
};

// Rows 1..table.count() in one linear pass. Geometry saturates at maxCanvasTwips so that a
// hostile lesson cannot overflow: rows past it pile up at the limit instead.
RowLayout layoutRows(const SentenceTable &table, const RowTemplate &tpl,
                     const TextMeasurer &measurer);
// The same into rows, which is cleared first and keeps its storage, so that loading lesson
// after lesson does not allocate the row array anew. Returns the canvas height.
int layoutRowsInto(std::vector<SentenceRow> &rows, const SentenceTable &table,
                   const RowTemplate &tpl, const TextMeasurer &measurer);

// Every top and every height stays within this, so that top + height never overflows.
constexpr int maxCanvasTwips = 1 << 29;

// What a point of the canvas lies on. Lines hidden by colour still take clicks (that is how
// a hidden line is revealed); elements whose visible flag is off do not.
enum class RowElement {
    Background,
    EnglishLine,      // Label6
    ChineseLine,      // Label8
    Number,           // Label12
    PlayIcon,         // Image2
    EnglishClickArea, // Label18
    ChineseClickArea, // Label17
};

struct RowHit {
    int row = 0; // 1-based; 0 with Background
    RowElement element = RowElement::Background;
    bool operator==(const RowHit &) const = default;
};

// Paints every row's English and Chinese line in row 0's shown or hidden colour and gives
// each line its cursor. Hidden text keeps its place: nothing moves.
void paintRowLines(std::vector<SentenceRow> &rows, const RowTemplate &tpl, bool englishShown,
                   RowCursor englishCursor, bool chineseShown, RowCursor chineseCursor);

// Later rows lie above earlier ones and, inside a row, later-built elements above earlier
// ones (Chinese strip over Chinese line over play icon over number over English strip over
// English line), so overlapping strips resolve the way the rows were created.
RowHit hitTestRows(const std::vector<SentenceRow> &rows, int x, int y);

// Vertical extent of everything a row paints or takes clicks on.
int rowExtentTop(const SentenceRow &row);
int rowExtentBottom(const SentenceRow &row);

// Rows [first, last) (0-based vector indices) whose extent meets the band [top, bottom).
// Binary search: rows are laid out top to bottom.
std::pair<int, int> rowsInBand(const std::vector<SentenceRow> &rows, int top, int bottom);
