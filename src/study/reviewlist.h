#pragma once

#include "content/dataplaces.h"
#include "content/reviewfile.h"
#include "content/settingsfile.h"

#include <QList>
#include <QString>
#include <functional>
#include <utility>

struct LetterCheck;

// The learner's review list ("易错词") of the current book: every wrong dictation check
// counts the word it stumbled on. Kept in SETTING/Review/<title>.txt of the learner's data
// (reviewfile.h), saved atomically after each change. Like the results, the entries travel
// with the title they were read for.
class ReviewList {
public:
    explicit ReviewList(DataPlaces places) : m_places(std::move(places)) {}

    void load(const QString &bookTitle);
    // Counts the word holding check's first wrong or missing letter in sentence number
    // sentence (1-based) of lesson lessonIndex (0-based), then saves. A check that names no
    // word (right, or surplus typing) changes nothing.
    void record(int lessonIndex, int sentence, const QString &english, const LetterCheck &check);
    void clear();

    const QString &bookTitle() const { return m_bookTitle; }
    // Most-missed first.
    const QList<ReviewEntry> &entries() const { return m_entries; }

    std::function<void(const QString &text)> tellLearner;
    BeforeReplaceHook beforeReplace;

    static QString saveFailedText() {
        return QStringLiteral("易错词未能保存，原来的记录保持不变。");
    }
    // The least-missed words give way beyond this, so the file stays small.
    static constexpr int maxEntries = 500;

private:
    void save();

    DataPlaces m_places;
    QString m_bookTitle;
    QList<ReviewEntry> m_entries;
    // A review list saved after every wrong check would otherwise repeat its message on
    // every keystroke of a read-only folder; told again only after a save succeeded.
    bool m_failureTold = false;
};
