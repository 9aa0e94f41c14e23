#include "lessonrange.h"

LessonRangeStep nextInLessonRange(int position, int count, const QString &currentName,
                                  const QString &endName, int HN) {
    const int start = HN >= 0 && HN < count ? HN : 0;
    if (currentName == endName || position + 1 >= count || position < 0)
        return {start, true};
    return {position + 1, false};
}
