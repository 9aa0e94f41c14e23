#include "panelpicture.h"

#include "palette.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
QString objectNameOf(PanelPicture::Kind kind) {
    switch (kind) {
    case PanelPicture::Kind::Track:
        return QStringLiteral("Image32");
    case PanelPicture::Kind::EnFa:
        return QStringLiteral("EnFaImage");
    case PanelPicture::Kind::EnUnder:
        break;
    }
    return QStringLiteral("EnUnderImage");
}
} // namespace

PanelPicture::PanelPicture(Kind kind, QWidget *parent) : QWidget(parent), m_kind(kind) {
    setObjectName(objectNameOf(kind));
}

void PanelPicture::mousePressEvent(QMouseEvent *event) {
    event->accept();
}

void PanelPicture::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double cx = width() / 2.0;

    switch (m_kind) {
    case Kind::Track: {
        const double w = 3;
        painter.setBrush(Palette::track());
        painter.drawRoundedRect(QRectF(cx - w / 2, 2, w, height() - 4), w / 2, w / 2);
        break;
    }
    case Kind::EnFa: {
        // A bookmark ribbon hanging from the top edge, then a hairline fading downwards.
        const double w = std::max(7.0, width() * 0.38);
        const double h = std::min(34.0, height() * 0.5);
        QPainterPath ribbon;
        ribbon.moveTo(cx - w / 2, 0);
        ribbon.lineTo(cx + w / 2, 0);
        ribbon.lineTo(cx + w / 2, h);
        ribbon.lineTo(cx, h - w * 0.55);
        ribbon.lineTo(cx - w / 2, h);
        ribbon.closeSubpath();
        painter.setBrush(Palette::accent());
        painter.drawPath(ribbon);
        QLinearGradient fade(0, h + 8, 0, height());
        QColor line = Palette::accent();
        line.setAlpha(70);
        fade.setColorAt(0, line);
        line.setAlpha(0);
        fade.setColorAt(1, line);
        painter.setBrush(fade);
        painter.drawRect(QRectF(cx - 0.75, h + 8, 1.5, height() - h - 8));
        break;
    }
    case Kind::EnUnder: {
        // Three quiet dots near the bottom, closing the column.
        painter.setBrush(Palette::chrome());
        const double r = 1.8;
        for (int i = 0; i < 3; ++i)
            painter.drawEllipse(QPointF(cx, height() - 14 - i * 8), r, r);
        break;
    }
    }
}
