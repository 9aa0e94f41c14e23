#include "reviewlist.h"

#include "content/contentpaths.h"
#include "files/filebytes.h"
#include "pure/wrongword.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

constexpr qint64 maxReviewFileBytes = 1024 * 1024;

} // namespace

void ReviewList::load(const QString &bookTitle) {
    m_bookTitle = bookTitle;
    m_entries.clear();
    if (!isSafeBookTitle(bookTitle))
        return;
    const QString path = m_places.readPath(ContentFile::review(bookTitle));
    m_entries = parseReviewFile(readFileStart(path, maxReviewFileBytes).bytes);
    sortMostMissed(m_entries);
}

void ReviewList::record(int lessonIndex, int sentence, const QString &english,
                        const LetterCheck &check) {
    ReviewEntry missed{lessonIndex, sentence, wrongWord(english, check), english, 1};
    if (missed.word.isEmpty() || lessonIndex < 0 || sentence < 1)
        return;
    auto found = std::find_if(m_entries.begin(), m_entries.end(),
                              [&](const ReviewEntry &e) { return e.sameWord(missed); });
    if (found != m_entries.end()) {
        ++found->count;
        found->english = english;
    } else {
        m_entries.append(missed);
    }
    sortMostMissed(m_entries);
    while (m_entries.size() > maxEntries)
        m_entries.removeLast();
    save();
}

void ReviewList::clear() {
    m_entries.clear();
    save();
}

void ReviewList::save() {
    if (!isSafeBookTitle(m_bookTitle))
        return;
    const QString path = m_places.preparedWritePath(ContentFile::review(m_bookTitle));
    // The folder is ours, not the content's: made wherever the learner's files go.
    QDir().mkpath(QFileInfo(path).absolutePath());
    const SaveResult saved = saveSettingsFile(path, reviewFileBytes(m_entries), beforeReplace);
    if (saved.ok()) {
        m_failureTold = false;
    } else if (!m_failureTold) {
        m_failureTold = true;
        if (tellLearner)
            tellLearner(saveFailedText());
    }
}
