#include "reviewfile.h"

#include <QStringList>
#include <algorithm>

namespace {

constexpr int maxNumber = 1 << 20;

int field(const QString &text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 1 && value <= maxNumber ? value : 0;
}

QString oneLine(QString text) {
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return text;
}

} // namespace

QList<ReviewEntry> parseReviewFile(QByteArrayView bytes) {
    QList<ReviewEntry> entries;
    const QString text = QString::fromUtf8(bytes);
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.front() == u'#')
            continue;
        const QStringList fields = line.toString().split(u'\t');
        if (fields.size() < 4)
            continue;
        ReviewEntry entry;
        entry.count = field(fields[0]);
        entry.lessonIndex = field(fields[1]) - 1;
        entry.sentence = field(fields[2]);
        entry.word = fields[3];
        entry.english = fields.value(4);
        if (entry.count < 1 || entry.lessonIndex < 0 || entry.sentence < 1 || entry.word.isEmpty())
            continue;
        entries.append(entry);
    }
    return entries;
}

QByteArray reviewFileBytes(const QList<ReviewEntry> &entries) {
    QString text = QStringLiteral(
        "# orvessa review list: count, lesson number, sentence number, word, sentence\n");
    for (const ReviewEntry &e : entries) {
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                    .arg(e.count)
                    .arg(e.lessonIndex + 1)
                    .arg(e.sentence)
                    .arg(oneLine(e.word), oneLine(e.english));
    }
    return text.toUtf8();
}

void sortMostMissed(QList<ReviewEntry> &entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ReviewEntry &a, const ReviewEntry &b) {
                         if (a.count != b.count)
                             return a.count > b.count;
                         if (a.lessonIndex != b.lessonIndex)
                             return a.lessonIndex < b.lessonIndex;
                         if (a.sentence != b.sentence)
                             return a.sentence < b.sentence;
                         return a.word < b.word;
                     });
}
