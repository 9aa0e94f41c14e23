#include "plaintext.h"

#include "charclass.h"

#include <QStringList>
#include <algorithm>

namespace {

bool isLower(QChar c) {
    return c >= u'a' && c <= u'z';
}

bool isLetter(QChar c) {
    return isLower(c) || (c >= u'A' && c <= u'Z');
}

// What may close a sentence after its full stop: quotes and brackets.
bool isCloser(QChar c) {
    return c == u'"' || c == u'\u201C' || c == u'\u201D' || c == u'\'' || c == u'\u2019' ||
           c == u')' || c == u']' || c == u'\u300D' || c == u'\u300F' || c == u'\uFF09';
}

QString cleanLine(QStringView line) {
    QString out;
    out.reserve(line.size());
    for (const QChar c : line) {
        if (c == u'\t') {
            out.append(u' ');
        } else if (!isControlCharacter(c)) {
            out.append(c);
        }
    }
    return out.simplified();
}

// Joins two pieces of one language: Chinese without a space between wide characters.
void append(QString &to, const QString &piece) {
    if (piece.isEmpty()) {
        return;
    }
    if (!to.isEmpty() && !(isWide(to.back()) && isWide(piece.front()))) {
        to.append(u' ');
    }
    to.append(piece);
}

// Words before a full stop that does not end a sentence (compared without case).
constexpr const char16_t *abbreviations[] = {
    u"mr", u"mrs", u"ms", u"dr", u"prof", u"st", u"jr", u"sr", u"mt", u"vs", u"e.g", u"i.e",
};

// Whether the full stop at dot ends the word before it as an abbreviation or an initial
// ("J. K. Rowling").
bool endsAbbreviation(QStringView text, qsizetype dot) {
    qsizetype begin = dot;
    while (begin > 0 && (isLetter(text[begin - 1]) || text[begin - 1] == u'.')) {
        --begin;
    }
    const QStringView word = text.sliced(begin, dot - begin);
    if (word.size() == 1 && isLetter(word[0])) {
        return true;
    }
    return std::any_of(std::begin(abbreviations), std::end(abbreviations),
                       [&](const char16_t *known) {
                           return word.compare(QStringView(known), Qt::CaseInsensitive) == 0;
                       });
}

// English running text cut after ". ", "? " and "! " (closing quotes and brackets go with the
// sentence), but not inside double quotes, not after an abbreviation or an initial, and not
// before a word that starts with a small letter.
QStringList splitEnglish(QStringView text) {
    // Straight quotes open and close by turns; curly ones say which they do.
    const auto afterQuote = [](bool inside, QChar c) {
        return c == u'\u201C' ? true : c == u'\u201D' ? false : c == u'"' ? !inside : inside;
    };
    QStringList sentences;
    qsizetype begin = 0;
    bool inside = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'.' && c != u'?' && c != u'!') {
            inside = afterQuote(inside, c);
            continue;
        }
        qsizetype end = i + 1;
        while (end < text.size() && (text[end] == u'.' || text[end] == u'?' || text[end] == u'!')) {
            ++end;
        }
        while (end < text.size() && isCloser(text[end])) {
            inside = afterQuote(inside, text[end]);
            ++end;
        }
        const qsizetype next = end + 1;
        const bool atBreak = end < text.size() && text[end] == u' ' && next < text.size();
        const bool cut = atBreak && !inside && !isLower(text[next]) &&
                         !(c == u'.' && end == i + 1 && endsAbbreviation(text, i));
        i = end - 1;
        if (cut) {
            sentences << text.sliced(begin, end - begin).toString();
            begin = next;
        }
    }
    if (begin < text.size()) {
        sentences << text.sliced(begin).toString();
    }
    return sentences;
}

bool endsChineseSentence(QChar c) {
    return c == u'\u3002' || c == u'\uFF01' || c == u'\uFF1F' || c == u'!' || c == u'?';
}

// Chinese text cut after 。！？ (and their closing quotes), wherever they stand.
QStringList splitChinese(QStringView text) {
    QStringList sentences;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!endsChineseSentence(text[i])) {
            continue;
        }
        qsizetype end = i + 1;
        while (end < text.size() && (endsChineseSentence(text[end]) || isCloser(text[end]))) {
            ++end;
        }
        const QString sentence = text.sliced(begin, end - begin).trimmed().toString();
        if (!sentence.isEmpty()) {
            sentences << sentence;
        }
        begin = end;
        i = end - 1;
    }
    const QString rest = text.sliced(begin).trimmed().toString();
    if (!rest.isEmpty()) {
        sentences << rest;
    }
    return sentences;
}

// A stretch of the text: an English line (with the lines that continue it) and the Chinese
// lines right after it, or Chinese lines after no English.
struct Unit {
    QString english;
    QString chinese;
};

struct Units {
    std::vector<Unit> units;
    QString error;
};

Units unitsOf(QStringView text) {
    Units result;
    bool lastWasText = false; // the line before was not blank
    const std::vector<QStringView> lines = splitLines(text);
    for (size_t index = 0; index < lines.size(); ++index) {
        const QString line = cleanLine(lines[index]);
        for (const QChar separator : {u'*', u'#'}) {
            if (line.contains(separator)) {
                result.error = QStringLiteral("line %1 holds \"%2\", which the lesson format "
                                              "uses to separate sentences")
                                   .arg(index + 1)
                                   .arg(separator);
                return result;
            }
        }
        if (line.isEmpty()) {
            lastWasText = false;
            continue;
        }
        std::vector<Unit> &units = result.units;
        if (hasIdeograph(line)) {
            // Right after an English line or its Chinese: that line's Chinese.
            if (lastWasText && !units.empty() && !units.back().english.isEmpty()) {
                append(units.back().chinese, line);
            } else {
                units.push_back({{}, line});
            }
        } else if (lastWasText && isLower(line[0]) && !units.empty() &&
                   !units.back().english.isEmpty() && units.back().chinese.isEmpty()) {
            append(units.back().english, line);
        } else {
            units.push_back({line, {}});
        }
        lastWasText = true;
    }
    return result;
}

// The sentences of a unit: its English cut at sentence ends, each with its share of the
// Chinese when that cuts into as many; else the unit whole.
void addSentences(const Unit &unit, std::vector<PlainSentence> &out) {
    if (unit.english.isEmpty()) {
        for (const QString &chinese : splitChinese(unit.chinese)) {
            out.push_back({{}, chinese});
        }
        return;
    }
    const QStringList english = splitEnglish(unit.english);
    if (english.size() == 1) {
        out.push_back({unit.english, unit.chinese});
        return;
    }
    if (unit.chinese.isEmpty()) {
        for (const QString &sentence : english) {
            out.push_back({sentence, {}});
        }
        return;
    }
    const QStringList chinese = splitChinese(unit.chinese);
    if (chinese.size() != english.size()) {
        out.push_back({unit.english, unit.chinese});
        return;
    }
    for (qsizetype i = 0; i < english.size(); ++i) {
        out.push_back({english[i], chinese[i]});
    }
}

QString noSentence(const char *which) {
    return QStringLiteral("the %1 text holds no sentence").arg(QLatin1StringView(which));
}

} // namespace

PlainSplit splitPlainText(QStringView text) {
    const Units units = unitsOf(text);
    if (!units.error.isEmpty()) {
        return {{}, units.error};
    }
    PlainSplit split;
    for (const Unit &unit : units.units) {
        addSentences(unit, split.sentences);
    }
    return split;
}

PlainSplit pairPlainTexts(QStringView english, QStringView chinese) {
    const Units englishUnits = unitsOf(english);
    if (!englishUnits.error.isEmpty()) {
        return {{}, QStringLiteral("English text: ") + englishUnits.error};
    }
    const Units chineseUnits = unitsOf(chinese);
    if (!chineseUnits.error.isEmpty()) {
        return {{}, QStringLiteral("Chinese text: ") + chineseUnits.error};
    }
    QStringList englishLines;
    QStringList englishSentences;
    for (const Unit &unit : englishUnits.units) {
        if (!unit.chinese.isEmpty()) {
            return {{},
                    QStringLiteral("the English text holds Chinese lines already; give "
                                   "either the two languages in one text or two texts")};
        }
        englishLines << unit.english;
        englishSentences << splitEnglish(unit.english);
    }
    // Every line of the Chinese text is Chinese here, ideographs or not ("OK!").
    QStringList chineseLines;
    QStringList chineseSentences;
    for (const QStringView line : splitLines(chinese)) {
        const QString clean = cleanLine(line);
        if (!clean.isEmpty()) {
            chineseLines << clean;
            chineseSentences << splitChinese(clean);
        }
    }
    if (englishLines.isEmpty()) {
        return {{}, noSentence("English")};
    }
    if (chineseLines.isEmpty()) {
        return {{}, noSentence("Chinese")};
    }
    const auto paired = [](const QStringList &e, const QStringList &c) {
        PlainSplit split;
        for (qsizetype i = 0; i < e.size(); ++i) {
            split.sentences.push_back({e[i], c[i]});
        }
        return split;
    };
    if (englishSentences.size() == chineseSentences.size()) {
        return paired(englishSentences, chineseSentences);
    }
    if (englishLines.size() == chineseLines.size()) {
        return paired(englishLines, chineseLines);
    }
    return {{},
            QStringLiteral("the English text gives %1 sentences in %2 lines, the Chinese text %3 "
                           "in %4")
                .arg(englishSentences.size())
                .arg(englishLines.size())
                .arg(chineseSentences.size())
                .arg(chineseLines.size())};
}
