#include "fontmeasurer.h"

#include "fonts.h"

FontMeasurer::FontMeasurer() : FontMeasurer(englishLineFont(), chineseLineFont(), labelFont()) {}

FontMeasurer::FontMeasurer(const QFont &english, const QFont &chinese, const QFont &label)
    : m_english(english), m_chinese(chinese), m_label(label) {}

const GlyphAdvanceTable &FontMeasurer::table(LineFont font) const {
    switch (font) {
    case LineFont::English:
        return m_english;
    case LineFont::Chinese:
        return m_chinese;
    case LineFont::Label:
        break;
    }
    return m_label;
}

int FontMeasurer::widthTwips(QStringView text, LineFont font) const {
    return table(font).widthTwips(text);
}
