#include "colourswatch.h"

#include "widgets/palette.h"

#include <QMouseEvent>
#include <QPainter>

ColourSwatch::ColourSwatch(const QString &name, QWidget *parent) : QWidget(parent), m_name(name) {
    setFixedSize(44, 24);
    setCursor(Qt::PointingHandCursor);
    setToolTip(name);
    // Inside a group box the box's title would otherwise name every swatch.
    setAccessibleName(name);
}

void ColourSwatch::setColour(const QColor &colour) {
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
    announceDescriptionChanged(this);
}

AccessiblePart ColourSwatch::accessiblePart(int) const {
    AccessiblePart part;
    part.role = QAccessible::PushButton;
    part.name = m_name;
    part.description = m_colour.name().toUpper();
    part.pressable = true;
    return part;
}

void ColourSwatch::pressAccessiblePart(int) {
    Q_EMIT clicked();
}

void ColourSwatch::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A frame that stays visible around white and around the dialog's own grey.
    painter.setPen(m_hover ? Palette::accent() : Palette::chrome());
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    painter.setPen(QColor(0, 0, 0, 40));
    painter.setBrush(m_colour);
    painter.drawRoundedRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5), 3, 3);
}

void ColourSwatch::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton)
        Q_EMIT clicked();
    event->accept();
}

void ColourSwatch::enterEvent(QEnterEvent *event) {
    m_hover = true;
    update();
    QWidget::enterEvent(event);
}

void ColourSwatch::leaveEvent(QEvent *event) {
    m_hover = false;
    update();
    QWidget::leaveEvent(event);
}
