#include "content/caretlist.h"
#include "content/catalogue.h"
#include "content/textcodec.h"

#include "contentfixtures.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitCaretList, EntriesBetweenMarkers) {
    const std::pair<QString, QStringList> cases[] = {
        {QString(), {}},
        {QStringLiteral("no marker"), {}},
        {QStringLiteral("^"), {}},
        {QStringLiteral("^^"), {QString()}},
        {QStringLiteral("^Lesson 1^Lesson 2^Lesson 3^"),
         {QStringLiteral("Lesson 1"), QStringLiteral("Lesson 2"), QStringLiteral("Lesson 3")}},
        // Names are kept exactly, spaces included; an empty name keeps its place.
        {QStringLiteral("^ a ^^c^"), {QStringLiteral(" a "), QString(), QStringLiteral("c")}},
        {QStringLiteral("junk^a^"), {QStringLiteral("a")}},
        // The paragraph end of an RTF-saved file is no entry; other trailing text is.
        {QStringLiteral("^a^b^\r\n"), {QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("^a^b"), {QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("^a^ b \r\n"), {QStringLiteral("a"), QStringLiteral(" b \r\n")}},
        {QStringLiteral("^☆Lesson 1^★Lesson 2^"),
         {QStringLiteral("☆Lesson 1"), QStringLiteral("★Lesson 2")}},
    };
    for (const auto &[text, entries] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(splitCaretList(text), entries);
    }
}

TEST(SplitCaretList, GbkLessonNameList) {
    EXPECT_EQ(splitCaretList(decodeText(contentFixture("booklist_gbk.dat"))),
              QStringList({QStringLiteral("第一课"), QStringLiteral("第二课"), QString(),
                           QStringLiteral("Lesson 4")}));
}

TEST(BookTitles, BothPrograms) {
    const QStringList &titles = bookTitles(Program::Orvessa);
    ASSERT_EQ(titles.size(), 15);
    EXPECT_EQ(titles.first(), QStringLiteral("英语900句"));
    EXPECT_EQ(titles[5], QStringLiteral("Merrow365句"));
    EXPECT_EQ(titles[10], QStringLiteral("英语口语8000句"));
    EXPECT_EQ(titles.last(), QStringLiteral("新概念英语第四册"));
    EXPECT_EQ(bookTitles(Program::Mini), QStringList{QStringLiteral("英语900句")});
    EXPECT_FALSE(titles.contains(initialBookTitle()));
}

} // namespace
