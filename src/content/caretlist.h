#pragma once

// A "^"-separated list, as in lesson-name lists and results files:
//   ^Lesson 1^Lesson 2^Lesson 3^

#include <QStringList>
#include <QStringView>

// The entries between consecutive "^" markers, exactly as stored (no trimming; two
// adjacent markers give an empty entry). Text before the first marker is ignored; text
// after the last marker is kept as a final entry unless it is only white space (a
// trailing line break). A text without "^" holds no entry.
QStringList splitCaretList(QStringView text);
