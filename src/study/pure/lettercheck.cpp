#include "lettercheck.h"

QString checkLetters(QStringView text) {
    QString letters;
    letters.reserve(text.size());
    for (QChar c : text) {
        if (isCheckLetter(c))
            letters += lowerCheckLetter(c);
    }
    return letters;
}

LetterCheck checkTyping(QStringView sentence, QStringView typing) {
    LetterCheck check;
    check.typing = typing.toString();
    check.targetLetters = checkLetters(sentence);
    check.typedLetters.reserve(typing.size());

    const qsizetype n = typing.size();
    qsizetype stop = -1;
    for (qsizetype p = 0; p < n; ++p) {
        if (!isCheckLetter(typing[p]))
            continue; // a non-letter cannot make the letters so far differ
        check.typedLetters += lowerCheckLetter(typing[p]);
        const qsizetype at = check.typedLetters.size() - 1;
        if (at >= check.targetLetters.size() || check.typedLetters[at] != check.targetLetters[at]) {
            stop = p;
            break;
        }
    }

    if (stop >= 0) {
        check.selectionStart = int(stop);
        check.selectionLength = 1;
    } else {
        check.selectionStart = int(n);
        check.selectionLength = 0;
    }
    check.right = check.typedLetters == check.targetLetters;
    return check;
}
