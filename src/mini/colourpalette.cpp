#include "colourpalette.h"

#include "widgets/palette.h"
#include "widgets/twips.h"

#include <QMouseEvent>
#include <QPainter>

#include <array>

namespace {

constexpr int column[4] = {120, 480, 855, 1215};
constexpr int row[4] = {120, 405, 690, 975};

struct Entry {
    int column;
    int row;
    int r, g, b;
};

// Indexed as the colours were always numbered: the third row runs right to left.
constexpr std::array<Entry, ColourPalette::swatchCount> entries{{
    {0, 0, 0, 0, 0},
    {1, 0, 255, 255, 255},
    {2, 0, 128, 128, 0},
    {3, 0, 192, 0, 0},
    {0, 1, 0, 0, 128},
    {1, 1, 29, 56, 91},
    {2, 1, 128, 128, 128},
    {3, 1, 255, 255, 0},
    {3, 2, 192, 192, 192},
    {2, 2, 255, 0, 255},
    {1, 2, 128, 128, 192},
    {0, 2, 240, 247, 255},
    {0, 3, 255, 0, 0},
    {1, 3, 0, 0, 255},
    {2, 3, 0, 128, 128},
    {3, 3, 0, 255, 0},
}};

} // namespace

ColourPalette::Swatch ColourPalette::swatch(int index) {
    const Entry &e = entries.at(size_t(index));
    return {column[e.column], row[e.row], QColor(e.r, e.g, e.b)};
}

QRect ColourPalette::swatchRect(int index) {
    const Swatch s = swatch(index);
    return Twips::rect(s.left, s.top, swatchWidthTwips, swatchHeightTwips);
}

ColourPalette::ColourPalette(QWidget *parent) : QWidget(parent) {
    setFixedSize(Twips::toPixels(widthTwips), Twips::toPixels(heightTwips));
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

int ColourPalette::swatchAt(QPoint pos) const {
    for (int i = 0; i < swatchCount; ++i) {
        if (swatchRect(i).contains(pos))
            return i;
    }
    return -1;
}

QRect ColourPalette::highlightRect() const {
    if (m_highlighted < 0)
        return {};
    const Swatch s = swatch(m_highlighted);
    return Twips::rect(s.left - highlightOutsetTwips, s.top - highlightOutsetTwips,
                       swatchWidthTwips + 2 * highlightOutsetTwips,
                       swatchHeightTwips + 2 * highlightOutsetTwips);
}

void ColourPalette::highlight(int index) {
    if (index == m_highlighted)
        return;
    m_highlighted = index;
    update();
}

void ColourPalette::hideHighlight() {
    highlight(-1);
}

AccessiblePart ColourPalette::accessiblePart(int part) const {
    AccessiblePart p;
    if (part == self) {
        p.role = QAccessible::Grouping;
        p.name = QStringLiteral("颜色");
        return p;
    }
    p.role = QAccessible::PushButton;
    p.name = QStringLiteral("颜色 %1").arg(part + 1);
    p.description = swatch(part).colour.name().toUpper();
    p.rect = swatchRect(part);
    p.visible = isVisible();
    p.pressable = true;
    return p;
}

void ColourPalette::pressAccessiblePart(int part) {
    if (part >= 0 && part < swatchCount)
        Q_EMIT picked(part);
}

void ColourPalette::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Palette::chrome());
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    for (int i = 0; i < swatchCount; ++i) {
        painter.setPen(QColor(0, 0, 0, 45));
        painter.setBrush(swatch(i).colour);
        painter.drawRoundedRect(QRectF(swatchRect(i)).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    }
    if (m_highlighted >= 0) {
        painter.setPen(QPen(Palette::accent(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(highlightRect()).adjusted(1, 1, -1, -1), 3, 3);
    }
}

void ColourPalette::mouseMoveEvent(QMouseEvent *event) {
    // Off the swatches the highlight stays on the last one.
    if (const int index = swatchAt(event->position().toPoint()); index >= 0)
        highlight(index);
    event->accept();
}

void ColourPalette::mousePressEvent(QMouseEvent *event) {
    // Between the swatches a press does nothing; it must not reach the dialog beneath.
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    if (const int index = swatchAt(event->position().toPoint()); index >= 0)
        Q_EMIT picked(index);
}
