#include "wrongword.h"

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

} // namespace

QString wrongWord(QStringView sentence, const LetterCheck &check) {
    if (check.right)
        return {};
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
