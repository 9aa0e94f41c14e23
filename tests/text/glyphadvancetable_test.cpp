#include "text/boxtextwrap.h"
#include "text/fonts.h"
#include "text/glyphadvancetable.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class Fonts : public ::testing::Test {
protected:
    void SetUp() override { installFontSubstitutions(); }
};

TEST_F(Fonts, ContentFontsResolveToMetricCompatibleFamilies) {
    EXPECT_EQ(QFontInfo(englishLineFont()).family(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(QFontInfo(englishLineFont()).pixelSize(), 19);
    EXPECT_EQ(QFontInfo(chineseLineFont()).family(), QStringLiteral("Noto Serif CJK SC"));
    EXPECT_EQ(QFontInfo(chineseLineFont()).pixelSize(), 14);
    QFont nsimsun(QStringLiteral("NSimSun"));
    nsimsun.setPixelSize(14);
    EXPECT_EQ(QFontInfo(nsimsun).family(), QStringLiteral("Noto Serif CJK SC"));
}

TEST_F(Fonts, TableWidthIsTheUnkernedMetricsWidth) {
    struct Sample {
        QFont font;
        QString text;
    };
    // (Noto CJK shapes digits wider than their plain advances, so the Chinese sample has
    // none: the table deliberately adds plain advances.)
    const Sample samples[] = {
        {englishLineFont(), QStringLiteral("AVAWAY Ta To. WAVE, \"Yes,\" she said; it's 10:45.")},
        {englishLineFont(), QStringLiteral("Mixed 中文 and English (混合).")},
        {chineseLineFont(), QStringLiteral("早上好，你今天好吗？我很好，谢谢。")},
        {chineseLineFont(), QStringLiteral("《新概念英语》第一册：Excuse me!")},
    };
    for (const Sample &sample : samples) {
        GlyphAdvanceTable table(sample.font);
        QFont unkerned = sample.font;
        unkerned.setKerning(false);
        const QFontMetricsF metrics(unkerned);
        const double expected = metrics.horizontalAdvance(sample.text);
        EXPECT_NEAR(table.widthPixels(sample.text), expected, 0.01) << sample.text.toStdString();
        EXPECT_EQ(table.widthTwips(sample.text), int(std::round(expected * 15)))
            << sample.text.toStdString();
    }
}

TEST_F(Fonts, KernedMetricsWouldDisagree) {
    // The point of the table: with kerning, "AVAWAY" is narrower than its advances.
    QFont kerned = englishLineFont();
    kerned.setKerning(true);
    const QString text = QStringLiteral("AVAWAY");
    EXPECT_LT(QFontMetricsF(kerned).horizontalAdvance(text),
              GlyphAdvanceTable(englishLineFont()).widthPixels(text) - 1);
}

TEST_F(Fonts, SurrogatePairsMeasureAsOneCharacter) {
    GlyphAdvanceTable table(chineseLineFont());
    const QString pair = QStringLiteral("𠀀"); // U+20000, outside the BMP
    ASSERT_EQ(pair.size(), 2);
    const double expected = QFontMetricsF(chineseLineFont()).horizontalAdvance(pair);
    EXPECT_NEAR(table.widthPixels(pair), expected, 0.01);
    EXPECT_NEAR(table.widthPixels(pair + pair), 2 * expected, 0.01);
    int length = 0;
    EXPECT_NEAR(table.advanceAt(pair, 0, &length), expected, 0.01);
    EXPECT_EQ(length, 2);
    // A lone surrogate is measured on its own, and never reads past the end.
    EXPECT_GE(table.widthPixels(pair.left(1)), 0.0);
}

TEST_F(Fonts, BreaksAndTabs) {
    GlyphAdvanceTable table(englishLineFont());
    EXPECT_EQ(table.widthTwips(u"a\r\nb"), table.widthTwips(u"ab"));
    EXPECT_EQ(table.widthTwips(u"a\tb"), table.widthTwips(u"a b"));
    EXPECT_EQ(table.widthTwips(u""), 0);
}

// Wrapping inside a box uses the same table.
class BoxWrap : public Fonts {
protected:
    QStringList linesOf(const QString &text, int width, int maxLines, bool *elided = nullptr) {
        const BoxTextLines wrapped = wrapTextInBox(text, width, maxLines, *m_table);
        QStringList lines;
        for (const auto &line : wrapped.lines)
            lines << text.mid(line.start, line.length);
        if (elided)
            *elided = wrapped.elided;
        return lines;
    }
    int twips(const QString &text) const { return m_table->widthTwips(text); }

    void SetUp() override {
        Fonts::SetUp();
        m_table = std::make_unique<GlyphAdvanceTable>(englishLineFont());
    }
    std::unique_ptr<GlyphAdvanceTable> m_table;
};

TEST_F(BoxWrap, WordsWrapAtSpaces) {
    const QString text = QStringLiteral("one two three four");
    const QStringList lines = linesOf(text, twips(QStringLiteral("one two three")), 3);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("one two three "), QStringLiteral("four")}));
}

TEST_F(BoxWrap, TooManyWordLinesBreakAnywhere) {
    // Word by word this needs three lines; the box has two, so the text breaks mid-word.
    const QString text = QStringLiteral("aaaa bbbbbbbbbb cc");
    const int width = twips(QStringLiteral("aaaa bbbbb"));
    EXPECT_EQ(linesOf(text, width, 3).size(), 3);
    bool elided = true;
    const QStringList lines = linesOf(text, width, 2, &elided);
    EXPECT_FALSE(elided);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.join(QString()), text);
    for (const QString &line : lines)
        EXPECT_LE(twips(line.trimmed()), width + 1) << line.toStdString();
}

TEST_F(BoxWrap, TextThatCannotFitIsCutAndElided) {
    const QString text = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    bool elided = false;
    const int width = twips(QStringLiteral("abcdefgh"));
    const QStringList lines = linesOf(text, width, 2, &elided);
    EXPECT_TRUE(elided);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_LE(twips(lines[1] + u'…'), width + 1);
}

TEST_F(BoxWrap, LineBreaksAlwaysStartALine) {
    const QString text = QStringLiteral("one\r\ntwo\nthree");
    const QStringList lines = linesOf(text, 100000, 5);
    EXPECT_EQ(lines,
              (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}));
}

TEST_F(BoxWrap, ChineseBreaksBetweenCharacters) {
    GlyphAdvanceTable chinese(chineseLineFont());
    const QString text = QStringLiteral("我们明天早上八点在车站见面吧");
    const int width = chinese.widthTwips(QStringLiteral("我们明天早上"));
    const BoxTextLines wrapped = wrapTextInBox(text, width, 5, chinese);
    ASSERT_EQ(wrapped.lines.size(), 3u);
    EXPECT_EQ(wrapped.lines[0].length, 6);
}

} // namespace
