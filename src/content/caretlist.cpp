#include "caretlist.h"

QStringList splitCaretList(QStringView text) {
    QStringList entries;
    qsizetype previous = text.indexOf(u'^');
    if (previous < 0) {
        return entries;
    }
    for (;;) {
        const qsizetype next = text.indexOf(u'^', previous + 1);
        if (next < 0) {
            break;
        }
        entries.append(text.sliced(previous + 1, next - previous - 1).toString());
        previous = next;
    }
    // The supplied files end with "^"; files saved by the program as RTF end with a
    // paragraph end after it, which is no entry.
    const QStringView tail = text.sliced(previous + 1);
    for (const QChar c : tail) {
        if (!c.isSpace()) {
            entries.append(tail.toString());
            break;
        }
    }
    return entries;
}
