#include "wrongword.h"

#include <QList>

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber();
}

// An apostrophe or hyphen joins the letters on both sides into one word.
bool isJoiner(QStringView text, qsizetype p) {
    const QChar c = text[p];
    const bool joiner = c == u'\'' || c == u'-' || c == u'\u2019';
    return joiner && p > 0 && p + 1 < text.size() && isWordChar(text[p - 1]) &&
           isWordChar(text[p + 1]);
}

bool inWord(QStringView text, qsizetype p) {
    return isWordChar(text[p]) || isJoiner(text, p);
}

struct Word {
    qsizetype start = 0, end = 0;
    QString letters; // its check letters, lower case
};

// The words of a text that hold check letters, in order.
QList<Word> lettersWords(QStringView text) {
    QList<Word> words;
    for (qsizetype p = 0; p < text.size();) {
        if (!inWord(text, p)) {
            ++p;
            continue;
        }
        Word word{p, p, {}};
        for (; p < text.size() && inWord(text, p); ++p) {
            if (isCheckLetter(text[p]))
                word.letters += lowerCheckLetter(text[p]);
        }
        word.end = p;
        if (!word.letters.isEmpty())
            words << word;
    }
    return words;
}

qsizetype commonPrefix(QStringView a, QStringView b) {
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

// The word of the sentence whose typed counterpart differs, comparing word by word, so that
// "thanks you" blames "thank" and not the "you" its surplus letter shifts into. Empty when the
// words cannot be paired: the learner ran words together, or typed past the last one.
QString wrongWordByWords(QStringView sentence, QStringView typing) {
    const QList<Word> said = lettersWords(sentence);
    const QList<Word> typed = lettersWords(typing);
    for (qsizetype i = 0; i < said.size(); ++i) {
        if (i >= typed.size() || typed[i].letters != said[i].letters) {
            QString rest; // this word and the ones after it, run together
            for (qsizetype j = i; j < said.size(); ++j)
                rest += said[j].letters;
            const qsizetype common = i < typed.size() ? commonPrefix(typed[i].letters, rest) : 0;
            const bool runTogether = common > said[i].letters.size();
            const bool pastTheEnd = i + 1 == said.size() && common == said[i].letters.size();
            if (runTogether || pastTheEnd)
                return {};
            return sentence.sliced(said[i].start, said[i].end - said[i].start).toString();
        }
    }
    return {};
}

} // namespace

QString wrongWord(QStringView sentence, const LetterCheck &check) {
    if (check.right)
        return {};
    if (QString word = wrongWordByWords(sentence, check.typing); !word.isEmpty())
        return word;
    // The scan stops on the letter that differs (the last letter it collected); when it ran
    // to the end of the typing, the next letter of the sentence is the one missing.
    const qsizetype letter =
        check.selectionLength == 1 ? check.typedLetters.size() - 1 : check.typedLetters.size();
    if (letter < 0 || letter >= check.targetLetters.size())
        return {};

    qsizetype seen = -1;
    qsizetype at = -1;
    for (qsizetype p = 0; p < sentence.size(); ++p) {
        if (isCheckLetter(sentence[p]) && ++seen == letter) {
            at = p;
            break;
        }
    }
    if (at < 0)
        return {};
    qsizetype start = at;
    while (start > 0 && inWord(sentence, start - 1))
        --start;
    qsizetype end = at + 1;
    while (end < sentence.size() && inWord(sentence, end))
        ++end;
    return sentence.sliced(start, end - start).toString();
}
