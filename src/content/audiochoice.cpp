#include "audiochoice.h"

#include <algorithm>
#include <array>

namespace {

// Group tables: lastLesson[g - 1] is the highest lesson number in group file g.mp3;
// groups follow each other without gaps from lesson 1.
constexpr std::array<int, 39> spoken8000LastLessons = {
    7,   15,  18,  23,  30,  37,  39,  52,  63,  68,  74,  83,  91,
    93,  94,  96,  104, 109, 110, 114, 115, 116, 117, 118, 119, 120,
    121, 130, 135, 139, 140, 145, 146, 149, 157, 175, 181, 182, 184};
constexpr std::array<int, 7> ielts900LastLessons = {10, 20, 30, 40, 50, 65, 75};
constexpr std::array<int, 6> conversation900LastLessons = {18, 38, 54, 68, 87, 105};

template <size_t N>
std::optional<int> groupOf(const std::array<int, N> &lastLessons, int lessonNumber) {
    if (lessonNumber < 1) {
        return std::nullopt;
    }
    const auto it = std::lower_bound(lastLessons.begin(), lastLessons.end(), lessonNumber);
    if (it == lastLessons.end()) {
        return std::nullopt;
    }
    return static_cast<int>(it - lastLessons.begin()) + 1;
}

QString fileIn(const QString &dir, int number, const char *suffix) {
    return dir + u'/' + QString::number(number) + QLatin1StringView(suffix);
}

AudioChoice checked(QString path) {
    AudioChoice choice;
    choice.mustExist = path;
    choice.path = std::move(path);
    return choice;
}

template <size_t N>
std::optional<AudioChoice> groupChoice(const std::array<int, N> &lastLessons, const QString &dir,
                                       int lessonNumber, QString mustExist) {
    const std::optional<int> group = groupOf(lastLessons, lessonNumber);
    if (!group) {
        return std::nullopt;
    }
    return AudioChoice{fileIn(dir, *group, ".mp3"), std::move(mustExist)};
}

} // namespace

std::optional<AudioChoice> chooseLessonAudio(Program program, const QString &soundDir,
                                             const QString &bookTitle, int lessonNumber) {
    if (lessonNumber < 1) {
        return std::nullopt;
    }
    if (program == Program::Mini) {
        if (bookTitle == u"雅思口语900句") {
            return groupChoice(ielts900LastLessons, soundDir, lessonNumber, {});
        }
        if (bookTitle == u"常用会话900句") {
            return groupChoice(conversation900LastLessons, soundDir, lessonNumber, {});
        }
        return checked(fileIn(soundDir, lessonNumber, ".mp3"));
    }
    if (bookTitle == u"英语会话入门教程" || bookTitle == u"英语口语900句") {
        return checked(fileIn(soundDir, lessonNumber, ".wma"));
    }
    if (bookTitle == u"英语口语8000句") {
        // The last group file stands for the whole book's audio; it is checked before the
        // group is looked up, so a lesson beyond the table is checked too.
        QString lastGroup = fileIn(soundDir, 39, ".mp3");
        if (std::optional<AudioChoice> choice =
                groupChoice(spoken8000LastLessons, soundDir, lessonNumber, lastGroup)) {
            return choice;
        }
        return AudioChoice{QString(), std::move(lastGroup)};
    }
    return checked(fileIn(soundDir, lessonNumber, ".mp3"));
}
