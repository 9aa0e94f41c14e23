#pragma once

#include <QChar>
#include <QStringView>
#include <algorithm>

// How the course texts' characters are told apart: subtitles and plain texts alike.

// C0 and C1 controls and DEL.
inline bool isControlCharacter(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

inline bool isIdeograph(char16_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF);
}

inline bool hasIdeograph(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return isIdeograph(c.unicode()); });
}

// Characters Chinese text sets without spaces between them: ideographs, CJK punctuation
// (U+3000-U+303F) and full-width forms (U+FF00-U+FFEF).
inline bool isWide(QChar c) {
    const char16_t u = c.unicode();
    return isIdeograph(u) || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF);
}
