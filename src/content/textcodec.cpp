#include "textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// ICU's GB18030 converter reports invalid bytes as U+FFFD and never swallows an ASCII
// byte that follows a broken lead byte, so "*" and "#" survive damaged text. ("GBK"
// would map some invalid bytes to private-use characters without reporting them.)
constexpr const char *gbkCodecName = "GB18030";

bool isAscii(QByteArrayView bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

struct GbkResult {
    QString text;
    bool hadError = false;
};

GbkResult decodeGbkChecked(QByteArrayView bytes) {
    // A stateful decoder holds back an incomplete sequence at the end of its input and
    // the stateless one drops it silently; a trailing '\n', which can never complete a
    // multi-byte sequence, forces the dangling bytes out as U+FFFD.
    QStringDecoder decoder(gbkCodecName);
    QByteArray withSentinel;
    withSentinel.reserve(bytes.size() + 1);
    withSentinel.append(bytes.data(), bytes.size());
    withSentinel.append('\n');
    GbkResult result;
    result.text = decoder(withSentinel);
    result.text.chop(1);
    result.hadError = decoder.hasError() || !decoder.isValid();
    return result;
}

struct Utf8Result {
    QString text;
    bool hadError = false;
};

Utf8Result decodeUtf8Checked(QByteArrayView bytes) {
    // Stateless: a truncated sequence at the end becomes U+FFFD. The default flags drop
    // a leading byte-order mark.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    Utf8Result result;
    result.text = decoder(bytes);
    result.hadError = decoder.hasError();
    return result;
}

// Whether GBK bytes (already known to be valid) use a double-byte code outside the
// GB2312 area (both bytes 0xA1..0xFE) or a four-byte GB18030 sequence.
bool usesCodesBeyondGb2312(QByteArrayView bytes) {
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (i + 1 >= bytes.size()) {
            return true;
        }
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        if (lead < 0xA1 || trail < 0xA1) {
            return true; // includes the four-byte form, whose second byte is '0'..'9'
        }
        i += 2;
    }
    return false;
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

DecodedText decodeTextDetailed(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        Utf8Result utf8 = decodeUtf8Checked(bytes);
        return {std::move(utf8.text), TextEncoding::Utf8, utf8.hadError};
    }
    if (isAscii(bytes)) {
        return {QString::fromLatin1(bytes), TextEncoding::Ascii, false};
    }
    GbkResult gbk = decodeGbkChecked(bytes);
    if (!gbk.hadError && !usesCodesBeyondGb2312(bytes)) {
        return {std::move(gbk.text), TextEncoding::Gbk, false};
    }
    Utf8Result utf8 = decodeUtf8Checked(bytes);
    if (!utf8.hadError) {
        return {std::move(utf8.text), TextEncoding::Utf8, false};
    }
    return {std::move(gbk.text), TextEncoding::Gbk, gbk.hadError};
}

QString decodeText(QByteArrayView bytes) {
    return decodeTextDetailed(bytes).text;
}

QString decodeGbk(QByteArrayView bytes) {
    if (isAscii(bytes)) {
        return QString::fromLatin1(bytes);
    }
    return decodeGbkChecked(bytes).text;
}

QByteArray encodeGbk(QStringView text) {
    // A lone surrogate would come out as the SUB control byte; make it '?' first.
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1].unicode())) {
            clean.append(text[i]);
            clean.append(text[i + 1]);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            clean.append(u'?');
        } else {
            clean.append(text[i]);
        }
    }

    // GB18030 is GBK plus four-byte sequences (second byte '0'..'9') for everything GBK
    // lacks; those become '?'. Encoding through GB18030 rather than ICU's "GBK" keeps
    // the bytes readable by decodeText(): "GBK" writes the euro sign as the single byte
    // 0x80, which GB18030 does not accept.
    QStringEncoder encoder(gbkCodecName);
    const QByteArray full = encoder(clean);
    QByteArray out;
    out.reserve(full.size());
    for (qsizetype i = 0; i < full.size();) {
        const auto b = static_cast<unsigned char>(full[i]);
        if (b < 0x80 || i + 1 >= full.size()) {
            out.append(full[i]);
            ++i;
            continue;
        }
        const auto second = static_cast<unsigned char>(full[i + 1]);
        if (second >= 0x30 && second <= 0x39) {
            out.append('?');
            i += 4;
        } else {
            out.append(full[i]);
            out.append(full[i + 1]);
            i += 2;
        }
    }
    return out;
}
