#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QStringView>
#include <memory>

// Glyph advances of one font, looked up once per character and then read from a table.
// Widths add the advances one by one, without kerning or shaping, which is how the row
// layout rules measure text. Advances are in pixels of the font as given (its pixel size
// at 96 dpi); a width in twips is round(pixels * 15).
class GlyphAdvanceTable {
public:
    explicit GlyphAdvanceTable(const QFont &font);

    // Advance of the code point at text[pos] (a surrogate pair counts as one character);
    // *length receives 1 or 2, the UTF-16 units it took.
    double advanceAt(QStringView text, qsizetype pos, int *length) const;
    double advance(char32_t codePoint) const;
    // Sum of the advances, in pixels. Line breaks count as nothing; a tab as a space.
    double widthPixels(QStringView text) const;
    // round(widthPixels * 15), saturated to the int range.
    int widthTwips(QStringView text) const;

    const QFont &font() const { return m_font; }

private:
    double measure(char32_t codePoint) const;

    QFont m_font;
    QFontMetricsF m_metrics;
    // One slot per BMP code point, filled on first use; negative = not looked up yet.
    mutable std::unique_ptr<float[]> m_bmp;
    mutable QHash<char32_t, double> m_astral;
};
