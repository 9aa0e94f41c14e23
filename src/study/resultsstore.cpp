#include "resultsstore.h"

#include "content/contentpaths.h"
#include "content/resultstext.h"
#include "content/richtext.h"
#include "files/filebytes.h"

namespace {

// A results file lists a book's lessons; anything larger is not one of ours.
constexpr qint64 maxResultsFileBytes = 4 * 1024 * 1024;

} // namespace

void ResultsStore::load(const QString &bookTitle, const QStringList &lessonNames) {
    m_bookTitle = bookTitle;
    m_text.clear();
    m_keptInMemory = m_keptInMemoryTold = false;
    if (!isSafeBookTitle(bookTitle))
        return;
    const FileBytes file =
        readFileBytes(m_places.readPath(ContentFile::results(bookTitle)), maxResultsFileBytes);
    // Written back, a part of the file would stand for the whole: the marks of this book then
    // live in memory only, and the file stays as it is.
    m_keptInMemory = !file.error.isEmpty() && !file.missing;
    m_text = resultsTextFromFile(plainTextFromFileBytes(file.bytes));
    if (resultsEntries(m_text).isEmpty())
        m_text = freshResults(lessonNames);
}

QStringList ResultsStore::entries() const {
    return resultsEntries(m_text);
}

void ResultsStore::markPassed(const QString &lessonName) {
    m_text = markedPassed(m_text, lessonName);
    if (show)
        show();
    save();
}

void ResultsStore::clear() {
    m_text = clearedResults(m_text);
    if (show)
        show();
    save();
}

void ResultsStore::save() {
    // No book, or a title that cannot be a file name: there is no file to keep the marks in.
    if (!isSafeBookTitle(m_bookTitle))
        return;
    if (m_keptInMemory) {
        if (!m_keptInMemoryTold && tellLearner)
            tellLearner(unreadFileText());
        m_keptInMemoryTold = true;
        return;
    }
    const SaveResult saved =
        saveSettingsFile(m_places.preparedWritePath(ContentFile::results(m_bookTitle)),
                         settingsRtfDocument(m_text), beforeReplace);
    if (!saved.ok() && tellLearner)
        tellLearner(saveFailedText());
}
