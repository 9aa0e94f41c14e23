#pragma once

#include "programprofile.h"

#include <QString>
#include <optional>

// The lesson audio file chosen for a lesson, by the book's rules.
struct AudioChoice {
    QString path;      // becomes voiceFile; empty when no file is chosen
    QString mustExist; // the file whose absence is reported; empty when nothing is checked
};

// soundDir is <program directory>/Sound/<book title>; lessonNumber is 1-based.
// No file is chosen for a lesson beyond a group table, nor for a lesson number below 1
// (no lesson selected): voiceFile then keeps its value. A book whose check does not
// depend on the group (英语口语8000句) still names its file to check beyond the table;
// otherwise nothing is returned.
std::optional<AudioChoice> chooseLessonAudio(Program program, const QString &soundDir,
                                             const QString &bookTitle, int lessonNumber);
