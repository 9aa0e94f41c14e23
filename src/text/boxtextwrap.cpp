#include "boxtextwrap.h"

#include <QTextBoundaryFinder>

namespace {

using Line = BoxTextLines::Line;

// Tolerates the rounding of a measured width to whole twips.
constexpr double widthSlack = 1.0;

bool isBreak(QChar c) {
    return c == u'\n' || c == u'\r';
}

// Greedy breaking of one paragraph [begin, end) of text. breakable[i - begin] says whether
// a line may start at i; an overlong piece without such a place breaks before the character
// that overflows. Appends at most limit lines; returns false if it needed more.
bool breakParagraph(QStringView text, qsizetype begin, qsizetype end,
                    const std::vector<bool> *breakable, double width,
                    const GlyphAdvanceTable &table, std::vector<Line> &out, size_t limit) {
    qsizetype lineStart = begin;
    double lineWidth = 0;
    qsizetype lastBreak = -1; // latest allowed break after lineStart
    double widthAtBreak = 0;  // width of [lineStart, lastBreak)
    for (qsizetype i = begin; i < end;) {
        int length = 1;
        const double advance = table.advanceAt(text, i, &length) * 15.0;
        if (i > lineStart && (!breakable || (*breakable)[size_t(i - begin)])) {
            lastBreak = i;
            widthAtBreak = lineWidth;
        }
        const bool space = text[i].isSpace();
        if (!space && i > lineStart && lineWidth + advance > width + widthSlack) {
            qsizetype cut = i;
            if (breakable && lastBreak > lineStart) {
                cut = lastBreak;
                lineWidth -= widthAtBreak;
            } else {
                lineWidth = 0;
            }
            if (out.size() >= limit)
                return false;
            out.push_back({lineStart, cut - lineStart});
            lineStart = cut;
            lastBreak = -1;
            widthAtBreak = 0;
        }
        // Spaces take room but never push a line over: a space at the end of a line hangs.
        lineWidth += advance;
        i += length;
    }
    if (out.size() >= limit)
        return false;
    out.push_back({lineStart, end - lineStart});
    return true;
}

std::vector<bool> wordBreaks(QStringView paragraph) {
    std::vector<bool> breakable(size_t(paragraph.size()) + 1, false);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, paragraph);
    for (qsizetype pos = finder.toNextBoundary(); pos > 0; pos = finder.toNextBoundary())
        breakable[size_t(pos)] = true;
    return breakable;
}

bool breakAll(QStringView text, double width, size_t limit, bool words,
              const GlyphAdvanceTable &table, std::vector<Line> &out) {
    out.clear();
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && !isBreak(text[i]))
            continue;
        std::vector<bool> breakable;
        if (words)
            breakable = wordBreaks(text.mid(start, i - start));
        if (!breakParagraph(text, start, i, words ? &breakable : nullptr, width, table, out, limit))
            return false;
        if (i < n && text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    return true;
}

} // namespace

BoxTextLines wrapTextInBox(QStringView text, int widthTwips, int maxLines,
                           const GlyphAdvanceTable &table) {
    BoxTextLines result;
    if (maxLines <= 0)
        return result;
    const double width = widthTwips;
    const size_t limit = size_t(maxLines);
    if (breakAll(text, width, limit, true, table, result.lines))
        return result;
    if (breakAll(text, width, limit, false, table, result.lines))
        return result;
    // Even breaking anywhere needs more lines: keep what fits and mark the cut.
    result.lines.resize(limit);
    result.elided = true;
    Line &last = result.lines.back();
    const double ellipsis = table.advance(U'…') * 15.0;
    while (last.length > 0 &&
           table.widthPixels(text.mid(last.start, last.length)) * 15.0 + ellipsis >
               width + widthSlack)
        --last.length;
    if (last.length > 0 && text[last.start + last.length - 1].isHighSurrogate())
        --last.length;
    return result;
}
