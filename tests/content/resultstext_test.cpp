#include "content/resultstext.h"
#include "content/reviewfile.h"

#include <gtest/gtest.h>

namespace {

QString s(const char *utf8) {
    return QString::fromUtf8(utf8);
}

TEST(ResultsText, MarkPassedTurnsOnlyWholeEntries) {
    struct Case {
        const char *name, *text, *lesson, *expected;
    } cases[] = {
        {"prefix of a longer name", "^☆Lesson 1^☆Lesson 10^", "Lesson 1", "^★Lesson 1^☆Lesson 10^"},
        {"longer name alone", "^☆Lesson 1^☆Lesson 10^", "Lesson 10", "^☆Lesson 1^★Lesson 10^"},
        {"every whole entry", "^☆A^☆B^☆A^", "A", "^★A^☆B^★A^"},
        {"already passed", "^★A^☆B^", "A", "^★A^☆B^"},
        {"name not listed", "^☆A^☆B^", "C", "^☆A^☆B^"},
        {"name inside another", "^☆xAx^", "A", "^☆xAx^"},
        {"case differs", "^☆lesson 1^", "Lesson 1", "^☆lesson 1^"},
        {"tail without final caret", "^☆A^☆B", "B", "^☆A^★B"},
        {"line break after last caret kept", "^☆A^\r\n", "A", "^★A^\r\n"},
        {"text before the first caret kept", "x☆A^☆A^", "A", "x☆A^★A^"},
        {"no caret", "☆A", "A", "☆A"},
        {"empty", "", "A", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(markedPassed(s(c.text), s(c.lesson)), s(c.expected));
    }
}

TEST(ResultsText, EntriesListWhatCanBeSplit) {
    struct Case {
        const char *name, *text;
        QStringList expected;
    } cases[] = {
        {"two entries", "^☆Lesson 1^★Lesson 2^", {s("☆Lesson 1"), s("★Lesson 2")}},
        {"empty", "", {}},
        {"lone caret", "^", {}},
        {"no final caret", "^☆A^☆B", {s("☆A"), s("☆B")}},
        {"adjacent carets", "^^", {QString()}},
        {"line break after RTF reading", "^☆A^\r\n", {s("☆A")}},
        {"no caret at all", "☆A", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(resultsEntries(s(c.text)), c.expected);
    }
}

TEST(ResultsText, ClearFreshAndFileText) {
    EXPECT_EQ(clearedResults(s("^★A^☆B^★C★D^")), s("^☆A^☆B^☆C☆D^"));
    EXPECT_EQ(freshResults({s("第1课"), s("Lesson 10")}), s("^☆第1课^☆Lesson 10^"));
    EXPECT_EQ(freshResults({}), QString());
    EXPECT_EQ(resultsTextFromFile(s("^★A^\r\n")), s("^★A^"));
    // Without its final "^" the last entry is closed, and its break is not kept to grow.
    EXPECT_EQ(resultsTextFromFile(s("^★A^☆B\r\n")), s("^★A^☆B^"));
    EXPECT_EQ(resultsTextFromFile(s("^★A^☆B\r\n\r\n")), s("^★A^☆B^"));
    EXPECT_EQ(resultsTextFromFile(s("^★A^☆B")), s("^★A^☆B^"));
    EXPECT_EQ(markedPassed(resultsTextFromFile(s("^★A^☆B\r\n")), s("B")), s("^★A^★B^"));
    EXPECT_EQ(resultsTextFromFile(s("no entries\r\n")), s("no entries\r\n"));
}

TEST(ReviewFile, RoundTripAndDamagedLines) {
    const QList<ReviewEntry> entries{{1, 5, s("morning"), s("Good\tmorning."), 3},
                                     {0, 2, s("don't"), s("I don't know."), 1}};
    QList<ReviewEntry> back = parseReviewFile(reviewFileBytes(entries));
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[0].english, s("Good morning.")); // the tab would have cut the line
    back[0].english = entries[0].english;
    EXPECT_EQ(back, entries);

    const QByteArray damaged = "# comment\n"
                               "2\t1\t3\tword\tA word.\r\n"
                               "0\t1\t3\tzero\tcount\n"
                               "2\t0\t3\tnolesson\tx\n"
                               "2\t1\t3\n"
                               "x\t1\t3\tnan\n"
                               "2\t1\t4\t\tno word\n";
    const QList<ReviewEntry> read = parseReviewFile(damaged);
    ASSERT_EQ(read.size(), 1);
    EXPECT_EQ(read[0], (ReviewEntry{0, 3, s("word"), s("A word."), 2}));

    QList<ReviewEntry> order{{2, 1, s("b"), {}, 1}, {0, 1, s("a"), {}, 4}, {1, 1, s("c"), {}, 1}};
    sortMostMissed(order);
    EXPECT_EQ(order[0].word, s("a"));
    EXPECT_EQ(order[1].word, s("c"));
}

} // namespace
