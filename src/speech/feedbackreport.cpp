#include "feedbackreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace {

// A JSON object keeps its keys sorted; the line's keys keep the order readers are promised,
// so the object is joined here from values QJsonDocument writes.
QString json(const QJsonValue &value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2)); // without "[" and "]"
}

QString object(const QList<std::pair<const char *, QString>> &members) {
    QStringList parts;
    for (const auto &[key, value] : members)
        parts << json(QString::fromLatin1(key)) + u':' + value;
    return u'{' + parts.join(u',') + u'}';
}

QString markName(WordMark mark) {
    switch (mark) {
    case WordMark::LeftOut:
        return QStringLiteral("left-out");
    case WordMark::Unclear:
        return QStringLiteral("unclear");
    case WordMark::NotChecked:
        return QStringLiteral("not-checked");
    case WordMark::Ok:
        break;
    }
    return QStringLiteral("ok");
}

QString paceName(Pace pace) {
    switch (pace) {
    case Pace::Slower:
        return QStringLiteral("slower");
    case Pace::Faster:
        return QStringLiteral("faster");
    case Pace::Even:
        break;
    }
    return QStringLiteral("even");
}

QString oneLine(QString text) {
    return text.replace(u'\t', QStringLiteral("\\t"))
        .replace(u'\r', QStringLiteral("\\r"))
        .replace(u'\n', QStringLiteral("\\n"));
}

} // namespace

QString feedbackJsonLine(const QString &recording, const SentenceFeedback &feedback,
                         std::optional<qint64> analysisMs) {
    QStringList words;
    for (const WordFeedback &w : feedback.words)
        words << object({{"text", json(w.text)},
                         {"mark", json(markName(w.mark))},
                         {"pace", json(paceName(w.pace))}});
    QList<std::pair<const char *, QString>> members = {
        {"recording", json(recording)},
        {"judged", json(feedback.judged)},
        {"reRecord", json(feedback.reRecord)},
        {"summary", json(feedback.summary)},
        {"words", u'[' + words.join(u',') + u']'},
    };
    if (analysisMs)
        members.append({"analysisMs", json(QJsonValue(*analysisMs))});
    return object(members);
}

QString feedbackTextLine(const QString &recording, const SentenceFeedback &feedback) {
    return oneLine(recording) + u'\t' + oneLine(feedback.summary);
}
