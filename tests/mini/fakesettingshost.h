#pragma once

#include "mini/minisettingshost.h"

#include <QColor>
#include <QStringList>

#include <optional>

// The window as the settings dialog sees it: values to read, and a record of every call.
struct FakeSettingsHost : MiniSettingsHost {
    struct Applied {
        QString book;
        int start;
        QString endLesson;
        QColor background;
        QColor text;
    };

    QString book = QStringLiteral("新概念英语第一册");
    QString buffer = QStringLiteral("^Lesson 1^Lesson 2^Lesson 3^Lesson 4^");
    int hn = 2;
    QString endLesson = QStringLiteral("Lesson 4");
    QString repeat = QStringLiteral("3");
    QString pause = QStringLiteral("20");
    QColor backgroundColour{29, 56, 91};
    QColor textColourValue{255, 255, 0};

    QStringList choices{QStringLiteral("新概念英语第一册")}; // the books offered
    QStringList uninstalled;                                 // of those, the ones without lessons
    QStringList booksLoaded;
    QStringList repeatsSet;
    QStringList pausesSet;
    std::optional<Applied> applied;
    // What lessonListBuffer() gives once fwa() has loaded a book.
    QString bufferAfterFwa = QStringLiteral("^Lesson A^Lesson B^");

    QString bookText() const override { return book; }
    QStringList bookChoices() const override { return choices; }
    bool isBookInstalled(const QString &title) const override {
        return !uninstalled.contains(title);
    }
    QString lessonListBuffer() const override { return buffer; }
    int HN() const override { return hn; }
    QString endLessonText() const override { return endLesson; }
    QString repeatText() const override { return repeat; }
    QString pauseText() const override { return pause; }
    QColor background() const override { return backgroundColour; }
    QColor textColour() const override { return textColourValue; }
    void fwa(const QString &bookText) override {
        booksLoaded << bookText;
        buffer = bufferAfterFwa;
    }
    void setnum(const QString &repeatText) override { repeatsSet << repeatText; }
    void settime(const QString &pauseText) override { pausesSet << pauseText; }
    void applyOk(const QString &bookText, int startPosition, const QString &endLessonName,
                 const QColor &background, const QColor &textColour) override {
        applied = Applied{bookText, startPosition, endLessonName, background, textColour};
    }
};
