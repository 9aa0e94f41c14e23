#include "scrollarrowbutton.h"

#include "palette.h"

#include <QPainter>
#include <QPainterPath>

ScrollArrowButton::ScrollArrowButton(Direction direction, QWidget *parent)
    : QAbstractButton(parent), m_direction(direction) {
    setObjectName(direction == Direction::Up ? QStringLiteral("Command32")
                                             : QStringLiteral("Command33"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    // A chevron has no text for a screen reader to say.
    setAccessibleName(direction == Direction::Up ? QStringLiteral("向上滚动")
                                                 : QStringLiteral("向下滚动"));
    // Holding the arrow keeps scrolling, after a pause long enough for a single click.
    setAutoRepeat(true);
    setAutoRepeatDelay(400);
    setAutoRepeatInterval(90);
}

void ScrollArrowButton::enterEvent(QEnterEvent *event) {
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ScrollArrowButton::leaveEvent(QEvent *event) {
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void ScrollArrowButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(2.5, 1.5, -2.5, -1.5);
    if (isDown() || m_hover) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::accentSoft());
        painter.drawRoundedRect(area, 4, 4);
    }
    QColor ink = !isEnabled() ? Palette::chrome()
                 : isDown()   ? Palette::accentPressed()
                 : m_hover    ? Palette::accent()
                              : Palette::chromeStrong();
    QPen pen(ink);
    pen.setWidthF(std::max(1.4, height() / 11.0));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QPointF c = area.center();
    const double w = std::min(area.width(), area.height()) * 0.32;
    const double h = w * 0.55;
    const double sign = m_direction == Direction::Up ? 1.0 : -1.0;
    QPainterPath chevron;
    chevron.moveTo(c + QPointF(-w, sign * h));
    chevron.lineTo(c + QPointF(0, -sign * h));
    chevron.lineTo(c + QPointF(w, sign * h));
    painter.drawPath(chevron);
}
