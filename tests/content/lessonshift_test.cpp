#include "content/lessonshift.h"

#include "contentfixtures.h"

#include <QFile>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

namespace {

TEST(LessonShift, MovesOnlyTheTimesOfTheRange) {
    struct Case {
        const char *name;
        QByteArray before;
        double seconds;
        int from;
        int to;
        QByteArray after;
        int shifted;
        double audio = 0; // seconds; 0: unknown
    };
    const Case cases[] = {
        {"two decimals, all", "*a#b#0.30#2.69#*c#d#3.27#6.01#*", 0.25, 1, -1,
         "*a#b#0.55#2.94#*c#d#3.52#6.26#*", 2},
        {"middle sentence only", "*a#b#1#2#*c#d#3#4#*e#f#5#6#*", 1, 2, 2,
         "*a#b#1#2#*c#d#4#5#*e#f#5#6#*", 1},
        {"from to the last", "*a#b#1#2#*c#d#3#4#*e#f#5#6#*", -1, 2, -1,
         "*a#b#1#2#*c#d#2#3#*e#f#4#5#*", 2},
        {"more decimals when the own ones cannot hold it", "*a#b#1.5#2#*", 0.25, 1, 1,
         "*a#b#1.75#2.25#*", 1},
        {"three decimals stay three", "*a#b#1.250#2.000#*", -0.25, 1, 1, "*a#b#1.000#1.750#*", 1},
        {"four decimals stay four", "*a#b#1.2345#2.0000#*", 0.001, 1, 1, "*a#b#1.2355#2.0010#*", 1},
        {"down to zero exactly", "*a#b#0.50#0.60#*", -0.5, 1, 1, "*a#b#0.00#0.10#*", 1},
        {"up to the end of the audio exactly", "*a#b#1#2.5#*", 0.5, 1, 1, "*a#b#1.5#3.0#*", 1, 3},
        // A time that lay past the end already may come closer to it.
        {"towards the end from past it", "*a#b#1#4#*", -0.5, 1, 1, "*a#b#0.5#3.5#*", 1, 3},
        {"a shift below a millisecond changes nothing", "*a#b#1#2#*", 0.0004, 1, -1, "*a#b#1#2#*",
         0},
        {"a time held where it is counts for nothing", "*a#b#1#2#*", 0, 1, -1, "*a#b#1#2#*", 0},
        {"blanks around the number stay", "*a#b# 1.50 #\t2.0\r\n#*", 0.25, 1, 1,
         "*a#b# 1.75 #\t2.25\r\n#*", 1},
        {"an unchanged time keeps its bytes", "*a#b#+1.5#4.#*", 0.0004, 1, 1, "*a#b#+1.5#4.#*", 0},
        {"odd forms rewritten plainly", "*a#b#.5#-0.5#*", 1, 1, 1, "*a#b#1.5#0.5#*", 1},
        {"extra fields and text outside records stay", "head*a#b#1#2#x#y*tail", 1, 1, 1,
         "head*a#b#2#3#x#y*tail", 1},
        {"short records outside the range", "*title*a#b#1#2#*", 1, 2, 2, "*title*a#b#2#3#*", 1},
        {"an unclosed last record", "*a#b#1#2#*c#d#3#4#", 1, 2, 2, "*a#b#1#2#*c#d#4#5#", 1},
        {"GBK text untouched", "*Good.#" + gbkYingYu900Ju + "#1.00#2.00#*", 0.5, 1, 1,
         "*Good.#" + gbkYingYu900Ju + "#1.50#2.50#*", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ShiftResult result = shiftLessonTimes(c.before, c.seconds, c.from, c.to, c.audio);
        EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
        EXPECT_EQ(result.bytes, c.after);
        EXPECT_EQ(result.shifted, c.shifted);
    }
}

TEST(LessonShift, RefusesWithOneLineAndNoBytes) {
    struct Case {
        QByteArray bytes;
        double seconds;
        int from;
        int to;
        const char *says;
        double audio = 0;
    };
    const QByteArray two = "*a#b#1#2#*c#d#3#4#*";
    const Case cases[] = {
        {"{\\rtf1\\ansi *a#b#1#2#*}", 1, 1, -1, "RTF"},
        {"", 1, 1, -1, "no sentence"},
        {"a#b#1#2#", 1, 1, -1, "no sentence"},
        {two, 1, 0, -1, "no sentence 0"},
        {two, 1, 3, -1, "no sentence 3"},
        {two, 1, 2, 1, "sentences 2 to 1"},
        {two, 1, 1, 3, "sentences 1 to 3"},
        {two, 1, 2, -2, "sentences 2 to -2"},
        {"*a#b#1#2#*c#d#3#*", 1, 1, -1, "sentence 2: no Start and End"},
        {"*a#b#1#x\ny#*", 1, 1, -1, "sentence 1: End \"x y\" is not a number"},
        {"*a#b#1,5#2#*", 1, 1, -1, "sentence 1: Start \"1,5\" is not a number"},
        {"*a#b#1.0000000001#2#*", 1, 1, -1, "sentence 1: Start \"1.0000000001\" has too many"},
        {"*a#b#12345678901#2#*", 1, 1, -1, "has too many digits"},
        {two, std::numeric_limits<double>::quiet_NaN(), 1, -1, "cannot shift by"},
        {two, 1e12, 1, -1, "cannot shift by"},
        // Held at 0 or at the end, a sentence would lose its start or its length: refused.
        {"*a#b#0.10#0.60#*", -0.5, 1, 1,
         "sentence 1: Start 0.10 would move to -0.400 s, before the start of the audio"},
        {two, -3.5, 2, -1, "sentence 2: Start 3 would move to -0.500 s"},
        {"*a#b#1#2#*c#d#3#4#*", -1.5, 1, -1, "sentence 1: Start 1 would move to -0.500 s"},
        {two, 1, 1, -1,
         "sentence 2: End 4 would move to 5.000 s, after the end of the audio "
         "(4.500 s)",
         4.5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.says);
        const ShiftResult result = shiftLessonTimes(c.bytes, c.seconds, c.from, c.to, c.audio);
        EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.says))) << result.error.toStdString();
        EXPECT_FALSE(result.error.contains(u'\n'));
        EXPECT_TRUE(result.bytes.isEmpty());
        EXPECT_EQ(result.shifted, 0);
    }
}

TEST(LessonShift, ThereAndBackGivesTheSameBytes) {
    QFile demo(QStringLiteral(ORVESSA_SOURCE_DIR "/content/book/英语900句/1.dat"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const struct {
        const char *name;
        QByteArray bytes;
        int sentences;
    } lessons[] = {
        {"demo lesson, GBK", demo.readAll(), 9},
        {"UTF-8 with BOM", contentFixture("lesson_utf8_bom.dat"), 2},
    };
    for (const auto &lesson : lessons) {
        SCOPED_TRACE(lesson.name);
        const ShiftResult there = shiftLessonTimes(lesson.bytes, 0.25, 1, -1);
        ASSERT_TRUE(there.error.isEmpty()) << there.error.toStdString();
        EXPECT_EQ(there.shifted, lesson.sentences);
        EXPECT_NE(there.bytes, lesson.bytes);
        const ShiftResult back = shiftLessonTimes(there.bytes, -0.25, 1, -1);
        ASSERT_TRUE(back.error.isEmpty()) << back.error.toStdString();
        EXPECT_EQ(back.bytes, lesson.bytes);
    }
}

// One sentence's Start and/or End set to the millisecond: only those two numbers change.
TEST(LessonRetime, SetsOneSentenceKeepingEveryOtherByte) {
    const QByteArray bom = contentFixture("lesson_utf8_bom.dat");
    const QByteArray gbkLesson =
        "*Good.#" + gbkYingYu900Ju + "#1.00#2.00#*Bye.#" + gbkYingYu900Ju + "#2.50#3.75#*";
    const std::optional<double> keep;
    struct Case {
        const char *name;
        QByteArray before;
        int sentence;
        std::optional<double> start;
        std::optional<double> end;
        QByteArray after;
        const char *startText;
        const char *endText;
        double audio = 0;
    };
    const Case cases[] = {
        {"GBK, second sentence's Start later", gbkLesson, 2, 2.55, keep,
         "*Good.#" + gbkYingYu900Ju + "#1.00#2.00#*Bye.#" + gbkYingYu900Ju + "#2.55#3.75#*", "2.55",
         "3.75"},
        {"GBK, first sentence's End earlier", gbkLesson, 1, keep, 1.95,
         "*Good.#" + gbkYingYu900Ju + "#1.00#1.95#*Bye.#" + gbkYingYu900Ju + "#2.50#3.75#*", "1.00",
         "1.95"},
        {"UTF-8 with BOM, both times", bom, 2, 2.05, 3.1,
         QByteArray(bom).replace("#2.10#3.05#", "#2.05#3.10#"), "2.05", "3.10"},
        {"rounded to the millisecond, more decimals when needed", "*a#b#1.5#2#*", 1, 1.23449,
         2.0004, "*a#b#1.234#2#*", "1.234", "2"},
        {"a time already there keeps its bytes", "*a#b#+1.50#4.#*", 1, 1.5, 4.0, "*a#b#+1.50#4.#*",
         "+1.50", "4."},
        {"blanks and fields after the times stay", "x*a#b# 1.50 #\t2.0\r\n#z#*y", 1, 1.45, keep,
         "x*a#b# 1.45 #\t2.0\r\n#z#*y", "1.45", "2.0"},
        {"Start down to 0 exactly", "*a#b#0.05#1#*", 1, 0.0, keep, "*a#b#0.00#1#*", "0.00", "1"},
        {"End up to the end of the audio exactly", "*a#b#1#2.95#*", 1, keep, 3.0, "*a#b#1#3.00#*",
         "1", "3.00", 3.0},
        {"an End past the audio may come closer", "*a#b#1#3.5#*", 1, keep, 3.45, "*a#b#1#3.45#*",
         "1", "3.45", 3.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const RetimeResult result = setSentenceTimes(c.before, c.sentence, c.start, c.end, c.audio);
        EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
        EXPECT_EQ(result.refusal, RetimeRefusal::None);
        EXPECT_EQ(result.bytes, c.after);
        EXPECT_EQ(result.changed, c.after != c.before);
        EXPECT_EQ(result.start, QLatin1StringView(c.startText));
        EXPECT_EQ(result.end, QLatin1StringView(c.endText));
    }
}

TEST(LessonRetime, RefusesWithAReasonAndNoBytes) {
    const QByteArray two = "*a#b#1#2#*c#d#3#4#*";
    const std::optional<double> keep;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char *name;
        QByteArray bytes;
        int sentence;
        std::optional<double> start;
        std::optional<double> end;
        RetimeRefusal refusal;
        const char *says;
        double audio = 0;
    };
    const Case cases[] = {
        {"RTF", "{\\rtf1\\ansi *a#b#1#2#*}", 1, 1.5, keep, RetimeRefusal::RichText, "RTF"},
        {"sentence 0", two, 0, 1.5, keep, RetimeRefusal::NoSentence, "no sentence 0"},
        {"past the last", two, 3, 1.5, keep, RetimeRefusal::NoSentence, "no sentence 3"},
        {"no times", "*a#b#1#2#*c#d#3#*", 2, 3.5, keep, RetimeRefusal::NoTimes,
         "sentence 2: no Start and End"},
        {"End not a number", "*a#b#1#x#*", 1, 0.5, keep, RetimeRefusal::NoTimes,
         "End \"x\" is not a time"},
        {"Start at End", two, 2, 4.0, keep, RetimeRefusal::StartNotBeforeEnd,
         "Start 4.000 s would not come before End 4.000 s"},
        {"End before Start", two, 1, keep, 0.95, RetimeRefusal::StartNotBeforeEnd,
         "would not come before End 0.950 s"},
        {"Start below 0", "*a#b#0.02#1#*", 1, -0.03, keep, RetimeRefusal::BeforeAudio,
         "Start -0.030 s would lie before"},
        {"Start not a number", two, 1, nan, keep, RetimeRefusal::BeforeAudio, "before"},
        {"End later past the audio", two, 2, keep, 4.05, RetimeRefusal::PastAudio,
         "End 4.050 s would lie after the end of the audio (4.000 s)", 4.0},
        {"End past the audio, later still", "*a#b#1#4.5#*", 1, keep, 4.55, RetimeRefusal::PastAudio,
         "after the end", 4.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const RetimeResult result = setSentenceTimes(c.bytes, c.sentence, c.start, c.end, c.audio);
        EXPECT_EQ(result.refusal, c.refusal);
        EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.says))) << result.error.toStdString();
        EXPECT_FALSE(result.error.contains(u'\n'));
        EXPECT_TRUE(result.bytes.isEmpty());
        EXPECT_FALSE(result.changed);
    }
}

// Undo: the numbers as they were written go back, whatever a change made of their decimals,
// and the loaded record takes the same numbers as the file.
TEST(LessonRetime, PuttingTheOldNumbersBackGivesTheSameBytes) {
    QFile demo(QStringLiteral(ORVESSA_SOURCE_DIR "/content/book/英语900句/1.dat"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const struct {
        const char *name;
        QByteArray bytes;
        int sentence;
        double start;
        double end;
    } lessons[] = {
        {"demo lesson, GBK", demo.readAll(), 3, 6.47, 9.98},
        {"UTF-8 with BOM", contentFixture("lesson_utf8_bom.dat"), 1, 0.45, 1.77},
        {"one decimal and none", "*a#b#1.5#3#*", 1, 1.55, 3.05},
    };
    for (const auto &lesson : lessons) {
        SCOPED_TRACE(lesson.name);
        // The numbers as written, read through the same call with nothing to set.
        const RetimeResult was =
            setSentenceTimes(lesson.bytes, lesson.sentence, std::nullopt, std::nullopt);
        ASSERT_FALSE(was.changed);
        const RetimeResult there =
            setSentenceTimes(lesson.bytes, lesson.sentence, lesson.start, lesson.end);
        ASSERT_TRUE(there.error.isEmpty()) << there.error.toStdString();
        EXPECT_TRUE(there.changed);
        const RetimeResult back =
            restoreSentenceTimes(there.bytes, lesson.sentence, was.start, was.end);
        ASSERT_TRUE(back.error.isEmpty()) << back.error.toStdString();
        EXPECT_EQ(back.bytes, lesson.bytes);
    }
    // The loaded record: the same numbers in place, blanks and the texts kept.
    EXPECT_EQ(recordWithTimes(u"Hi.#你好。# 1.5 #3#x", u"1.55", u"3.050"),
              QStringLiteral("Hi.#你好。# 1.55 #3.050#x"));
    EXPECT_EQ(recordWithTimes(u"Hi.#你好。#1.5", u"1", u"2"), std::nullopt);
    EXPECT_EQ(recordWithTimes(u"Hi.#你好。#1.5#3#", u"x", u"2"), std::nullopt);
}

} // namespace
