#include "skinpictures.h"

#include "jpegencoder.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QSaveFile>

namespace {

// Outlines are 1 px wide and sit on pixel centres (x.5), so the four sides of a box
// and the rim of a circle stay one sharp pixel wide instead of a grey smear of two.
constexpr qreal edge = 0.5;
constexpr qreal far = skinPictureSize - 0.5;
constexpr qreal centre = skinPictureSize / 2.0;
constexpr qreal boxRadius = 2.0;

QRectF outlineRect() {
    return QRectF(QPointF(edge, edge), QPointF(far, far));
}

void drawBox(QPainter &p, const QColor &line, const QColor &fill) {
    p.setPen(QPen(line, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(outlineRect(), boxRadius, boxRadius);
}

// The tick is drawn thick enough (1.75 px) to read as a mark, not as a hairline, at
// 13 px; round ends keep its two strokes from looking chipped once anti-aliased.
void drawTick(QPainter &p, const QColor &colour) {
    QPainterPath tick;
    tick.moveTo(3.3, 6.7);
    tick.lineTo(5.5, 8.9);
    tick.lineTo(9.8, 4.3);
    p.setPen(QPen(colour, 1.75, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
}

void drawRadio(QPainter &p, const QColor &line, bool chosen, const SkinPalette &palette) {
    const QPointF middle(centre, centre);
    const qreal rim = centre - edge;
    p.setPen(QPen(line, 1.0));
    p.setBrush(palette.background);
    p.drawEllipse(middle, rim, rim);
    if (chosen) {
        p.setPen(Qt::NoPen);
        p.setBrush(palette.accent);
        p.drawEllipse(middle, 3.0, 3.0);
    }
}

} // namespace

QString skinFileName(SkinPicture picture) {
    switch (picture) {
    case SkinPicture::CheckCleared:
        return QStringLiteral("0.jpg");
    case SkinPicture::CheckTicked:
        return QStringLiteral("1.jpg");
    case SkinPicture::CheckTickedAccent:
        return QStringLiteral("a1.jpg");
    case SkinPicture::RadioChosen:
        return QStringLiteral("t.jpg");
    case SkinPicture::RadioFree:
        return QStringLiteral("f.jpg");
    }
    return {};
}

QList<SkinPicture> allSkinPictures() {
    return {SkinPicture::CheckCleared, SkinPicture::CheckTicked, SkinPicture::CheckTickedAccent,
            SkinPicture::RadioChosen, SkinPicture::RadioFree};
}

QImage renderSkinPicture(SkinPicture picture, const SkinPalette &palette) {
    QImage image(skinPictureSize, skinPictureSize, QImage::Format_RGB32);
    image.fill(palette.background);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
    case SkinPicture::CheckCleared:
        drawBox(p, palette.border, palette.background);
        break;
    case SkinPicture::CheckTicked:
        drawBox(p, palette.accent, palette.background);
        drawTick(p, palette.accent);
        break;
    case SkinPicture::CheckTickedAccent:
        drawBox(p, palette.accent, palette.accent);
        drawTick(p, palette.background);
        break;
    case SkinPicture::RadioChosen:
        drawRadio(p, palette.accent, true, palette);
        break;
    case SkinPicture::RadioFree:
        drawRadio(p, palette.border, false, palette);
        break;
    }
    p.end();
    return image;
}

QString writeSkinPictures(const QString &directory, const SkinPalette &palette) {
    if (!QDir().mkpath(directory)) {
        return QStringLiteral("cannot create the directory %1").arg(directory);
    }
    const QDir dir(directory);
    for (const SkinPicture picture : allSkinPictures()) {
        const QString path = dir.filePath(skinFileName(picture));
        const QByteArray jpeg = encodeJpeg(renderSkinPicture(picture, palette), 95);
        if (jpeg.isEmpty()) {
            return QStringLiteral("cannot encode %1").arg(path);
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size() || !file.commit()) {
            return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        }
    }
    return {};
}
