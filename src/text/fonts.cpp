#include "fonts.h"

#include <QStringList>

namespace {

const QStringList &chineseSubstitutes() {
    static const QStringList names{QStringLiteral("Noto Serif CJK SC"),
                                   QStringLiteral("Noto Sans CJK SC"),
                                   QStringLiteral("WenQuanYi Zen Hei")};
    return names;
}

// Kerning off: the row widths were written for advances added one by one, and painting
// must match the measured widths. No hinting: advances stay the design values at any size.
QFont lineFont(const QString &family, int pixelSize) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont sansFont(int pixelSize) {
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

void installFontSubstitutions() {
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
    QFont::insertSubstitutions(QStringLiteral("新宋体"), chineseSubstitutes());
    QFont::insertSubstitutions(QStringLiteral("NSimSun"), chineseSubstitutes());
}

QFont englishLineFont() {
    return lineFont(QStringLiteral("Times New Roman"), 19);
}

QFont chineseLineFont() {
    return lineFont(QStringLiteral("新宋体"), 14);
}

QFont labelFont() {
    return sansFont(12);
}

QFont noteFont() {
    return sansFont(15);
}
