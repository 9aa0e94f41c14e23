#include "richtext.h"

#include "files/filebytes.h"
#include "textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <vector>

// A minimal RTF reader: it keeps the document's plain text and ignores formatting.
//   {\rtf1\ansi\ansicpg936{\fonttbl{\f0\fnil\fcharset134 \'cb\'ce\'cc\'e5;}}\f0 a\\\'d3\'a2\par }
// gives "a\英\r\n".

namespace {

constexpr int defaultCodePage = 936;

// Turns runs of text bytes into characters by the document's code page. One converter
// serves the whole document: opening one per run would cost more than the run.
class CodePageDecoder {
public:
    CodePageDecoder() : m_decoder(gbkCodecName) {}

    // Code pages without a converter leave GBK, the content's own.
    void setCodePage(int codePage) {
        if (codePage == defaultCodePage) {
            return;
        }
        if (codePage == 65001) {
            m_decoder = QStringDecoder(QStringConverter::Utf8);
            return;
        }
        for (const char *prefix : {"windows-", "cp"}) {
            QStringDecoder decoder((QByteArray(prefix) + QByteArray::number(codePage)).constData());
            if (decoder.isValid()) {
                m_decoder = std::move(decoder);
                return;
            }
        }
    }

    QString decode(QByteArrayView bytes) {
        if (std::all_of(bytes.begin(), bytes.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            return QString::fromLatin1(bytes);
        }
        // The trailing '\n' completes nothing, so a dangling lead byte comes out as
        // U+FFFD instead of staying in the converter's state for the next run.
        QByteArray withSentinel(bytes.data(), bytes.size());
        withSentinel.append('\n');
        QString text = m_decoder(withSentinel);
        text.chop(1);
        return text;
    }

private:
    // GB18030 rather than "GBK": see textcodec.cpp.
    static constexpr const char *gbkCodecName = "GB18030";
    QStringDecoder m_decoder;
};

struct GroupState {
    bool skip = false;   // inside a destination whose text is not document text
    int unicodeSkip = 1; // \ucN: fallback characters that follow each \uN
    bool operator==(const GroupState &) const = default;
};

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Destinations whose content is not part of the plain text.
bool isSkippedDestination(QByteArrayView word) {
    static constexpr const char *skipped[] = {"fonttbl",    "colortbl",
                                              "stylesheet", "info",
                                              "pict",       "object",
                                              "header",     "headerl",
                                              "headerr",    "headerf",
                                              "footer",     "footerl",
                                              "footerr",    "footerf",
                                              "footnote",   "fldinst",
                                              "listtable",  "listoverridetable",
                                              "rsidtbl",    "generator",
                                              "xmlnstbl",   "filetbl",
                                              "revtbl",     "latentstyles",
                                              "themedata",  "datastore",
                                              "pntext",     "colorschememapping",
                                              "nonshppict", "bkmkstart",
                                              "bkmkend",    "private",
                                              "mmathPr",    "listtext"};
    return std::any_of(std::begin(skipped), std::end(skipped),
                       [word](const char *name) { return word == QByteArrayView(name); });
}

class RtfReader {
public:
    explicit RtfReader(QByteArrayView input) : m_in(input) {}

    QString read() {
        const qsizetype n = m_in.size();
        while (m_pos < n) {
            const char c = m_in[m_pos];
            if (c == '{') {
                ++m_pos;
                openGroup();
            } else if (c == '}') {
                ++m_pos;
                if (closeGroup()) {
                    break; // the document's outermost group has ended
                }
            } else if (c == '\\') {
                ++m_pos;
                readControl();
            } else if (c == '\r' || c == '\n') {
                ++m_pos; // line breaks in the source only lay out the document
            } else {
                ++m_pos;
                textByte(c);
            }
        }
        flushBytes();
        return withoutLoneSurrogates(m_out);
    }

private:
    // Depth can reach millions ("{{{{..."): the saved states are stored run-length
    // encoded, so memory grows with the number of state changes, not with the depth.
    void openGroup() {
        flushBytes();
        m_fallbackToSkip = 0;
        if (!m_saved.empty() && m_saved.back().state == m_state) {
            ++m_saved.back().count;
        } else {
            m_saved.push_back({m_state, 1});
        }
    }

    // True when the outermost group closed.
    bool closeGroup() {
        flushBytes();
        m_fallbackToSkip = 0;
        if (m_saved.empty()) {
            return true; // unbalanced "}": end of document
        }
        m_state = m_saved.back().state;
        if (--m_saved.back().count == 0) {
            m_saved.pop_back();
        }
        return m_saved.empty();
    }

    void textByte(char c) {
        if (c == '\0') {
            return;
        }
        if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip;
            return;
        }
        if (!m_state.skip) {
            m_bytes.append(c);
        }
    }

    void textChars(QStringView text) {
        if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip;
            return;
        }
        if (!m_state.skip) {
            flushBytes();
            m_out.append(text);
        }
    }

    void flushBytes() {
        if (!m_bytes.isEmpty()) {
            m_out.append(m_decoder.decode(m_bytes));
            m_bytes.clear();
        }
    }

    void readControl() {
        const qsizetype n = m_in.size();
        if (m_pos >= n) {
            return;
        }
        const char c = m_in[m_pos];
        if (isLetter(c)) {
            readControlWord();
            return;
        }
        ++m_pos;
        switch (c) {
        case '\'': {
            const int high = m_pos < n ? hexValue(m_in[m_pos]) : -1;
            const int low = m_pos + 1 < n ? hexValue(m_in[m_pos + 1]) : -1;
            if (high < 0 || low < 0) {
                return; // damaged escape: drop it
            }
            m_pos += 2;
            textByte(static_cast<char>(high * 16 + low));
            return;
        }
        case '\\':
        case '{':
        case '}':
            textByte(c);
            return;
        case '~':
            textChars(u"\u00A0");
            return;
        case '_':
            textChars(u"\u2011");
            return;
        case '-': // optional hyphen: not part of the text
            textChars({});
            return;
        case '*':
            m_state.skip = true; // a destination unknown readers skip
            return;
        case '\r':
        case '\n':
            textChars(u"\r\n"); // "\" before a line break is a paragraph end
            return;
        default:
            return;
        }
    }

    void readControlWord() {
        const qsizetype n = m_in.size();
        const qsizetype nameStart = m_pos;
        while (m_pos < n && isLetter(m_in[m_pos])) {
            ++m_pos;
        }
        const QByteArrayView word = m_in.sliced(nameStart, m_pos - nameStart);

        std::optional<long long> parameter;
        const bool negative = m_pos + 1 < n && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1]);
        if (negative) {
            ++m_pos;
        }
        if (m_pos < n && isDigit(m_in[m_pos])) {
            long long value = 0;
            constexpr long long limit = 1LL << 40; // far beyond any real parameter
            while (m_pos < n && isDigit(m_in[m_pos])) {
                value = std::min(limit, value * 10 + (m_in[m_pos] - '0'));
                ++m_pos;
            }
            parameter = negative ? -value : value;
        }
        if (m_pos < n && m_in[m_pos] == ' ') {
            ++m_pos; // the delimiting space belongs to the control word
        }
        controlWord(word, parameter);
    }

    void controlWord(QByteArrayView word, std::optional<long long> parameter) {
        if (word == "bin") {
            // Raw binary data follows; it may hold any byte, braces included.
            const long long length = std::max(0LL, parameter.value_or(0));
            m_pos += static_cast<qsizetype>(std::min<long long>(length, m_in.size() - m_pos));
            return;
        }
        if (m_state.skip) {
            return;
        }
        if (isSkippedDestination(word)) {
            flushBytes();
            m_state.skip = true;
            return;
        }
        if (word == "ansicpg" && parameter && !m_codePageSet) {
            // A document property: the header's is the one that counts.
            flushBytes();
            m_codePageSet = true;
            m_decoder.setCodePage(static_cast<int>(std::clamp(*parameter, 0LL, 1LL << 20)));
            return;
        }
        if (word == "uc") {
            m_state.unicodeSkip =
                static_cast<int>(std::clamp(parameter.value_or(1), 0LL, 1LL << 20));
            return;
        }
        if (word == "u" && parameter) {
            const long long value = *parameter < 0 ? *parameter + 65536 : *parameter;
            const char16_t unit =
                value >= 0 && value <= 0xFFFF ? static_cast<char16_t>(value) : u'\uFFFD';
            flushBytes();
            if (unit != 0) {
                m_out.append(QChar(unit));
            }
            m_fallbackToSkip = m_state.unicodeSkip;
            return;
        }
        if (word == "par" || word == "line") {
            textChars(u"\r\n");
        } else if (word == "tab") {
            textChars(u"\t");
        } else if (word == "emdash") {
            textChars(u"\u2014");
        } else if (word == "endash") {
            textChars(u"\u2013");
        } else if (word == "lquote") {
            textChars(u"\u2018");
        } else if (word == "rquote") {
            textChars(u"\u2019");
        } else if (word == "ldblquote") {
            textChars(u"\u201C");
        } else if (word == "rdblquote") {
            textChars(u"\u201D");
        } else if (word == "bullet") {
            textChars(u"\u2022");
        } else if (word == "emspace" || word == "enspace" || word == "qmspace") {
            textChars(u" ");
        } else if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip; // any other control word in a fallback counts as one
        }
    }

    static QString withoutLoneSurrogates(QString text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
            } else if (text[i].isSurrogate()) {
                text[i] = QChar(QChar::ReplacementCharacter);
            }
        }
        return text;
    }

    struct SavedState {
        GroupState state;
        size_t count;
    };

    QByteArrayView m_in;
    qsizetype m_pos = 0;
    CodePageDecoder m_decoder;
    bool m_codePageSet = false;
    GroupState m_state;
    std::vector<SavedState> m_saved;
    QByteArray m_bytes; // text bytes not yet decoded
    QString m_out;
    long long m_fallbackToSkip = 0;
};

} // namespace

bool looksLikeRichText(QByteArrayView bytes) {
    return bytes.startsWith("{\\rtf");
}

QString plainTextFromFileBytes(QByteArrayView bytes) {
    if (!looksLikeRichText(bytes)) {
        return decodeText(bytes);
    }
    return RtfReader(bytes).read();
}

QString readDataFile(const QString &path, qint64 maxBytes) {
    return plainTextFromFileBytes(readFileBytes(path, maxBytes).bytes);
}
