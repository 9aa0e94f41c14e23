#pragma once

#include <QChar>
#include <QStringView>
#include <algorithm>
#include <vector>

// How the course texts' characters and lines are told apart: subtitles and plain texts alike.

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

// The lines of a text, split at CR LF, CR or LF, without a leading byte-order mark; a line
// break at the very end opens no line.
inline std::vector<QStringView> splitLines(QStringView text) {
    if (text.startsWith(QChar(0xFEFF))) {
        text = text.mid(1);
    }
    std::vector<QStringView> lines;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n' || c == u'\r') {
            lines.push_back(text.mid(begin, i - begin));
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            begin = i + 1;
        }
    }
    if (begin < text.size()) {
        lines.push_back(text.mid(begin));
    }
    return lines;
}
