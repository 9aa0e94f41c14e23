#include "sentencecanvas.h"

#include "palette.h"
#include "text/fontmeasurer.h"
#include "text/fonts.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr double twipsPerPixel = 15.0;
// Glyphs may reach a little outside their boxes (descenders, the pressed look).
constexpr int paintMargin = 300;
constexpr size_t wrapCacheLimit = 512;

double px(int twips) {
    return twips / twipsPerPixel;
}

QColor toColour(const RgbColour &c) {
    return QColor(c.red, c.green, c.blue);
}

bool isCanvasColour(const RgbColour &c) {
    return toColour(c) == Palette::canvas();
}

// What a line shows: tabs as spaces, stray line breaks as nothing.
QString displayText(QStringView text) {
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\t')
            shown.append(u' ');
        else if (c != u'\n' && c != u'\r')
            shown.append(c);
    }
    return shown;
}

// Baseline below a line's top, with the font's height centred in the line box.
double baselineOffset(const QFontMetricsF &metrics, double lineHeight) {
    return (lineHeight - (metrics.ascent() + metrics.descent())) / 2 + metrics.ascent();
}

void paintPlayIcon(QPainter &painter, const TwipRect &box) {
    const QRectF area(px(box.left), px(box.top), px(box.width), px(box.height));
    const double d = std::min(area.width(), area.height());
    const QRectF circle(area.center().x() - d / 2, area.center().y() - d / 2, d, d);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::accent());
    painter.drawEllipse(circle);
    // The triangle sits a touch right of centre so that it looks centred.
    const double r = d * 0.24;
    const QPointF c = circle.center() + QPointF(d * 0.05, 0);
    QPainterPath triangle;
    triangle.moveTo(c + QPointF(-r * 0.8, -r));
    triangle.lineTo(c + QPointF(r * 1.1, 0));
    triangle.lineTo(c + QPointF(-r * 0.8, r));
    triangle.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(triangle);
    painter.setBrush(Qt::NoBrush);
}

} // namespace

SentenceCanvas::SentenceCanvas(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture2"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setScale(1.0);
}

SentenceCanvas::~SentenceCanvas() = default;

void SentenceCanvas::setMeasurer(const FontMeasurer *measurer) {
    m_measurer = measurer;
    m_wrapCache.clear();
    update();
}

void SentenceCanvas::setRows(const std::vector<SentenceRow> *rows) {
    m_rows = rows;
    m_wrapCache.clear();
    m_hasPress = false;
    update();
}

void SentenceCanvas::setCanvasTop(int twips) {
    if (twips == m_canvasTop)
        return;
    m_canvasTop = twips;
    update();
}

void SentenceCanvas::setCanvasHeight(int twips) {
    m_canvasHeight = twips;
    update();
}

void SentenceCanvas::setNote(const QString &note) {
    if (note == m_note)
        return;
    m_note = note;
    update();
}

void SentenceCanvas::setScale(double scale) {
    m_scale = scale > 0 ? scale : 1.0;
    setFixedSize(qRound(px(viewportWidthTwips) * m_scale),
                 qRound(px(viewportHeightTwips) * m_scale));
    update();
}

QPointF SentenceCanvas::canvasTwipsAt(QPointF widgetPos) const {
    return QPointF(widgetPos.x() / m_scale * twipsPerPixel,
                   widgetPos.y() / m_scale * twipsPerPixel - m_canvasTop);
}

RowHit SentenceCanvas::hitAt(QPointF widgetPos) const {
    if (!m_rows)
        return {};
    const QPointF at = canvasTwipsAt(widgetPos);
    if (at.x() < 0 || at.x() >= canvasWidthTwips)
        return {};
    return hitTestRows(*m_rows, int(std::floor(at.x())), int(std::floor(at.y())));
}

const BoxTextLines &SentenceCanvas::wrapped(int index, const RowText &line, LineFont font) {
    const quint64 key = (quint64(quint32(index)) << 1) | (font == LineFont::Chinese ? 1u : 0u);
    auto found = m_wrapCache.find(key);
    if (found != m_wrapCache.end() && found->data == line.text.constData() &&
        found->size == line.text.size() && found->width == line.box.width &&
        found->lines == line.lines)
        return found->result;
    if (size_t(m_wrapCache.size()) >= wrapCacheLimit)
        m_wrapCache.clear();
    const FontMeasurer &measurer = m_measurer ? *m_measurer : *m_ownMeasurer;
    CachedWrap entry;
    entry.data = line.text.constData();
    entry.size = line.text.size();
    entry.width = line.box.width;
    entry.lines = line.lines;
    entry.result = wrapTextInBox(line.text, line.box.width, line.lines, measurer.table(font));
    return m_wrapCache.insert(key, std::move(entry))->result;
}

void SentenceCanvas::paintEvent(QPaintEvent *event) {
    if (!m_measurer && !m_ownMeasurer)
        m_ownMeasurer = std::make_unique<FontMeasurer>();

    QPainter painter(this);
    painter.fillRect(event->rect(), Palette::canvas());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(m_scale, m_scale);
    painter.setClipRect(QRectF(0, 0, px(canvasWidthTwips), height() / m_scale));

    if (!m_rows || m_rows->empty()) {
        m_lastPainted = {0, 0};
        paintNote(painter);
        return;
    }

    const QRectF exposed = QRectF(event->rect());
    const double bandTop = exposed.top() / m_scale * twipsPerPixel - m_canvasTop - paintMargin;
    const double bandBottom =
        exposed.bottom() / m_scale * twipsPerPixel - m_canvasTop + paintMargin;
    const auto clampBand = [](double v) {
        return int(std::clamp(v, -double(maxCanvasTwips), double(maxCanvasTwips)));
    };
    m_lastPainted =
        rowsInBand(*m_rows, clampBand(std::floor(bandTop)), clampBand(std::ceil(bandBottom)));

    painter.translate(0, px(m_canvasTop));
    for (int index = m_lastPainted.first; index < m_lastPainted.second; ++index)
        paintRow(painter, index, bandTop, bandBottom);
}

void SentenceCanvas::paintRow(QPainter &painter, int index, double bandTop, double bandBottom) {
    const SentenceRow &row = (*m_rows)[size_t(index)];
    const FontMeasurer &measurer = m_measurer ? *m_measurer : *m_ownMeasurer;

    if (row.Label12.visible) {
        const QString number = row.Label12.text();
        const GlyphAdvanceTable &table = measurer.table(LineFont::English);
        const QFontMetricsF metrics(table.font());
        const TwipRect &box = row.Label12.box;
        const double natural = table.widthPixels(number);
        painter.save();
        painter.setFont(table.font());
        painter.setPen(Palette::rowNumber());
        painter.translate(px(box.left), px(box.top) + baselineOffset(metrics, px(box.height)));
        // A long number is drawn narrower rather than over the English line.
        if (natural > px(box.width) && natural > 0)
            painter.scale(std::max(0.05, px(box.width) / natural), 1.0);
        painter.drawText(QPointF(0, 0), number);
        painter.restore();
    }

    if (row.Label6.visible)
        paintLine(painter, index, row.Label6, LineFont::English, bandTop, bandBottom);

    if (row.Line3.visible) {
        QPen pen(QColor(128, 128, 128));
        pen.setWidthF(1.0);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        const double y = std::floor(px(row.Line3.y)) + 0.5;
        painter.drawLine(QPointF(px(row.Line3.x1), y), QPointF(px(row.Line3.x2), y));
    }

    if (row.Image2.visible)
        paintPlayIcon(painter, row.Image2.box);

    if (row.Label8.visible)
        paintLine(painter, index, row.Label8, LineFont::Chinese, bandTop, bandBottom);
}

void SentenceCanvas::paintLine(QPainter &painter, int index, const RowText &line, LineFont font,
                               double bandTop, double bandBottom) {
    // A hidden line is painted in the canvas colour: nothing to draw.
    if (isCanvasColour(line.colour) || line.text.isEmpty())
        return;
    const FontMeasurer &measurer = m_measurer ? *m_measurer : *m_ownMeasurer;
    const GlyphAdvanceTable &table = measurer.table(font);
    const QFontMetricsF metrics(table.font());
    painter.setFont(table.font());
    painter.setPen(toColour(line.colour));

    const int lines = std::max(1, line.lines);
    const double lineHeightTwips = double(line.box.height) / lines;
    const double offset = baselineOffset(metrics, lineHeightTwips / twipsPerPixel);
    const double left = px(line.box.left);

    if (lines == 1) {
        painter.drawText(QPointF(left, px(line.box.top) + offset), displayText(line.text));
        return;
    }

    const BoxTextLines &parts = wrapped(index, line, font);
    const int count = int(parts.lines.size());
    const int first = std::max(0, int(std::floor((bandTop - line.box.top) / lineHeightTwips)));
    const int last =
        std::min(count, int(std::ceil((bandBottom - line.box.top) / lineHeightTwips)) + 1);
    for (int k = first; k < last; ++k) {
        const BoxTextLines::Line &part = parts.lines[size_t(k)];
        QString text = displayText(QStringView(line.text).mid(part.start, part.length));
        if (parts.elided && k == count - 1)
            text.append(u'…');
        const double top = (line.box.top + k * lineHeightTwips) / twipsPerPixel;
        painter.drawText(QPointF(left, top + offset), text);
    }
}

void SentenceCanvas::paintNote(QPainter &painter) {
    if (m_note.isEmpty())
        return;
    const QRectF area(0, 0, px(canvasWidthTwips), height() / m_scale);
    const QPointF centre = area.center();

    // A small open book above the note, in the quiet chrome colour.
    painter.save();
    QPen pen(Palette::chrome());
    pen.setWidthF(1.6);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QPointF spineTop = centre + QPointF(0, -44);
    const QPointF spineBottom = centre + QPointF(0, -18);
    QPainterPath book;
    book.moveTo(spineBottom);
    book.cubicTo(spineBottom + QPointF(-8, -5), spineBottom + QPointF(-20, -5),
                 spineBottom + QPointF(-26, -2));
    book.lineTo(spineTop + QPointF(-26, -2));
    book.cubicTo(spineTop + QPointF(-20, -5), spineTop + QPointF(-8, -5), spineTop);
    book.cubicTo(spineTop + QPointF(8, -5), spineTop + QPointF(20, -5), spineTop + QPointF(26, -2));
    book.lineTo(spineBottom + QPointF(26, -2));
    book.cubicTo(spineBottom + QPointF(20, -5), spineBottom + QPointF(8, -5), spineBottom);
    book.lineTo(spineTop);
    painter.drawPath(book);
    painter.restore();

    painter.setFont(noteFont());
    painter.setPen(Palette::quietText());
    const QRectF textArea(area.left() + 20, centre.y() - 6, area.width() - 40, area.height() / 2);
    painter.drawText(textArea, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_note);
}

QRect SentenceCanvas::pixelRect(int left, int top, int width, int height) const {
    const auto p = [this](double twips) { return int(std::lround(px(twips) * m_scale)); };
    const double y = double(top) + m_canvasTop;
    return QRect(p(left), p(y), p(left + width) - p(left), p(y + height) - p(y));
}

// The study views show or hide every row's play icon together; while none shows, the icons
// are no part of the list (a hidden control is not there for a screen reader either).
bool SentenceCanvas::playIconsShown() const {
    return m_rows && std::any_of(m_rows->begin(), m_rows->end(),
                                 [](const SentenceRow &row) { return row.Image2.visible; });
}

SentenceCanvas::PartOfRow SentenceCanvas::partOfRow(int part) const {
    if (playIconsShown())
        return {part / 2 + 1, part % 2 == 0};
    return {part + 1, false};
}

int SentenceCanvas::accessiblePartCount() const {
    return m_rows ? int(m_rows->size()) * (playIconsShown() ? 2 : 1) : 0;
}

quint64 SentenceCanvas::accessiblePartLayout() const {
    return playIconsShown() ? 1 : 0;
}

AccessiblePart SentenceCanvas::accessiblePart(int part) const {
    AccessiblePart a;
    if (part == self) {
        a.role = QAccessible::List;
        a.name = QStringLiteral("课文句子");
        a.description = m_note;
        return a;
    }
    const auto [i, icon] = partOfRow(part);
    const SentenceRow &row = (*m_rows)[size_t(i - 1)];
    if (icon) {
        const TwipRect &box = row.Image2.box;
        a.role = QAccessible::PushButton;
        a.name = QStringLiteral("播放第 %1 句").arg(i);
        a.rect = pixelRect(box.left, box.top, box.width, box.height);
        a.visible = row.Image2.visible;
        a.pressable = row.Image2.visible;
        return a;
    }
    // The row reads as it looks: its number, then each line, or that the line is hidden
    // (a recall view paints it in the canvas colour), never the hidden words themselves.
    const auto lineText = [](const RowText &line, const QString &hiddenNote) {
        if (!line.visible || line.text.isEmpty())
            return QString();
        return isCanvasColour(line.colour) ? hiddenNote : displayText(line.text).trimmed();
    };
    QStringList said{row.Label12.text()};
    for (const QString &line : {lineText(row.Label6, QStringLiteral("（英文已隐藏）")),
                                lineText(row.Label8, QStringLiteral("（中文已隐藏）"))}) {
        if (!line.isEmpty())
            said << line;
    }
    a.role = QAccessible::ListItem;
    a.name = said.join(u' ');
    const int top = rowExtentTop(row);
    a.rect = pixelRect(0, top, canvasWidthTwips, rowExtentBottom(row) - top);
    const auto takesClicks = [](const RowText &line) {
        return line.visible && line.cursor == RowCursor::PointingHand;
    };
    a.pressable = takesClicks(row.Label6) || takesClicks(row.Label8);
    return a;
}

void SentenceCanvas::pressAccessiblePart(int part) {
    if (part < 0 || part >= accessiblePartCount())
        return;
    const auto [i, icon] = partOfRow(part);
    RowHit hit{i, RowElement::PlayIcon};
    if (!icon) {
        const RowText &english = (*m_rows)[size_t(i - 1)].Label6;
        hit.element = english.visible && english.cursor == RowCursor::PointingHand
                          ? RowElement::EnglishLine
                          : RowElement::ChineseLine;
    }
    // The same as a click: the press, then the release on what it hit.
    Q_EMIT rowPressed(hit, Qt::LeftButton);
    Q_EMIT rowReleased(hit, Qt::LeftButton);
}

int SentenceCanvas::accessiblePartAt(QPoint widgetPos) const {
    const RowHit hit = hitAt(widgetPos);
    if (hit.row < 1)
        return self;
    if (!playIconsShown())
        return hit.row - 1;
    return (hit.row - 1) * 2 + (hit.element == RowElement::PlayIcon ? 0 : 1);
}

void SentenceCanvas::updateCursor(QPointF widgetPos) {
    const RowHit hit = hitAt(widgetPos);
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (m_rows && hit.row > 0 && hit.row <= int(m_rows->size())) {
        const SentenceRow &row = (*m_rows)[size_t(hit.row - 1)];
        const auto shapeOf = [](RowCursor c) {
            return c == RowCursor::PointingHand ? Qt::PointingHandCursor : Qt::ArrowCursor;
        };
        const QPointF at = canvasTwipsAt(widgetPos);
        const auto over = [&at](const RowText &line) {
            return line.visible &&
                   line.box.contains(int(std::floor(at.x())), int(std::floor(at.y())));
        };
        switch (hit.element) {
        case RowElement::EnglishLine:
            shape = shapeOf(row.Label6.cursor);
            break;
        case RowElement::ChineseLine:
            shape = shapeOf(row.Label8.cursor);
            break;
        case RowElement::PlayIcon:
            shape = Qt::PointingHandCursor;
            break;
        case RowElement::EnglishClickArea:
        case RowElement::ChineseClickArea:
            // The strips lie over the lines they reveal and have no cursor of their own:
            // the line beneath shows its cursor through them.
            if (over(row.Label6))
                shape = shapeOf(row.Label6.cursor);
            else if (over(row.Label8))
                shape = shapeOf(row.Label8.cursor);
            break;
        default:
            break;
        }
    }
    if (shape != m_cursor) {
        m_cursor = shape;
        setCursor(shape);
    }
}

void SentenceCanvas::mousePressEvent(QMouseEvent *event) {
    m_pressed = hitAt(event->position());
    m_hasPress = true;
    Q_EMIT rowPressed(m_pressed, event->button());
    event->accept();
}

void SentenceCanvas::mouseReleaseEvent(QMouseEvent *event) {
    const RowHit hit = m_hasPress ? m_pressed : hitAt(event->position());
    // Another button may still be held; the press it made keeps its target.
    if (event->buttons() == Qt::NoButton)
        m_hasPress = false;
    Q_EMIT rowReleased(hit, event->button());
    event->accept();
}

void SentenceCanvas::mouseMoveEvent(QMouseEvent *event) {
    if (event->buttons() == Qt::NoButton)
        updateCursor(event->position());
    QWidget::mouseMoveEvent(event);
}

void SentenceCanvas::wheelEvent(QWheelEvent *event) {
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / 120;
    m_wheelRemainder -= notches * 120;
    if (notches != 0)
        Q_EMIT wheelSteps(-notches);
    event->accept();
}
