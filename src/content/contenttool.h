#pragma once

#include <QStringList>
#include <QTextStream>

// The content authors' command-line tool: lesson, booklist, settings, results, check, shift.
// args excludes the program name. Returns the process exit status; every failure
// prints one line on err and returns non-zero.
int runContentTool(const QStringList &args, QTextStream &out, QTextStream &err);
