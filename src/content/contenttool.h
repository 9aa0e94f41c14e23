#pragma once

#include "lessonimport.h"

#include <QStringList>
#include <QTextStream>

// The content authors' command-line tool: lesson, booklist, settings, results, check,
// import, shift.
// args excludes the program name. Returns the process exit status; every failure
// prints one line on err and returns non-zero. audio reads and converts the audio of an
// import; without it import fails.
int runContentTool(const QStringList &args, QTextStream &out, QTextStream &err,
                   const AudioTools &audio = {});
