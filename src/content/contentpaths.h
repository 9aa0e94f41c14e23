#pragma once

// Where the content lies inside a program directory. Book titles are used character for
// character as folder and file names, so a title must pass isSafeBookTitle() before any
// of these paths is opened.

#include <QString>
#include <QStringView>

// A safe title is one plain file-name component on Linux and Windows: 1 to 200
// characters; no control character, no / \ : * ? " < > |, no unpaired surrogate; no
// space at either end and no "." at its end (which also refuses "." and ".."); not a
// Windows device name (CON, PRN, AUX, NUL, COM1..9, LPT1..9, also before a ".").
bool isSafeBookTitle(QStringView title);

// Paths relative to a program directory (or the per-user folder that mirrors it), for
// DataPlaces. lessonNumber is 1-based and written in decimal without sign or leading zeros.
namespace ContentFile {
QString lessonText(const QString &bookTitle, int lessonNumber); // book/<title>/<n>.dat
QString bookList(const QString &bookTitle);                     // SETTING/BookList/<title>.dat
QString results(const QString &bookTitle);                      // SETTING/Results/<title>.dat
QString review(const QString &bookTitle);                       // SETTING/Review/<title>.txt
QString soundDir(const QString &bookTitle);                     // Sound/<title>
QString settings(bool mini);                                    // SETTING/set.dat, mnset.dat
QString recorder();                                             // Recorder.wav
} // namespace ContentFile

// The same files under programDir.
QString lessonTextPath(const QString &programDir, const QString &bookTitle, int lessonNumber);
QString bookListPath(const QString &programDir, const QString &bookTitle);
QString resultsPath(const QString &programDir, const QString &bookTitle);
QString soundDir(const QString &programDir, const QString &bookTitle);
QString settingsPath(const QString &programDir, bool mini);
QString clickSoundPath(const QString &programDir, const QString &fileName); // SETTING/Sound/...
QString bitmapPath(const QString &programDir, const QString &fileName);     // bitmap/...
