// What the settings dialog reads from and calls on mini's window.
#pragma once
#include <QColor>
#include <QString>
#include <QStringList>

class MiniSettingsHost {
public:
    virtual ~MiniSettingsHost() = default;
    // Read when the dialog opens (and after fwa for the lesson lists).
    virtual QString bookText() const = 0;         // the book selector's text
    virtual QStringList ownBooks() const = 0;     // books added beside the catalogue
    virtual QString lessonListBuffer() const = 0; // the book's "^"-separated lesson names
    virtual int HN() const = 0;                   // 0-based start lesson of the range
    virtual QString endLessonText() const = 0;    // the end-lesson box
    virtual QString repeatText() const = 0;       // Combo2's text
    virtual QString pauseText() const = 0;        // Combo3's text
    virtual QColor background() const = 0;
    virtual QColor textColour() const = 0; // the English line's
    // Choices that act at once.
    virtual void fwa(const QString &bookText) = 0; // a book chosen: the window reloads its list
    virtual void setnum(const QString &repeatText) = 0;
    virtual void settime(const QString &pauseText) = 0;
    // 确定, steps 1 to 7 in their order, as one call: book text, lesson list position :=
    // startPosition, load it (and the one-shot reload 10 ms later), end-lesson box := endLesson,
    // HN := startPosition, background, English and Chinese text colour.
    virtual void applyOk(const QString &bookText, int startPosition, const QString &endLesson,
                         const QColor &background, const QColor &textColour) = 0;
};
