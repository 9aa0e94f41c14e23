#include "content/lessonfile.h"
#include "content/sentencetable.h"
#include "content/textcodec.h"

#include "contentfixtures.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char *name;
    QString text;
    std::vector<QString> records;
};

TEST(SplitRecords, RecordsStandBetweenMarkers) {
    const SplitCase cases[] = {
        {"empty", QString(), {}},
        {"no marker", QStringLiteral("a#b#1#2#"), {}},
        {"single marker", QStringLiteral("*"), {}},
        {"one record", QStringLiteral("*a#b#1#2#*"), {QStringLiteral("a#b#1#2#")}},
        {"two records",
         QStringLiteral("*a#b#1#2#*c#d#3#4#*"),
         {QStringLiteral("a#b#1#2#"), QStringLiteral("c#d#3#4#")}},
        {"adjacent markers give an empty record",
         QStringLiteral("**a#b#1#2#*"),
         {QString(), QStringLiteral("a#b#1#2#")}},
        {"text before the first marker is ignored",
         QStringLiteral("junk#1#2#3#*a#b#1#2#*"),
         {QStringLiteral("a#b#1#2#")}},
        {"trailing line break after the last marker",
         QStringLiteral("*a#b#1#2#*\r\n"),
         {QStringLiteral("a#b#1#2#")}},
        {"unterminated full record is kept",
         QStringLiteral("*a#b#1#2#*c#d#3#4#\r\n"),
         {QStringLiteral("a#b#1#2#"), QStringLiteral("c#d#3#4#\r\n")}},
        {"unterminated short tail is dropped",
         QStringLiteral("*a#b#1#2#*c#d#3"),
         {QStringLiteral("a#b#1#2#")}},
    };
    for (const SplitCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(splitRecords(c.text), c.records);
    }
}

struct CutCase {
    const char *record;
    const char *english;
    const char *chinese;
    std::optional<QString> start;
    std::optional<QString> end;
};

TEST(CutRecord, FieldsAndTrimming) {
    const CutCase cases[] = {
        {"Hello.#你好。#1.5#2.5#", "Hello.", "你好。", QStringLiteral("1.5"),
         QStringLiteral("2.5")},
        {"  Two  spaces  #  中 文  # 1 # 2 #", "Two  spaces", "中 文", QStringLiteral(" 1 "),
         QStringLiteral(" 2 ")},
        // Only the space character is trimmed.
        {"\tTab\t#\r\nzh\r\n#1#2#", "\tTab\t", "\r\nzh\r\n", QStringLiteral("1"),
         QStringLiteral("2")},
        {"a#b#1#2#rest#more\r\n", "a", "b", QStringLiteral("1"), QStringLiteral("2")},
        {"#", "", "", std::nullopt, std::nullopt},
        {"", "", "", std::nullopt, std::nullopt},
        {"no hash at all ", "no hash at all", "", std::nullopt, std::nullopt},
        {"one# rest of it ", "one", "rest of it", std::nullopt, std::nullopt},
        {"two#zh#", "two", "zh", std::nullopt, std::nullopt},
        {"three#zh#1#", "three", "zh", QStringLiteral("1"), std::nullopt},
        {"three#zh#1#9", "three", "zh", QStringLiteral("1"), std::nullopt},
        {"####", "", "", QString(), QString()},
    };
    for (const CutCase &c : cases) {
        SCOPED_TRACE(c.record);
        const RecordFields fields = cutRecord(QString::fromUtf8(c.record));
        EXPECT_EQ(fields.english, QString::fromUtf8(c.english));
        EXPECT_EQ(fields.chinese, QString::fromUtf8(c.chinese));
        EXPECT_EQ(fields.start, c.start);
        EXPECT_EQ(fields.end, c.end);
    }
}

TEST(ParseSeconds, PlainDecimalsOnly) {
    const std::pair<const char *, std::optional<double>> cases[] = {
        {"0.50", 0.5},
        {"12", 12},
        {" 3.25 ", 3.25},
        {"\t7\r\n", 7},
        {"+1.5", 1.5},
        {"-0.5", -0.5},
        {"4.", 4},
        {".5", 0.5},
        {"007.10", 7.1},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {".", std::nullopt},
        {"-", std::nullopt},
        {"1,5", std::nullopt},
        {"1.5.2", std::nullopt},
        {"abc", std::nullopt},
        {"1e3", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"0x10", std::nullopt},
        {"1 2", std::nullopt},
        {"１", std::nullopt}, // a full-width digit is no digit here
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseSeconds(QString::fromUtf8(text)), expected);
    }
    // Too many digits for a double is not a number of seconds.
    EXPECT_EQ(parseSeconds(QString(400, u'9')), std::nullopt);
}

TEST(SentenceTable, EntriesFromTheLessonFixtures) {
    for (const char *name :
         {"lesson_gbk.dat", "lesson_utf8_bom.dat", "lesson_utf8.dat", "lesson_trailing_crlf.dat"}) {
        SCOPED_TRACE(name);
        const SentenceTable table = SentenceTable::fromText(decodeText(contentFixture(name)));
        ASSERT_EQ(table.count(), 2);
        EXPECT_EQ(table.entry(1).english, QStringLiteral("Good morning."));
        EXPECT_EQ(table.entry(1).chinese, QStringLiteral("早上好。"));
        EXPECT_TRUE(table.entry(1).record.startsWith(u"Good morning.#"));
        EXPECT_EQ(table.entry(2).english, QStringLiteral("How are you?"));
        EXPECT_EQ(table.entry(2).chinese, QStringLiteral("你好吗？"));
        const std::optional<SentenceTimes> times = table.times(2);
        ASSERT_TRUE(times);
        EXPECT_DOUBLE_EQ(times->start, 2.10);
        EXPECT_DOUBLE_EQ(times->end, 3.05);
    }
}

TEST(SentenceTable, InvalidBytesDamageOnlyTheirOwnField) {
    const SentenceTable table =
        SentenceTable::fromText(decodeText(contentFixture("lesson_invalid.dat")));
    ASSERT_EQ(table.count(), 2);
    EXPECT_EQ(table.entry(1).english, QStringLiteral("Good \uFFFDmorning."));
    EXPECT_EQ(table.entry(1).chinese, QStringLiteral("早上好。\uFFFD"));
    EXPECT_TRUE(table.times(1));
    EXPECT_EQ(table.entry(2).chinese, QStringLiteral("你好吗？"));
}

TEST(SentenceTable, EmptyAndMarkerlessTextsHoldNoSentence) {
    EXPECT_TRUE(SentenceTable::fromText(u"").isEmpty());
    EXPECT_TRUE(SentenceTable::fromText(u"Hello#你好#1#2#").isEmpty());
    EXPECT_EQ(SentenceTable().count(), 0);
}

TEST(SentenceTable, TimesOnlyForPlayableSentences) {
    const SentenceTable table =
        SentenceTable::fromText(u"*ok#a#1.5#2#*short#b#1#*text#c#x#2#*equal#d#2#2#*backwards#e#3#2#"
                                u"*negative#f#-1#2#*comma#g#1,5#2#*spaced#h# 1 # 2.5 #tail*");
    ASSERT_EQ(table.count(), 8);
    const std::optional<SentenceTimes> ok = table.times(1);
    ASSERT_TRUE(ok);
    EXPECT_DOUBLE_EQ(ok->start, 1.5);
    EXPECT_DOUBLE_EQ(ok->end, 2);
    for (int i = 2; i <= 7; ++i) {
        EXPECT_FALSE(table.times(i)) << table.entry(i).english.toStdString();
    }
    EXPECT_TRUE(table.times(8));
    EXPECT_FALSE(table.times(0));
    EXPECT_FALSE(table.times(9));
    EXPECT_FALSE(table.times(-1));
}

TEST(SentenceTable, KeepsAtMost32767Sentences) {
    QString text = QStringLiteral("*");
    for (int i = 0; i < SentenceTable::maxSentences + 5; ++i) {
        text += QStringLiteral("s%1#z#%2#%3#*").arg(i).arg(i).arg(i + 1);
    }
    const SentenceTable table = SentenceTable::fromText(text);
    ASSERT_EQ(table.count(), SentenceTable::maxSentences);
    EXPECT_EQ(table.entry(SentenceTable::maxSentences).english,
              QStringLiteral("s%1").arg(SentenceTable::maxSentences - 1));
}

TEST(SentenceTable, MillionsOfMarkersStopAtTheCap) {
    const SentenceTable table = SentenceTable::fromText(QString(4'000'000, u'*'));
    EXPECT_EQ(table.count(), SentenceTable::maxSentences);
    EXPECT_TRUE(table.entry(1).record.isEmpty());
}

} // namespace
