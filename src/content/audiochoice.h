#pragma once

#include "programprofile.h"

#include <QString>
#include <optional>

// The lesson audio file chosen for a lesson, by the book's rules.
struct AudioChoice {
    QString path;      // becomes voiceFile
    QString mustExist; // the file whose absence is reported; empty when nothing is checked
};

// soundDir is <program directory>/Sound/<book title>; lessonNumber is 1-based.
// Nothing is chosen for a lesson beyond a group table, nor for a lesson number below 1
// (no lesson selected): voiceFile then keeps its value.
std::optional<AudioChoice> chooseLessonAudio(Program program, const QString &soundDir,
                                             const QString &bookTitle, int lessonNumber);
