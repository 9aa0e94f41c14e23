#include "content/plaintext.h"
#include "content/subtitles.h"

#include "fuzzcheck.h"

#include <algorithm>
#include <cstdint>

namespace {

QString sorted(QString text) {
    std::sort(text.begin(), text.end());
    return text;
}

// The characters that carry a text, in no order: what white space and control characters
// leave.
QString ink(QStringView text) {
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!c.isSpace() && u >= 0x20 && !(u >= 0x7F && u <= 0x9F))
            out.append(c);
    }
    return sorted(out);
}

// The same of a whole text, which may start with a byte-order mark.
QString inked(QStringView text) {
    return ink(text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text);
}

bool cleanText(const QString &text) {
    return text == text.simplified() && !text.contains(u'*') && !text.contains(u'#');
}

void checkSentences(const PlainSplit &split) {
    FUZZ_CHECK(split.error.isEmpty() || split.sentences.empty());
    FUZZ_CHECK(!split.error.contains(u'\n') && !split.error.contains(u'\r'));
    for (const PlainSentence &s : split.sentences) {
        FUZZ_CHECK(!s.english.isEmpty() || !s.chinese.isEmpty());
        FUZZ_CHECK(cleanText(s.english) && cleanText(s.chinese));
    }
}

QString allInk(const PlainSplit &split) {
    QString all;
    for (const PlainSentence &s : split.sentences)
        all += s.english + s.chinese;
    return ink(all);
}

} // namespace

// Text bytes as a course text is read, split on their own, and the first half paired with
// the second half as its Chinese. A split keeps every character of the text that is not
// white space or a control character, only cut into sentences.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = decodeSubtitleText(bytes);
    const PlainSplit split = splitPlainText(text);
    checkSentences(split);
    if (split.error.isEmpty()) {
        FUZZ_CHECK(allInk(split) == inked(text));
    } else {
        FUZZ_CHECK(text.contains(u'*') || text.contains(u'#'));
    }

    const qsizetype half = text.size() / 2;
    const QStringView english = QStringView(text).first(half);
    const QStringView chinese = QStringView(text).sliced(half);
    const PlainSplit pair = pairPlainTexts(english, chinese);
    checkSentences(pair);
    if (pair.error.isEmpty()) {
        FUZZ_CHECK(!pair.sentences.empty());
        for (const PlainSentence &s : pair.sentences)
            FUZZ_CHECK(!s.english.isEmpty() && !s.chinese.isEmpty());
        FUZZ_CHECK(allInk(pair) == sorted(inked(english) + inked(chinese)));
    }
    return 0;
}
