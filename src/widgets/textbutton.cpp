#include "textbutton.h"

#include "text/fonts.h"
#include "twips.h"
#include "widgets/palette.h"

#include <QMouseEvent>
#include <QPainter>

TextButton::TextButton(const QString &caption, QWidget *parent)
    : QWidget(parent), m_caption(caption) {
    setCursor(Qt::PointingHandCursor);
    QFont font = labelFont();
    font.setPixelSize(12);
    setFont(font);
}

AccessiblePart TextButton::accessiblePart(int) const {
    AccessiblePart part;
    part.role = QAccessible::PushButton;
    part.name = m_caption;
    part.pressable = true;
    return part;
}

void TextButton::pressAccessiblePart(int) {
    Q_EMIT released();
}

QSize TextButton::sizeHint() const {
    return fontMetrics().size(0, m_caption) + QSize(16, 8);
}

void TextButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_hover || m_pressed) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_pressed ? Palette::accentSoft().darker(104) : Palette::accentSoft());
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    }
    painter.setPen(m_hover || m_pressed ? Palette::accentPressed() : QColor(0x5B, 0x67, 0x73));
    painter.drawText(rect(), Qt::AlignCenter, m_caption);
}

void TextButton::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton && !m_pressed) {
        m_pressed = true;
        const int offset = Twips::toPixels(pressedOffset);
        move(pos() + QPoint(offset, offset));
        update();
    }
    event->accept();
}

void TextButton::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        const int offset = Twips::toPixels(pressedOffset);
        move(pos() - QPoint(offset, offset));
        update();
        Q_EMIT released();
    }
    event->accept();
}

void TextButton::enterEvent(QEnterEvent *event) {
    m_hover = true;
    update();
    QWidget::enterEvent(event);
}

void TextButton::leaveEvent(QEvent *event) {
    m_hover = false;
    update();
    QWidget::leaveEvent(event);
}
