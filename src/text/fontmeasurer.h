#pragma once

#include "content/rowlayout.h"
#include "glyphadvancetable.h"

#include <QFont>

// The text measurer of the running program: one glyph table per row font. Create it once
// (after installFontSubstitutions()) and share it between the loader and the canvas, so the
// tables warm up once.
class FontMeasurer : public TextMeasurer {
public:
    FontMeasurer();
    FontMeasurer(const QFont &english, const QFont &chinese, const QFont &label);

    int widthTwips(QStringView text, LineFont font) const override;
    const GlyphAdvanceTable &table(LineFont font) const;

private:
    GlyphAdvanceTable m_english;
    GlyphAdvanceTable m_chinese;
    GlyphAdvanceTable m_label;
};
