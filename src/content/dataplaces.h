#pragma once

// Where the programs read and write their files.
//
// The program directory holds what ships: books, audio, lesson-name lists, skin, sounds,
// help. When it is writable (a portable copy, a build tree) it is the only place, as the
// stored files and the content tool expect. When it is not (an installed package), what the
// programs write (the settings records, the dictation results, the learner's recordings)
// goes to a per-user folder under the same relative paths, and every read looks there
// first: the learner's own copy of a file, or a book the learner added, stands before the
// shipped one, and a shipped file is the starting point until the learner's copy exists.
//
// Relative paths are '/'-separated and start below the root: "SETTING/set.dat".

#include <QString>
#include <QStringList>
#include <QStringView>

class DataPlaces {
public:
    DataPlaces() = default; // no program directory yet: paths hang from ""
    // Reads and writes both in programDir.
    static DataPlaces portable(QString programDir);
    // Writes in userDir; reads in userDir first, then in programDir.
    static DataPlaces withUserFolder(QString programDir, QString userDir);
    // The rule of a running program: portable when programDir is writable, otherwise with
    // the per-user folder userDir (the desktop's standard place when empty).
    static DataPlaces forProgram(const QString &programDir, const QString &userDir = {});

    // The desktop's per-user data folder of both programs (~/.local/share/orvessa).
    static QString standardUserFolder();
    // Whether dir is the learner's folder, however it is spelt, existing or not.
    static bool isStandardUserFolder(const QString &dir);
    // When dir is the learner's folder (standardUserFolder(), however it is spelt) and does
    // not exist yet, makes it, as the programs' first save does; a tool writing there may come
    // before either program ever ran. True when dir is a folder afterwards.
    static bool prepareStandardUserFolder(const QString &dir);
    // Whether the programs can write what they write beside the shipped files: a file can
    // be created in dir and in its SETTING folder. Tried, not read off the permission bits,
    // which say nothing on a read-only mount or for root.
    static bool isWritableProgramDir(const QString &dir);

    const QString &programDir() const { return m_programDir; }
    const QString &userDir() const { return m_userDir; } // empty when portable
    bool isPortable() const { return m_userDir.isEmpty(); }
    // The folder writes go to: the program directory when portable, else the learner's.
    const QString &writeRoot() const { return isPortable() ? m_programDir : m_userDir; }
    // The folders reads look in, first to last.
    QStringList roots() const;

    // The first existing file or folder under the roots, else where the shipped one would be.
    QString readPath(QStringView relative) const;
    // Where relative is written.
    QString writePath(QStringView relative) const;
    // writePath(relative), with its folders made where they are the learner's own: in the
    // per-user folder. The program directory's folders ship with it; a missing one there
    // stays missing and the save reports it.
    QString preparedWritePath(QStringView relative) const;
    // What ships, whatever the mode: skin pictures, click sounds, help.
    QString shippedPath(QStringView relative) const;

    bool operator==(const DataPlaces &) const = default;

private:
    DataPlaces(QString programDir, QString userDir);
    static QString under(const QString &root, QStringView relative);

    QString m_programDir;
    QString m_userDir;
};
