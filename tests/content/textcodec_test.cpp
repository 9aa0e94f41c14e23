#include "content/textcodec.h"

#include "contentfixtures.h"

#include <gtest/gtest.h>

namespace {

struct DecodeCase {
    const char *name;
    QByteArray bytes;
    QString text;
    TextEncoding encoding;
    bool invalid;
};

TEST(DecodeText, ChoosesEncodingAndReplacesInvalidBytes) {
    const DecodeCase cases[] = {
        {"empty", QByteArray(), QString(), TextEncoding::Ascii, false},
        {"ascii", QByteArray("a#b*"), QStringLiteral("a#b*"), TextEncoding::Ascii, false},
        {"gbk", gbkYingYu900Ju, QStringLiteral("英语900句"), TextEncoding::Gbk, false},
        {"utf8 with bom",
         QByteArray("\xef\xbb\xbf"
                    "\xe8\x8b\xb1#"),
         QStringLiteral("英#"), TextEncoding::Utf8, false},
        {"bom only", QByteArray("\xef\xbb\xbf"), QString(), TextEncoding::Utf8, false},
        // E8 8B B1 23: "E8 8B" is a GBK pair but "B1 23" is not, so only UTF-8 fits.
        {"utf8 not gbk", QByteArray("\xe8\x8b\xb1#"), QStringLiteral("英#"), TextEncoding::Utf8,
         false},
        // Valid both ways. D3 A2 is a GB2312 code (英) and U+04E2 in UTF-8: GBK, the
        // content's own code page, wins.
        {"both valid, gb2312 code", QByteArray("\xd3\xa2"), QStringLiteral("英"), TextEncoding::Gbk,
         false},
        // C3 80 is outside GB2312 (trail below A1), as UTF-8 continuation bytes are: À.
        {"both valid, beyond gb2312", QByteArray("\xc3\x80"), QStringLiteral("\u00C0"),
         TextEncoding::Utf8, false},
        // A GBK-only character that cannot be UTF-8 stays GBK: 語 is D5 5A.
        {"gbk beyond gb2312", QByteArray("\xd5\x5a"), QStringLiteral("語"), TextEncoding::Gbk,
         false},
        // UTF-8 whose bytes pair up as GBK: ☆ E2 98 86 and "L" 4C read as GBK would give
        // two characters and swallow the "L"; after 句 (E5 8F A5) a backslash would go.
        {"utf8 lesson names", QByteArray("^\xe2\x98\x86Lesson 1^"), QStringLiteral("^☆Lesson 1^"),
         TextEncoding::Utf8, false},
        {"utf8 settings record",
         QByteArray("\xe8\x8b\xb1\xe8\xaf\xad"
                    "900\xe5\x8f\xa5\\80\\"),
         QStringLiteral("英语900句\\80\\"), TextEncoding::Utf8, false},
        {"invalid byte keeps the separators", QByteArray("a\xff*b#"), QStringLiteral("a\uFFFD*b#"),
         TextEncoding::Gbk, true},
        {"orphan lead byte before #", QByteArray("\xd3\xa2\x81#x"), QStringLiteral("英\uFFFD#x"),
         TextEncoding::Gbk, true},
        {"lead byte at the end", QByteArray("\xd3\xa2\xd3"), QStringLiteral("英\uFFFD"),
         TextEncoding::Gbk, true},
        {"invalid utf8 after bom",
         QByteArray("\xef\xbb\xbf"
                    "a\xff"
                    "b"),
         QStringLiteral("a\uFFFDb"), TextEncoding::Utf8, true},
    };
    for (const DecodeCase &c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText decoded = decodeTextDetailed(c.bytes);
        EXPECT_EQ(decoded.text, c.text);
        EXPECT_EQ(decoded.encoding, c.encoding);
        EXPECT_EQ(decoded.hadInvalidBytes, c.invalid);
        EXPECT_EQ(decodeText(c.bytes), c.text);
    }
}

TEST(DecodeText, LessonFixturesInEveryEncodingGiveTheSameText) {
    const QString expected =
        QStringLiteral("*Good morning.#早上好。#0.50#1.72#*How are you?#你好吗？#2.10#3.05#*");
    EXPECT_EQ(decodeText(contentFixture("lesson_gbk.dat")), expected);
    EXPECT_EQ(decodeText(contentFixture("lesson_utf8_bom.dat")), expected);
    EXPECT_EQ(decodeText(contentFixture("lesson_utf8.dat")), expected);
}

TEST(DecodeGbk, NeverGuessesUtf8) {
    EXPECT_EQ(decodeGbk(QByteArray("\xe8\x8b\xb1#")), QStringLiteral("鑻\uFFFD#"));
    EXPECT_EQ(decodeGbk(gbkYingYu900Ju), QStringLiteral("英语900句"));
}

TEST(EncodeGbk, WritesGbkAndQuestionMarksForTheRest) {
    EXPECT_EQ(encodeGbk(u"英语900句"), gbkYingYu900Ju);
    EXPECT_EQ(encodeGbk(u"\u2606\u2605"), QByteArray("\xa1\xee\xa1\xef"));
    // Hangul and the emoji have no GBK code; a lone surrogate is no character at all.
    QString text = QStringLiteral("한😀a");
    text.append(QChar(0xD800));
    text.append(u'b');
    EXPECT_EQ(encodeGbk(text), QByteArray("??a?b"));
}

TEST(EncodeGbk, EverythingWrittenReadsBack) {
    // The euro sign: ICU's "GBK" would write the byte 0x80, which the reader refuses.
    const QString text = QStringLiteral("€ ^☆第一课^ 3\\1\\");
    const QByteArray bytes = encodeGbk(text);
    const DecodedText decoded = decodeTextDetailed(bytes);
    EXPECT_FALSE(decoded.hadInvalidBytes);
    EXPECT_EQ(decoded.text, text);
}

} // namespace
