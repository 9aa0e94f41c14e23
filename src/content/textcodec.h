#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Content files (lesson texts, lesson-name lists, results, plain settings) are GBK.
// Files that start with a UTF-8 byte-order mark, or that are valid UTF-8 but not
// valid GBK, are read as UTF-8 because modern editors save that. Most UTF-8 Chinese
// text is byte for byte also valid GBK, though (read so it is garbled, and a "\" or
// "^" after it is swallowed as a GBK trail byte), so a text valid both ways is read as
// UTF-8 when its GBK reading needs codes outside the GB2312 area (lead or trail byte
// below 0xA1, as UTF-8 continuation bytes are), and as GBK otherwise. Invalid bytes
// never stop a read: each becomes U+FFFD and the rest decodes normally.
QString decodeText(QByteArrayView bytes);

// GBK bytes of a text; characters GBK cannot hold become '?'.
QByteArray encodeGbk(QStringView text);

// What decodeText() decided, for tools that report on content files.
enum class TextEncoding { Ascii, Gbk, Utf8 };

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Ascii;
    bool hadInvalidBytes = false; // some bytes were replaced by U+FFFD
};

DecodedText decodeTextDetailed(QByteArrayView bytes);

// Strict GBK (GB18030) decoding without the UTF-8 guess, for text whose code page is
// declared (RTF \ansicpg936). Invalid bytes become U+FFFD, as in decodeText().
QString decodeGbk(QByteArrayView bytes);
