// What the settings dialog reads from and calls on mini's window.
#pragma once
#include <QColor>
#include <QString>
#include <QStringList>

class MiniSettingsHost {
public:
    virtual ~MiniSettingsHost() = default;
    // Read when the dialog opens (and after fwa for the lesson lists).
    virtual QString bookText() const = 0; // the book selector's text
    // The books the dialog offers, in order: its own entry, the installed books of the
    // catalogue and the learner's. The current book is added by the dialog when missing.
    virtual QStringList bookChoices() const = 0;
    // Whether a book has its lesson-name list here; others are shown but cannot be chosen.
    virtual bool isBookInstalled(const QString &title) const = 0;
    virtual QString lessonListBuffer() const = 0; // the book's "^"-separated lesson names
    virtual int HN() const = 0;                   // 0-based start lesson of the range
    virtual QString endLessonText() const = 0;    // the end-lesson box
    virtual QString repeatText() const = 0;       // Combo2's text
    virtual QString pauseText() const = 0;        // Combo3's text
    virtual QColor background() const = 0;
    virtual QColor textColour() const = 0; // the English line's
    // Choices that act at once.
    // A book chosen: the window reloads its list, and the range becomes the whole new book.
    virtual void fwa(const QString &bookText) = 0;
    virtual void setnum(const QString &repeatText) = 0;
    virtual void settime(const QString &pauseText) = 0;
    // 确定, steps 1 to 7 in their order, as one call: book text, lesson list position :=
    // startPosition, load it (and the one-shot reload 10 ms later), end-lesson box := endLesson,
    // HN := startPosition, background, English and Chinese text colour.
    virtual void applyOk(const QString &bookText, int startPosition, const QString &endLesson,
                         const QColor &background, const QColor &textColour) = 0;
};
