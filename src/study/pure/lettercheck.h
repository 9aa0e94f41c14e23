#pragma once

// The typing check: what the learner typed against the English sentence, letter by letter,
// ignoring case and everything that is not a letter a to z.
//   sentence "Good morning."  typing "Good mornink"  ->  wrong, the final "k" selected

#include <QChar>
#include <QString>
#include <QStringView>

// A letter of the check: A-Z or a-z. Other characters whose lower-case form happens to be
// an ASCII letter (the Kelvin sign, the dotted capital I) are not letters: the content is
// GBK, where they do not exist, and a learner cannot type them by mistake for "k" or "i".
constexpr bool isCheckLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

// The lower-case form of a check letter; any other character unchanged.
constexpr QChar lowerCheckLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + (u'a' - u'A'))) : c;
}

// The letters of text, in order, in lower case.
QString checkLetters(QStringView text);

struct LetterCheck {
    QString targetLetters; // letters of the sentence (Text9)
    QString typedLetters;  // letters of the typing up to where the scan stopped (Text10)
    // The typing box's selection afterwards, in UTF-16 units of the typing: the wrong or
    // surplus letter (length 1), or the caret after the last character (length 0) when the
    // scan ran to the end.
    int selectionStart = 0;
    int selectionLength = 0;
    bool right = false; // typedLetters == targetLetters; an incomplete typing is wrong
    QString typing;     // what was checked, as typed

    bool operator==(const LetterCheck &) const = default;
};

// Scans the typing from the first character, collecting its letters, and stops at the first
// letter that differs from the sentence's letter at the same place (or has no counterpart
// because the sentence has no more letters).
LetterCheck checkTyping(QStringView sentence, QStringView typing);
