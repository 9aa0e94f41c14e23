#include "content/rowlayout.h"
#include "support/fakemeasurer.h"

#include <gtest/gtest.h>

namespace {

QString lessonText(int count, const QString &english = QStringLiteral("Hello."),
                   const QString &chinese = QStringLiteral("你好。")) {
    QString text = QStringLiteral("*");
    for (int i = 0; i < count; ++i)
        text += english + u'#' + chinese + QStringLiteral("#1.0#2.0#*");
    return text;
}

RowLayout layOut(const QString &text, const TextMeasurer &measurer,
                 Program program = Program::Orvessa) {
    return layoutRows(SentenceTable::fromText(text), RowTemplate::forProgram(program), measurer);
}

struct WrapCase {
    const char *name;
    int width;
    int expectLines;
    int expectWidth;
};

class WrapEstimate : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapEstimate, LinesAndBox) {
    const WrapCase c = GetParam();
    FakeMeasurer measurer;
    measurer.widths.insert(QStringLiteral("text"), c.width);
    const WrappedLine line = estimateWrap(u"text", LineFont::English, 315, 7360, measurer);
    EXPECT_EQ(line.lines, c.expectLines);
    EXPECT_EQ(line.width, c.expectWidth);
    EXPECT_EQ(line.height, c.expectLines * 315);
}

INSTANTIATE_TEST_SUITE_P(RowLayout, WrapEstimate,
                         ::testing::Values(WrapCase{"empty", 0, 1, 0},
                                           WrapCase{"narrow", 525, 1, 525},
                                           WrapCase{"exactlyMaxWidth", 7360, 1, 7360},
                                           WrapCase{"oneTwipWider", 7361, 2, 7360},
                                           WrapCase{"twiceMaxWidth", 14720, 3, 7360},
                                           WrapCase{"justUnderTwice", 14719, 2, 7360}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(RowLayout, LineBreaksInsideTextStartNewLines) {
    FakeMeasurer measurer;
    measurer.perChar = 1000;
    // Two short paragraphs: two lines, as wide as the wider one.
    WrappedLine line = estimateWrap(u"abc\r\nab", LineFont::Chinese, 210, 7360, measurer);
    EXPECT_EQ(line.lines, 2);
    EXPECT_EQ(line.width, 3000);
    EXPECT_EQ(line.height, 420);
    // A wrapping paragraph and a short one: 2 + 1 lines at maxWidth.
    line = estimateWrap(u"abcdefgh\nab", LineFont::Chinese, 210, 7360, measurer);
    EXPECT_EQ(line.lines, 3);
    EXPECT_EQ(line.width, 7360);
}

TEST(RowLayout, FirstRowsFollowTheTemplate) {
    FakeMeasurer measurer;
    const RowLayout layout = layOut(lessonText(2), measurer);
    ASSERT_EQ(layout.rows.size(), 2u);
    const SentenceRow &r1 = layout.rows[0];

    EXPECT_EQ(r1.Label5, QStringLiteral("Hello.#你好。#1.0#2.0#"));
    EXPECT_EQ(r1.Label6.text, QStringLiteral("Hello."));
    EXPECT_EQ(r1.Label6.box, (TwipRect{630, 240, 600, 315}));
    EXPECT_TRUE(r1.Label6.visible);
    EXPECT_EQ(r1.Label18.box, (TwipRect{600, 140, 7360, 515}));
    EXPECT_EQ(r1.Label12.text(), QStringLiteral("1."));
    EXPECT_EQ(r1.Label12.box, (TwipRect{285, 240, 200, 315}));
    EXPECT_EQ(r1.Line3.x1, 630);
    EXPECT_EQ(r1.Line3.x2, 1230);
    EXPECT_EQ(r1.Line3.y, 240 + 315 + 30);
    EXPECT_FALSE(r1.Line3.visible);
    EXPECT_EQ(r1.Image2.box.top, 240);
    EXPECT_FALSE(r1.Image2.visible);
    EXPECT_EQ(r1.Label8.box, (TwipRect{630, 645, 300, 210}));
    EXPECT_EQ(r1.Label17.box, (TwipRect{600, 555, 7360, 480}));
    EXPECT_EQ(r1.Label6.colour, (RgbColour{0, 0, 0}));

    const SentenceRow &r2 = layout.rows[1];
    EXPECT_EQ(r2.Label6.box.top, 645 + 210 + 90);
    EXPECT_EQ(layout.canvasHeight, r2.Label8.box.bottom() + 130);
}

TEST(RowLayout, WrappedEnglishPushesTheChineseLineDown) {
    FakeMeasurer measurer;
    const QString wide = QStringLiteral("wide");
    measurer.widths.insert(wide, 7361);
    const RowLayout layout = layOut(lessonText(1, wide), measurer);
    const SentenceRow &row = layout.rows[0];
    EXPECT_EQ(row.Label6.box, (TwipRect{630, 240, 7360, 630}));
    EXPECT_EQ(row.Label6.lines, 2);
    EXPECT_EQ(row.Label18.box.height, 830);
    EXPECT_EQ(row.Line3.x2, 630 + 7360);
    EXPECT_EQ(row.Label8.box.top, 240 + 630 + 90);
    EXPECT_EQ(row.Label17.box.top, 240 + 630);
}

TEST(RowLayout, NumbersFromTenMoveLeftAndLongOnesStayClearOfTheText) {
    FakeMeasurer measurer;
    const RowLayout layout = layOut(lessonText(120), measurer);
    EXPECT_EQ(layout.rows[8].Label12.box.left, 285);
    EXPECT_EQ(layout.rows[8].Label12.text(), QStringLiteral("9."));
    EXPECT_EQ(layout.rows[9].Label12.box.left, 165);
    EXPECT_EQ(layout.rows[9].Label12.text(), QStringLiteral("10."));
    EXPECT_EQ(layout.rows[9].Label12.box.width, 300);
    // "100." measures 400 twips from 165: it would reach 565, fine; make it wider.
    measurer.widths.insert(QStringLiteral("100."), 900);
    const RowLayout wide = layOut(lessonText(120), measurer);
    const TwipRect &box = wide.rows[99].Label12.box;
    EXPECT_EQ(box.left, 165);
    EXPECT_EQ(box.right(), 630 - 60);
}

TEST(RowLayout, MiniUsesWiderGapsAndDropsThePlayIcon) {
    FakeMeasurer measurer;
    const RowLayout layout = layOut(lessonText(2), measurer, Program::Mini);
    const SentenceRow &r1 = layout.rows[0];
    EXPECT_EQ(r1.Label6.box.top, -60 + 210 + 115);
    EXPECT_EQ(r1.Image2.box.top, r1.Label6.box.top + 30);
    EXPECT_EQ(r1.Label8.box.top, r1.Label6.box.bottom() + 115);
    EXPECT_EQ(layout.rows[1].Label6.box.top, r1.Label8.box.bottom() + 115);
}

TEST(RowLayout, NoRowsKeepTheDesignCanvas) {
    FakeMeasurer measurer;
    const RowLayout layout = layOut(QString(), measurer);
    EXPECT_TRUE(layout.rows.empty());
    EXPECT_EQ(layout.canvasHeight, 9255);
}

TEST(RowLayout, HugeWidthsSaturateInsteadOfOverflowing) {
    FakeMeasurer measurer;
    const QString huge = QStringLiteral("huge");
    measurer.widths.insert(huge, std::numeric_limits<int>::max());
    const RowLayout layout = layOut(lessonText(300, huge, huge), measurer);
    ASSERT_EQ(layout.rows.size(), 300u);
    int previousTop = std::numeric_limits<int>::min();
    for (const SentenceRow &row : layout.rows) {
        EXPECT_GE(row.Label6.box.top, previousTop);
        EXPECT_GE(row.Label6.box.height, 315);
        EXPECT_LE(qint64(row.Label8.box.bottom()), 2 * qint64(maxCanvasTwips));
        previousTop = row.Label6.box.top;
    }
    EXPECT_LE(layout.canvasHeight, maxCanvasTwips);
    EXPECT_GT(layout.canvasHeight, 0);
}

struct HitCase {
    const char *name;
    int x;
    int y;
    RowHit expected;
};

class RowHitTest : public ::testing::TestWithParam<HitCase> {};

// Row 1: English 240..555, Chinese 645..855; strips Label18 140..655, Label17 555..1035.
// Row 2: English 945..1260, Label18 845..1360.
TEST_P(RowHitTest, FindsTheTopmostElement) {
    FakeMeasurer measurer;
    RowLayout layout = layOut(lessonText(3), measurer);
    for (SentenceRow &row : layout.rows) {
        row.Image2.visible = true; // as in recall English
        row.Label12.visible = false;
    }
    // Row 3's click strips are off, as a study mode would switch them.
    layout.rows[2].Label17.visible = false;
    layout.rows[2].Label18.visible = false;
    const HitCase c = GetParam();
    EXPECT_EQ(hitTestRows(layout.rows, c.x, c.y), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    RowLayout, RowHitTest,
    ::testing::Values(
        HitCase{"aboveEverything", 700, 0, RowHit{}},
        HitCase{"englishStripOverEnglishLine", 700, 300, RowHit{1, RowElement::EnglishClickArea}},
        HitCase{"playIcon", 400, 300, RowHit{1, RowElement::PlayIcon}},
        HitCase{"leftMargin", 100, 300, RowHit{}},
        HitCase{"chineseStripOverChineseLine", 700, 700, RowHit{1, RowElement::ChineseClickArea}},
        // Row 2's English strip (from 845) lies above row 1's Chinese strip (to 1035).
        HitCase{"laterRowWins", 700, 900, RowHit{2, RowElement::EnglishClickArea}},
        HitCase{"englishLineWithoutStrips", 700, 1900, RowHit{3, RowElement::EnglishLine}},
        HitCase{"chineseLineWithoutStrips", 700, 2100, RowHit{3, RowElement::ChineseLine}},
        HitCase{"rightOfAShortLine", 5000, 1900, RowHit{}},
        HitCase{"belowTheLastRow", 700, 9000, RowHit{}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RowLayout, HiddenColourStillTakesClicksButInvisibleElementsDoNot) {
    FakeMeasurer measurer;
    RowLayout layout = layOut(lessonText(1), measurer);
    SentenceRow &row = layout.rows[0];
    row.Label17.visible = false;
    row.Label18.visible = false;
    row.Label8.colour = RowTemplate().hiddenColour(true);
    EXPECT_EQ(hitTestRows(layout.rows, 700, 700), (RowHit{1, RowElement::ChineseLine}));
    row.Label8.visible = false;
    EXPECT_EQ(hitTestRows(layout.rows, 700, 700), RowHit{});
}

TEST(RowLayout, BandSearchMatchesAScanOverAllRows) {
    FakeMeasurer measurer;
    const RowLayout layout = layOut(lessonText(32767), measurer);
    ASSERT_EQ(layout.rows.size(), 32767u);
    for (const int top : {-5000, 0, 240, 1000000, 12345678, layout.canvasHeight - 100}) {
        const int bottom = top + 5818;
        int first = -1;
        int last = -1;
        for (int i = 0; i < int(layout.rows.size()); ++i) {
            const SentenceRow &row = layout.rows[size_t(i)];
            if (rowExtentBottom(row) > top && rowExtentTop(row) < bottom) {
                if (first < 0)
                    first = i;
                last = i + 1;
            }
        }
        const auto band = rowsInBand(layout.rows, top, bottom);
        if (first < 0) {
            EXPECT_EQ(band.first, band.second) << top;
        } else {
            EXPECT_EQ(band, std::make_pair(first, last)) << top;
        }
    }
}

} // namespace
