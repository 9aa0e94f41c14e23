#include "content/plaintext.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// Sentences as one readable line, "English|Chinese / ...", or the error.
std::string describe(const PlainSplit &split) {
    if (!split.error.isEmpty())
        return "error: " + split.error.toStdString();
    QStringList parts;
    for (const PlainSentence &s : split.sentences)
        parts << s.english + u'|' + s.chinese;
    return parts.join(QStringLiteral(" / ")).toStdString();
}

TEST(PlainText, SplitsAtSentenceEndsAndPairsTheChineseLines) {
    const struct {
        const char *name;
        QString text;
        std::string sentences;
    } cases[] = {
        {"one per line", "Hello\r\nGood morning\n\nBye", "Hello| / Good morning| / Bye|"},
        {"running text", "Is it far? No! It is near. Go.",
         "Is it far?| / No!| / It is near.| / Go.|"},
        {"titles, initials and numbers stay whole",
         "Mr. Smith met Dr. Brown at 3.5 km, e.g. here. J. K. Rowling wrote it.",
         "Mr. Smith met Dr. Brown at 3.5 km, e.g. here.| / J. K. Rowling wrote it.|"},
        {"quotes stay whole", "\"Stop! Wait.\" he said. \u201CRun. Now!\u201D She ran.",
         "\"Stop! Wait.\" he said.| / \u201CRun. Now!\u201D| / She ran.|"},
        {"a small letter after a stop goes on", "It is 5 p.m. and late.",
         "It is 5 p.m. and late.|"},
        {"a line starting small continues the line above", "It is near\nthe station. Go.",
         "It is near the station.| / Go.|"},
        {"chinese line after an english line", "Thank you.\n谢谢。", "Thank you.|谢谢。"},
        {"chinese cut to match the english", "Where is it? Over there.\n在哪里？在那边。",
         "Where is it?|在哪里？ / Over there.|在那边。"},
        {"chinese that does not match keeps the line whole", "Where is it? Over there.\n在哪里？",
         "Where is it? Over there.|在哪里？"},
        {"two chinese lines joined", "Good morning.\n早上好，\n先生。",
         "Good morning.|早上好，先生。"},
        {"chinese after a blank line stands alone", "Lesson One\n\n第一课\nHi.",
         "Lesson One| / |第一课 / Hi.|"},
        {"control characters and spaces cleaned", "\uFEFF  Hi\x01  there.\t\x7F ", "Hi there.|"},
        {"nothing", " \n\x01\n", ""},
        {"record separators refused", "Fine.\nFive * stars.",
         "error: line 2 holds \"*\", which the lesson format uses to separate sentences"},
        {"field separators refused", "#1",
         "error: line 1 holds \"#\", which the lesson format "
         "uses to separate sentences"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(splitPlainText(c.text)), c.sentences);
    }
}

// Texts of megabytes are cut in one pass: a scan that went back over the text at every
// stop would not end within the test's time.
TEST(PlainText, HugeTextsAreCutInOnePass) {
    const struct {
        const char *name;
        QString text;
        size_t sentences;
    } cases[] = {
        {"many short sentences", QStringLiteral("Go. ").repeated(500000), 500000},
        {"a quote never closed", u'"' + QStringLiteral("Go. ").repeated(500000), 1},
        {"titles only", QStringLiteral("Mr. ").repeated(500000), 1},
        {"one word of stops", QStringLiteral("a.").repeated(500000) + QStringLiteral(" Go."), 2},
        {"lines continued", QStringLiteral("it is\n").repeated(300000), 1},
        {"chinese lines after one english line",
         QStringLiteral("Hi.\n") + QStringLiteral("你好。\n").repeated(300000), 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const PlainSplit split = splitPlainText(c.text);
        EXPECT_TRUE(split.error.isEmpty());
        EXPECT_EQ(split.sentences.size(), c.sentences);
    }
}

TEST(PlainText, PairsAnEnglishTextWithAChineseText) {
    const struct {
        const char *name;
        QString english;
        QString chinese;
        std::string sentences;
    } cases[] = {
        {"sentence by sentence", "Hi. How are you?\nFine.", "你好。你好吗？\n很好。",
         "Hi.|你好。 / How are you?|你好吗？ / Fine.|很好。"},
        {"line by line when only the lines match", "Hi. How are you?\nFine.",
         "你好，你好吗？\n很好。", "Hi. How are you?|你好，你好吗？ / Fine.|很好。"},
        {"a chinese line without ideographs", "OK.\nHi.", "OK!\n嗨。", "OK.|OK! / Hi.|嗨。"},
        {"counts that do not match", "A.\nB.\nC.", "甲。乙。",
         "error: the English text gives 3 sentences in 3 lines, the Chinese text 2 in 1"},
        {"chinese in the english text", "Hi.\n你好。", "你好。",
         "error: the English text holds Chinese lines already; give either the two languages "
         "in one text or two texts"},
        {"no chinese", "Hi.", " \n", "error: the Chinese text holds no sentence"},
        {"separator in the chinese", "Hi.", "你#好",
         "error: Chinese text: line 1 holds \"#\", "
         "which the lesson format uses to separate "
         "sentences"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(pairPlainTexts(c.english, c.chinese)), c.sentences);
    }
}

} // namespace
