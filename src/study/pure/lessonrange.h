#pragma once

#include <QString>

// Where mini's continuous playback goes once the last sentence of a lesson has had all its
// repeats: the next lesson of the list until the lesson named as the range's end, then the
// range's start lesson again, without end.
struct LessonRangeStep {
    int position = 0;     // the lesson list position to select and load
    bool wrapped = false; // back at the start of the range
};

// position: the lesson list's current position; count: its entries; currentName: its text;
// endName: the end-lesson box; HN: the start lesson's position. An end name that matches no
// lesson never stops the advance: past the list's last lesson it goes on with the start
// lesson. A start beyond the list starts at its first lesson.
LessonRangeStep nextInLessonRange(int position, int count, const QString &currentName,
                                  const QString &endName, int HN);
