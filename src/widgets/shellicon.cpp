#include "shellicon.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

// Outside any namespace, as Q_INIT_RESOURCE requires: the icons live in a static library,
// whose resource object the linker would otherwise drop.
void loadShellIcons() {
    static bool loaded = false;
    if (!loaded) {
        Q_INIT_RESOURCE(shellicons);
        loaded = true;
    }
}

QPixmap shellIcon(const char *name, const QColor &colour, int size, qreal dpr) {
    loadShellIcons();
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(QString::fromLatin1(name), colour.name(QColor::HexArgb))
                            .arg(size)
                            .arg(dpr);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QFile file(QStringLiteral(":/shell/icons/%1.svg").arg(QString::fromLatin1(name)));
    QByteArray svg;
    if (file.open(QIODevice::ReadOnly))
        svg = file.readAll();
    svg.replace("#COLOR", colour.name().toLatin1());
    QPixmap pixmap(QSize(size, size) * dpr);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        painter.setOpacity(colour.alphaF());
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(dpr);
    cache.insert(key, pixmap);
    return pixmap;
}
