#include "resultstext.h"

#include "caretlist.h"

namespace {

bool isPassable(QStringView entry, QStringView lessonName) {
    return entry.size() == lessonName.size() + 1 && entry.front() == ResultsMark::notPassed &&
           entry.sliced(1) == lessonName;
}

void appendEntry(QString &out, QStringView entry, QStringView lessonName) {
    if (isPassable(entry, lessonName)) {
        out += QChar(ResultsMark::passed);
        out += lessonName;
    } else {
        out += entry;
    }
}

} // namespace

QStringList resultsEntries(QStringView text) {
    // The lesson-name lists are cut by the same rule, so both lists line up entry by entry.
    return splitCaretList(text);
}

QString markedPassed(QStringView text, QStringView lessonName) {
    qsizetype previous = text.indexOf(u'^');
    if (previous < 0)
        return text.toString();
    QString out;
    out.reserve(text.size());
    out += text.first(previous + 1);
    for (;;) {
        const qsizetype next = text.indexOf(u'^', previous + 1);
        if (next < 0) {
            appendEntry(out, text.sliced(previous + 1), lessonName);
            return out;
        }
        appendEntry(out, text.sliced(previous + 1, next - previous - 1), lessonName);
        out += u'^';
        previous = next;
    }
}

QString clearedResults(QStringView text) {
    QString out = text.toString();
    out.replace(QChar(ResultsMark::passed), QChar(ResultsMark::notPassed));
    return out;
}

QString freshResults(const QStringList &lessonNames) {
    if (lessonNames.isEmpty())
        return {};
    QString out = QStringLiteral("^");
    for (const QString &name : lessonNames) {
        out += QChar(ResultsMark::notPassed);
        out += name;
        out += u'^';
    }
    return out;
}

QString resultsTextFromFile(QString plainText) {
    const qsizetype last = plainText.lastIndexOf(u'^');
    if (last < 0)
        return plainText;
    // Line breaks at the end belong to no entry: kept, each save would add one more to the
    // last entry, which would then never match its lesson's name.
    qsizetype end = plainText.size();
    while (end > last + 1 && plainText[end - 1].isSpace())
        --end;
    plainText.truncate(end);
    if (end > last + 1)
        plainText += u'^'; // the last entry's own end
    return plainText;
}
