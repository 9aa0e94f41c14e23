#pragma once

// Where the content lies inside a program directory. Book titles are used character for
// character as folder and file names, so a title must pass isSafeBookTitle() before any
// of these paths is opened.

#include <QString>
#include <QStringView>

bool isSafeBookTitle(QStringView title);

QString lessonTextPath(const QString &programDir, const QString &bookTitle, int lessonNumber);
QString bookListPath(const QString &programDir, const QString &bookTitle);
QString resultsPath(const QString &programDir, const QString &bookTitle);
QString soundDir(const QString &programDir, const QString &bookTitle);
QString settingsPath(const QString &programDir, bool mini);
QString clickSoundPath(const QString &programDir, const QString &fileName); // SETTING/Sound/...
QString bitmapPath(const QString &programDir, const QString &fileName);     // bitmap/...
