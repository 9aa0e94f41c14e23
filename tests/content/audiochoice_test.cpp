#include "content/audiochoice.h"

#include <gtest/gtest.h>

namespace {

const QString dir = QStringLiteral("/p/Sound/book");

struct AudioCase {
    Program program;
    const char *title;
    int lesson;
    std::optional<QString> path; // file name in dir, empty when none is chosen; nothing when
                                 // nothing is chosen or checked
    const char *mustExist;       // file name in dir; "" for no check
};

TEST(ChooseLessonAudio, TablesOfBothPrograms) {
    const auto o = Program::Orvessa;
    const auto m = Program::Mini;
    const AudioCase cases[] = {
        {o, "英语会话入门教程", 3, QStringLiteral("3.wma"), "3.wma"},
        {o, "英语口语900句", 7, QStringLiteral("7.wma"), "7.wma"},
        {o, "英语900句", 7, QStringLiteral("7.mp3"), "7.mp3"},
        {o, "新概念英语第一册", 144, QStringLiteral("144.mp3"), "144.mp3"},
        // The comparison is exact: a near title takes the default rule.
        {o, "英语口语900句 ", 7, QStringLiteral("7.mp3"), "7.mp3"},
        {o, "英语口语8000句", 1, QStringLiteral("1.mp3"), "39.mp3"},
        {o, "英语口语8000句", 7, QStringLiteral("1.mp3"), "39.mp3"},
        {o, "英语口语8000句", 8, QStringLiteral("2.mp3"), "39.mp3"},
        {o, "英语口语8000句", 40, QStringLiteral("8.mp3"), "39.mp3"},
        {o, "英语口语8000句", 52, QStringLiteral("8.mp3"), "39.mp3"},
        {o, "英语口语8000句", 53, QStringLiteral("9.mp3"), "39.mp3"},
        {o, "英语口语8000句", 94, QStringLiteral("15.mp3"), "39.mp3"},
        {o, "英语口语8000句", 95, QStringLiteral("16.mp3"), "39.mp3"},
        {o, "英语口语8000句", 110, QStringLiteral("19.mp3"), "39.mp3"},
        {o, "英语口语8000句", 121, QStringLiteral("27.mp3"), "39.mp3"},
        {o, "英语口语8000句", 122, QStringLiteral("28.mp3"), "39.mp3"},
        {o, "英语口语8000句", 146, QStringLiteral("33.mp3"), "39.mp3"},
        {o, "英语口语8000句", 158, QStringLiteral("36.mp3"), "39.mp3"},
        {o, "英语口语8000句", 175, QStringLiteral("36.mp3"), "39.mp3"},
        {o, "英语口语8000句", 176, QStringLiteral("37.mp3"), "39.mp3"},
        {o, "英语口语8000句", 182, QStringLiteral("38.mp3"), "39.mp3"},
        {o, "英语口语8000句", 184, QStringLiteral("39.mp3"), "39.mp3"},
        // Beyond the table no file is chosen, but the last group file is still checked.
        {o, "英语口语8000句", 185, QString(), "39.mp3"},
        {o, "英语900句", 0, std::nullopt, ""},
        // Mini's group books are not orvessa's, and the other way round.
        {o, "雅思口语900句", 66, QStringLiteral("66.mp3"), "66.mp3"},
        {m, "英语口语900句", 7, QStringLiteral("7.mp3"), "7.mp3"},
        {m, "英语口语8000句", 40, QStringLiteral("40.mp3"), "40.mp3"},
        {m, "英语900句", 12, QStringLiteral("12.mp3"), "12.mp3"},
        {m, "雅思口语900句", 1, QStringLiteral("1.mp3"), ""},
        {m, "雅思口语900句", 10, QStringLiteral("1.mp3"), ""},
        {m, "雅思口语900句", 11, QStringLiteral("2.mp3"), ""},
        {m, "雅思口语900句", 51, QStringLiteral("6.mp3"), ""},
        {m, "雅思口语900句", 65, QStringLiteral("6.mp3"), ""},
        {m, "雅思口语900句", 66, QStringLiteral("7.mp3"), ""},
        {m, "雅思口语900句", 75, QStringLiteral("7.mp3"), ""},
        {m, "雅思口语900句", 76, std::nullopt, ""},
        {m, "常用会话900句", 18, QStringLiteral("1.mp3"), ""},
        {m, "常用会话900句", 19, QStringLiteral("2.mp3"), ""},
        {m, "常用会话900句", 54, QStringLiteral("3.mp3"), ""},
        {m, "常用会话900句", 69, QStringLiteral("5.mp3"), ""},
        {m, "常用会话900句", 88, QStringLiteral("6.mp3"), ""},
        {m, "常用会话900句", 105, QStringLiteral("6.mp3"), ""},
        {m, "常用会话900句", 106, std::nullopt, ""},
        {m, "常用会话900句", 0, std::nullopt, ""},
    };
    for (const AudioCase &c : cases) {
        const QString title = QString::fromUtf8(c.title);
        SCOPED_TRACE(testing::Message() << (c.program == m ? "mini " : "orvessa ") << c.title
                                        << " lesson " << c.lesson);
        const std::optional<AudioChoice> choice =
            chooseLessonAudio(c.program, dir, title, c.lesson);
        ASSERT_EQ(choice.has_value(), c.path.has_value());
        if (!choice) {
            continue;
        }
        EXPECT_EQ(choice->path, c.path->isEmpty() ? QString() : dir + u'/' + *c.path);
        const QString mustExist = QString::fromUtf8(c.mustExist);
        EXPECT_EQ(choice->mustExist, mustExist.isEmpty() ? QString() : dir + u'/' + mustExist);
    }
}

TEST(ChooseLessonAudio, EveryLessonOfTheGroupBookHasAGroup) {
    // Groups run without gaps: each lesson's group is the previous one's or the next.
    int previous = 1;
    for (int lesson = 1; lesson <= 184; ++lesson) {
        const std::optional<AudioChoice> choice =
            chooseLessonAudio(Program::Orvessa, dir, QStringLiteral("英语口语8000句"), lesson);
        ASSERT_TRUE(choice) << lesson;
        const int group = choice->path.section(u'/', -1).chopped(4).toInt();
        EXPECT_TRUE(group == previous || group == previous + 1) << lesson;
        previous = group;
    }
    EXPECT_EQ(previous, 39);
}

} // namespace
