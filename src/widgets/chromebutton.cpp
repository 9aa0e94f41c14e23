#include "chromebutton.h"

#include "shellicon.h"

#include <QPainter>

ChromeButton::ChromeButton(Kind kind, QWidget *parent) : QAbstractButton(parent), m_kind(kind) {
    setObjectName(kind == Kind::Close ? QStringLiteral("CloseButton")
                                      : QStringLiteral("MinimiseButton"));
    const QString name = kind == Kind::Close ? QStringLiteral("关闭") : QStringLiteral("最小化");
    setToolTip(name);
    // Drawn without text: screen readers need the name said.
    setAccessibleName(name);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void ChromeButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool close = m_kind == Kind::Close;
    const bool hot = underMouse() || isDown();
    QColor stroke(0x5B, 0x67, 0x73);
    if (hot) {
        QColor tile = close ? QColor(0xE5, 0x48, 0x4D) : QColor(0xE6, 0xEC, 0xF3);
        if (isDown())
            tile = tile.darker(110);
        painter.setPen(Qt::NoPen);
        painter.setBrush(tile);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
        if (close)
            stroke = Qt::white;
    }
    const int size = std::min(width(), height()) - 4;
    painter.drawPixmap((width() - size) / 2, (height() - size) / 2,
                       shellIcon(close ? "close" : "minimise", stroke, size, devicePixelRatioF()));
}
