#pragma once

#include "content/dataplaces.h"
#include "content/settingsfile.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

// The dictation results of the current book (RichTextBox6): which lessons the learner has
// passed. The text always travels with the title it was read for, so that a save can only
// ever go to that book's file, whatever book is current by then.
//
// Saved as an RTF document of the text, as the settings records are, atomically: a failed
// save leaves the old file as it was and is told to the learner once. A file that could not
// be read whole is never written.
class ResultsStore {
public:
    explicit ResultsStore(DataPlaces places) : m_places(std::move(places)) {}

    // The book's results file, read through the learner's folder first. A book without a
    // readable file with entries starts from its lesson-name list, every lesson not passed,
    // so that the first pass is kept rather than lost in an empty text. Nothing is written.
    void load(const QString &bookTitle, const QStringList &lessonNames);

    // In this order: the lesson's entry marked passed (an entry already passed, or none of
    // that name, leaves the text as it was), show, save.
    void markPassed(const QString &lessonName);
    // In this order: every mark of the book back to not passed, show, save.
    void clear();

    const QString &bookTitle() const { return m_bookTitle; }
    const QString &text() const { return m_text; }
    QStringList entries() const;

    // Show the results panel with entries().
    std::function<void()> show;
    // One short message to the learner.
    std::function<void(const QString &text)> tellLearner;
    // Handed to the atomic save (tests stop it before the replace).
    BeforeReplaceHook beforeReplace;

    static QString saveFailedText() { return QStringLiteral("成绩未能保存，原来的成绩保持不变。"); }
    static QString unreadFileText() {
        return QStringLiteral(
            "成绩文件过大或无法完整读出，本次的成绩不会保存，原来的文件保持不变。");
    }

private:
    void save();

    DataPlaces m_places;
    QString m_bookTitle;
    QString m_text;
    // The book's file is there but could not be read whole (too large, unreadable, not a
    // regular file): saves are told once and skipped.
    bool m_keptInMemory = false;
    bool m_keptInMemoryTold = false;
};
