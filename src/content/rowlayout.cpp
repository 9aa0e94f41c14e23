#include "rowlayout.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

int saturate(qint64 twips) {
    return static_cast<int>(std::clamp<qint64>(twips, -maxCanvasTwips, maxCanvasTwips));
}

bool isBreak(QChar c) {
    return c == u'\n' || c == u'\r';
}

// Calls f(paragraph) for each piece between line breaks; "\r\n" is one break.
template <typename F> void forEachParagraph(QStringView text, F &&f) {
    // Almost every line has no break: find that out with the fast character search.
    if (!text.contains(u'\n') && !text.contains(u'\r')) {
        f(text);
        return;
    }
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (!isBreak(text[i]))
            continue;
        f(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    f(text.mid(start));
}

// Width of "i." without building a string for it.
int numberWidth(int i, const TextMeasurer &measurer) {
    char digits[16];
    char *end = std::to_chars(digits, digits + sizeof digits - 1, i).ptr;
    *end++ = '.';
    char16_t text[16];
    const qsizetype length = end - digits;
    std::copy(digits, end, text);
    return measurer.widthTwips(QStringView(text, length), LineFont::English);
}

RowText makeLine(const QString &text, LineFont font, const TwipRect &tpl, int top, int maxWidth,
                 const TextMeasurer &measurer, RgbColour colour) {
    const WrappedLine wrap = estimateWrap(text, font, tpl.height, maxWidth, measurer);
    RowText line;
    line.text = text; // shares the table's string
    line.box = TwipRect{tpl.left, top, wrap.width, wrap.height};
    line.lines = wrap.lines;
    line.colour = colour;
    line.visible = true;
    return line;
}

} // namespace

RowTemplate RowTemplate::forProgram(Program program) {
    RowTemplate tpl;
    if (program == Program::Mini) {
        tpl.rowGap = 115;
        tpl.playIconDrop = 30;
    }
    return tpl;
}

WrappedLine estimateWrap(QStringView text, LineFont font, int oneLineHeight, int maxWidth,
                         const TextMeasurer &measurer) {
    qint64 lines = 0;
    int widest = 0;
    bool wrapped = false;
    int paragraphs = 0;
    forEachParagraph(text, [&](QStringView paragraph) {
        ++paragraphs;
        const int width = std::max(0, measurer.widthTwips(paragraph, font));
        if (maxWidth > 0 && width > maxWidth) {
            wrapped = true;
            lines += width / maxWidth + 1;
        } else {
            lines += 1;
            widest = std::max(widest, width);
        }
    });
    WrappedLine result;
    if (paragraphs == 1 && !wrapped) {
        result.width = widest;
        result.height = oneLineHeight;
        result.lines = 1;
        return result;
    }
    const qint64 maxLines = oneLineHeight > 0 ? maxCanvasTwips / oneLineHeight : maxCanvasTwips;
    lines = std::min(lines, maxLines);
    result.width = wrapped ? maxWidth : widest;
    result.lines = static_cast<int>(lines);
    result.height = saturate(lines * oneLineHeight);
    return result;
}

RowLayout layoutRows(const SentenceTable &table, const RowTemplate &tpl,
                     const TextMeasurer &measurer) {
    RowLayout layout;
    layout.canvasHeight = layoutRowsInto(layout.rows, table, tpl, measurer);
    return layout;
}

int layoutRowsInto(std::vector<SentenceRow> &rows, const SentenceTable &table,
                   const RowTemplate &tpl, const TextMeasurer &measurer) {
    const int count = table.count();
    rows.clear();
    rows.reserve(static_cast<size_t>(std::max(0, count)));
    const int maxWidth = tpl.maxWidth();
    const int gap = tpl.rowGap;
    const int numberRightLimit = tpl.english.left - tpl.numberClearance;

    qint64 previousChineseBottom = qint64(tpl.chinese.top) + tpl.chinese.height;
    for (int i = 1; i <= count; ++i) {
        const SentenceEntry &entry = table.entry(i);
        SentenceRow &row = rows.emplace_back();

        row.Label5 = entry.record;

        const int englishTop = saturate(previousChineseBottom + gap);
        row.Label6 = makeLine(entry.english, LineFont::English, tpl.english, englishTop, maxWidth,
                              measurer, tpl.englishText);
        const TwipRect &en = row.Label6.box;
        const qint64 englishBottom = qint64(en.top) + en.height;

        row.Label18.box = TwipRect{tpl.englishArea.left, saturate(qint64(en.top) - 100), maxWidth,
                                   saturate(qint64(en.height) + 200)};
        row.Label18.visible = true;

        row.Label12.number = i;
        const int numberLeft = i > 9 ? tpl.number.left - tpl.numberShiftFrom10 : tpl.number.left;
        const int naturalWidth = numberWidth(i, measurer);
        row.Label12.box =
            TwipRect{numberLeft, en.top,
                     std::clamp(naturalWidth, 0, std::max(0, numberRightLimit - numberLeft)),
                     tpl.number.height};
        row.Label12.visible = true;

        row.Line3 = RowUnderline{en.left, en.right(), saturate(englishBottom + 30), false};

        row.Image2.box = TwipRect{tpl.playIcon.left, saturate(qint64(en.top) + tpl.playIconDrop),
                                  tpl.playIcon.width, tpl.playIcon.height};
        row.Image2.visible = false;

        row.Label8 = makeLine(entry.chinese, LineFont::Chinese, tpl.chinese,
                              saturate(englishBottom + gap), maxWidth, measurer, tpl.chineseText);
        const TwipRect &cn = row.Label8.box;

        row.Label17.box = TwipRect{tpl.chineseArea.left, saturate(englishBottom), maxWidth,
                                   saturate(qint64(cn.height) + 270)};
        row.Label17.visible = true;

        previousChineseBottom = qint64(cn.top) + cn.height;
    }
    return count > 0 ? saturate(previousChineseBottom + 130) : tpl.designCanvasHeight;
}

int rowExtentTop(const SentenceRow &row) {
    return std::min({row.Label18.box.top, row.Label6.box.top, row.Label12.box.top,
                     row.Image2.box.top, row.Label8.box.top, row.Label17.box.top});
}

int rowExtentBottom(const SentenceRow &row) {
    return std::max({row.Label18.box.bottom(), row.Label6.box.bottom(), row.Label12.box.bottom(),
                     row.Image2.box.bottom(), row.Label8.box.bottom(), row.Label17.box.bottom(),
                     row.Line3.y + 1});
}

std::pair<int, int> rowsInBand(const std::vector<SentenceRow> &rows, int top, int bottom) {
    const auto first = std::partition_point(rows.begin(), rows.end(), [top](const SentenceRow &r) {
        return rowExtentBottom(r) <= top;
    });
    const auto last = std::partition_point(
        first, rows.end(), [bottom](const SentenceRow &r) { return rowExtentTop(r) < bottom; });
    return {static_cast<int>(first - rows.begin()), static_cast<int>(last - rows.begin())};
}

RowHit hitTestRows(const std::vector<SentenceRow> &rows, int x, int y) {
    const auto [first, last] = rowsInBand(rows, y, y + 1);
    for (int index = last - 1; index >= first; --index) {
        const SentenceRow &row = rows[static_cast<size_t>(index)];
        const int number = index + 1;
        if (row.Label17.visible && row.Label17.box.contains(x, y))
            return {number, RowElement::ChineseClickArea};
        if (row.Label8.visible && row.Label8.box.contains(x, y))
            return {number, RowElement::ChineseLine};
        if (row.Image2.visible && row.Image2.box.contains(x, y))
            return {number, RowElement::PlayIcon};
        if (row.Label12.visible && row.Label12.box.contains(x, y))
            return {number, RowElement::Number};
        if (row.Label18.visible && row.Label18.box.contains(x, y))
            return {number, RowElement::EnglishClickArea};
        if (row.Label6.visible && row.Label6.box.contains(x, y))
            return {number, RowElement::EnglishLine};
    }
    return {};
}

void paintRowLines(std::vector<SentenceRow> &rows, const RowTemplate &tpl, bool englishShown,
                   RowCursor englishCursor, bool chineseShown, RowCursor chineseCursor) {
    const RgbColour english = englishShown ? tpl.shownColour(false) : tpl.hiddenColour(false);
    const RgbColour chinese = chineseShown ? tpl.shownColour(true) : tpl.hiddenColour(true);
    for (SentenceRow &row : rows) {
        row.Label6.colour = english;
        row.Label8.colour = chinese;
        row.Label6.cursor = englishCursor;
        row.Label8.cursor = chineseCursor;
    }
}
