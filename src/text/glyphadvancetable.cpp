#include "glyphadvancetable.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr int bmpSize = 0x10000;
}

GlyphAdvanceTable::GlyphAdvanceTable(const QFont &font)
    : m_font(font), m_metrics(font), m_bmp(new float[bmpSize]) {
    std::fill_n(m_bmp.get(), bmpSize, -1.0f);
}

double GlyphAdvanceTable::measure(char32_t codePoint) const {
    if (codePoint == U'\n' || codePoint == U'\r')
        return 0.0;
    if (codePoint == U'\t')
        codePoint = U' ';
    if (codePoint < bmpSize)
        return std::max(0.0, m_metrics.horizontalAdvance(QChar(char16_t(codePoint))));
    const char32_t units[1] = {codePoint};
    return std::max(0.0, m_metrics.horizontalAdvance(QString::fromUcs4(units, 1)));
}

double GlyphAdvanceTable::advance(char32_t codePoint) const {
    if (codePoint < bmpSize) {
        float &slot = m_bmp[codePoint];
        if (slot < 0)
            slot = float(measure(codePoint));
        return slot;
    }
    const auto found = m_astral.constFind(codePoint);
    if (found != m_astral.constEnd())
        return *found;
    const double width = measure(codePoint);
    m_astral.insert(codePoint, width);
    return width;
}

double GlyphAdvanceTable::advanceAt(QStringView text, qsizetype pos, int *length) const {
    const QChar c = text[pos];
    if (c.isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate()) {
        *length = 2;
        return advance(QChar::surrogateToUcs4(c, text[pos + 1]));
    }
    *length = 1;
    return advance(c.unicode());
}

double GlyphAdvanceTable::widthPixels(QStringView text) const {
    double sum = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t u = text[i].unicode();
        // The common case: a BMP character already in the table.
        if (!QChar::isSurrogate(u)) {
            const float cached = m_bmp[u];
            sum += cached >= 0 ? double(cached) : advance(u);
            ++i;
            continue;
        }
        int length = 1;
        sum += advanceAt(text, i, &length);
        i += length;
    }
    return sum;
}

int GlyphAdvanceTable::widthTwips(QStringView text) const {
    const double twips = std::round(widthPixels(text) * 15.0);
    return int(std::min(twips, double(std::numeric_limits<int>::max())));
}
