#include "content/richtext.h"

#include "contentfixtures.h"

#include <gtest/gtest.h>

namespace {

TEST(PlainTextFromFileBytes, TheSettingsDocumentTheProgramWrites) {
    const QByteArray bytes = contentFixture("set_rtf.dat");
    ASSERT_TRUE(looksLikeRichText(bytes));
    EXPECT_EQ(plainTextFromFileBytes(bytes),
              QStringLiteral("3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\80\\\r\n"));
}

TEST(PlainTextFromFileBytes, ResultsAsRtfAndAsPlainText) {
    EXPECT_EQ(plainTextFromFileBytes(contentFixture("results_rtf.dat")),
              QStringLiteral("^☆Lesson 1^★Lesson 2^\r\n"));
    EXPECT_EQ(plainTextFromFileBytes(contentFixture("results_plain.dat")),
              QStringLiteral("^☆Lesson 1^★Lesson 2^"));
}

TEST(PlainTextFromFileBytes, PlainTextIsDecodedWhole) {
    const QByteArray bytes = contentFixture("set_plain.dat");
    EXPECT_FALSE(looksLikeRichText(bytes));
    EXPECT_EQ(plainTextFromFileBytes(bytes),
              QStringLiteral("3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\80\\"));
    // Only a document that starts with the signature is RTF.
    EXPECT_EQ(plainTextFromFileBytes(" {\\rtf1 a}"), QStringLiteral(" {\\rtf1 a}"));
    EXPECT_EQ(plainTextFromFileBytes("{\\RTF1 a}"), QStringLiteral("{\\RTF1 a}"));
    EXPECT_EQ(plainTextFromFileBytes(""), QString());
}

struct RtfCase {
    const char *name;
    QByteArray rtf;
    QString text;
};

TEST(PlainTextFromFileBytes, RtfSubset) {
    const RtfCase cases[] = {
        {"paragraphs, lines and tabs", "{\\rtf1 a\\par b\\line c\\tab d\\par}",
         QStringLiteral("a\r\nb\r\nc\td\r\n")},
        {"the space after a control word is its delimiter", "{\\rtf1\\f0\\fs18  two}",
         QStringLiteral(" two")},
        {"line breaks in the source are ignored", "{\\rtf1 a\r\nb\nc\r}", QStringLiteral("abc")},
        {"backslash before a line break ends a paragraph", "{\\rtf1 a\\\r\nb}",
         QStringLiteral("a\r\nb")},
        {"control symbols", "{\\rtf1 \\\\\\{\\}\\~\\-\\_|}", QStringLiteral("\\{}\u00A0\u2011|")},
        {"skipped destinations",
         "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}{\\stylesheet{\\s0 "
         "Normal;}}{\\info{\\title T}}{\\*\\generator G;}{\\pict\\pngblip 89504e47}{\\*\\unknown "
         "{nested} x}shown}",
         QStringLiteral("shown")},
        {"a group after a skipped one is read again", "{\\rtf1{\\*\\x a}{\\b b}c}",
         QStringLiteral("bc")},
        {"GBK escapes by default", "{\\rtf1 \\'d3\\'a2\\'d3\\'ef}", QStringLiteral("英语")},
        {"raw GBK bytes", "{\\rtf1\\ansicpg936 \xd3\xa2}", QStringLiteral("英")},
        {"upper-case hex", "{\\rtf1 \\'D3\\'A2}", QStringLiteral("英")},
        {"code page 1252", "{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'80}", QStringLiteral("café €")},
        {"the header's code page is the document's", "{\\rtf1\\ansicpg1252{\\ansicpg936 \\'e9}}",
         QStringLiteral("é")},
        {"code page 65001", "{\\rtf1\\ansicpg65001 \\'e8\\'8b\\'b1}", QStringLiteral("英")},
        {"unknown code page falls back to GBK", "{\\rtf1\\ansicpg77777 \\'d3\\'a2}",
         QStringLiteral("英")},
        {"invalid GBK byte", "{\\rtf1 a\\'ffb}", QStringLiteral("a\uFFFDb")},
        {"dangling lead byte before a control word", "{\\rtf1 \\'d3\\par x}",
         QStringLiteral("\uFFFD\r\nx")},
        {"unicode with one fallback character", "{\\rtf1\\uc1 \\u8364?\\u33521?}",
         QStringLiteral("€英")},
        {"negative unicode parameter", "{\\rtf1 \\u-3?}", QStringLiteral("\uFFFD")},
        {"fallback of two escaped bytes", "{\\rtf1\\uc2\\u33521\\'d3\\'a2x}",
         QStringLiteral("英x")},
        {"no fallback", "{\\rtf1\\uc0\\u33521 x}", QStringLiteral("英x")},
        {"uc is scoped to its group", "{\\rtf1{\\uc2\\u33521 ab}\\u33521 cd}",
         QStringLiteral("英英d")},
        {"surrogate pair", "{\\rtf1 \\u-10179?\\u-8704?}", QStringLiteral("😀")},
        {"lone surrogate", "{\\rtf1 \\u55296?x}", QStringLiteral("\uFFFDx")},
        {"huge parameters are clamped", "{\\rtf1\\uc99999999999999999999999 \\u33521 ab}",
         QStringLiteral("英")},
        {"binary data may hold braces", "{\\rtf1 a\\bin3 {}}b}", QStringLiteral("ab")},
        {"binary length beyond the end", "{\\rtf1 a\\bin999 xyz", QStringLiteral("a")},
        {"damaged hex escape", "{\\rtf1 a\\'zzb}", QStringLiteral("azzb")},
        {"unterminated document", "{\\rtf1 abc", QStringLiteral("abc")},
        {"backslash at the end", "{\\rtf1 a\\", QStringLiteral("a")},
        {"half escape at the end", "{\\rtf1 a\\'d", QStringLiteral("ad")},
        {"text after the document", "{\\rtf1 a}b{c}", QStringLiteral("a")},
        {"nul bytes are dropped", QByteArray("{\\rtf1 a\0b}", 11), QStringLiteral("ab")},
        {"typographic words", "{\\rtf1 \\lquote x\\rquote \\ldblquote y\\rdblquote \\emdash}",
         QStringLiteral("‘x’“y”—")},
    };
    for (const RtfCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(plainTextFromFileBytes(c.rtf), c.text);
    }
}

TEST(PlainTextFromFileBytes, MillionfoldNestingNeedsNoStack) {
    constexpr int depth = 1'000'000;
    QByteArray balanced = "{\\rtf1 ";
    balanced += QByteArray(depth, '{') + "x" + QByteArray(depth, '}') + "y}";
    EXPECT_EQ(plainTextFromFileBytes(balanced), QStringLiteral("xy"));

    QByteArray unclosed = "{\\rtf1 a";
    unclosed += QByteArray(depth, '{');
    EXPECT_EQ(plainTextFromFileBytes(unclosed), QStringLiteral("a"));

    // Every level changes the group state, and each closing brace restores its own.
    QByteArray alternating = "{\\rtf1 ";
    for (int i = 0; i < depth / 10; ++i) {
        alternating += i % 2 ? "{\\uc1 " : "{\\uc2 ";
    }
    alternating += "\\u33521 ab" + QByteArray(depth / 10, '}');
    EXPECT_EQ(plainTextFromFileBytes(alternating), QStringLiteral("英b"));
}

TEST(PlainTextFromFileBytes, SkippedGroupNestedDeepEndsWhereItOpened) {
    QByteArray rtf = "{\\rtf1 {\\*\\skipped ";
    rtf += QByteArray(100'000, '{') + "hidden" + QByteArray(100'000, '}') + "}shown}";
    EXPECT_EQ(plainTextFromFileBytes(rtf), QStringLiteral("shown"));
}

} // namespace
