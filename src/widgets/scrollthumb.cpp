#include "scrollthumb.h"

#include "palette.h"

#include <QMouseEvent>
#include <QPainter>

ScrollThumb::ScrollThumb(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Image33"));
    setCursor(Qt::PointingHandCursor);
}

void ScrollThumb::enterEvent(QEnterEvent *event) {
    m_hover = true;
    update();
    QWidget::enterEvent(event);
}

void ScrollThumb::leaveEvent(QEvent *event) {
    m_hover = false;
    update();
    QWidget::leaveEvent(event);
}

void ScrollThumb::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = std::max(6.0, width() * 0.42);
    const QRectF pill((width() - w) / 2, 1, w, height() - 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_dragging ? Palette::accentPressed()
                     : m_hover  ? Palette::accent()
                                : Palette::chrome());
    painter.drawRoundedRect(pill, w / 2, w / 2);
}

void ScrollThumb::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        m_pressY = event->globalPosition().y();
        m_dragging = true;
        update();
        Q_EMIT dragStarted();
    }
    event->accept();
}

void ScrollThumb::mouseMoveEvent(QMouseEvent *event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        Q_EMIT draggedBy(event->globalPosition().y() - m_pressY);
    event->accept();
}

void ScrollThumb::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        update();
    }
    event->accept();
}
