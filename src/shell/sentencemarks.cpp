#include "sentencemarks.h"

namespace {

QString markText(WordMark mark) {
    switch (mark) {
    case WordMark::LeftOut:
        return QStringLiteral("漏读");
    case WordMark::Unclear:
        return QStringLiteral("不清楚");
    case WordMark::Ok:
    case WordMark::NotChecked:
        break;
    }
    return {};
}

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'\'' || c == u'’';
}

// Where word stands in sentence at or after from as a whole word, or -1.
qsizetype findWord(const QString &sentence, const QString &word, qsizetype from) {
    for (qsizetype at = sentence.indexOf(word, from); at >= 0;
         at = sentence.indexOf(word, at + 1)) {
        const qsizetype end = at + word.size();
        if ((at == 0 || !isWordCharacter(sentence[at - 1])) &&
            (end == sentence.size() || !isWordCharacter(sentence[end])))
            return at;
    }
    return -1;
}

} // namespace

QString markedSentenceHtml(const QString &sentence, const std::vector<WordFeedback> &words) {
    QString html;
    qsizetype done = 0;  // copied into html up to here
    qsizetype after = 0; // the next word is looked for from here
    for (const WordFeedback &w : words) {
        const qsizetype at = w.text.isEmpty() ? -1 : findWord(sentence, w.text, after);
        if (at < 0)
            continue;
        after = at + w.text.size();
        const QString mark = markText(w.mark);
        if (mark.isEmpty())
            continue;
        const QString colour =
            w.mark == WordMark::LeftOut ? QStringLiteral("#A8641E") : QStringLiteral("#7A6A2E");
        html += sentence.mid(done, at - done).toHtmlEscaped();
        html += QStringLiteral("<span style=\"color:%1; text-decoration:underline;\">%2</span>"
                               "<sup style=\"color:%1;\">%3</sup>")
                    .arg(colour, w.text.toHtmlEscaped(), mark);
        done = after;
    }
    return html + sentence.mid(done).toHtmlEscaped();
}
