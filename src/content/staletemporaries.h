#pragma once

// Files our own writers leave behind when they are killed half way: a settings or results
// save (set.dat.k3x9a.tmp), an import's staged files (3.dat.importing) and its MP3
// conversion (.3.mp3.importing.Ab12Cd), a shift's or a recording's save (3.dat.Ab12Cd,
// Recorder.wav.Ab12Cd), a write probe. An earlier import also moved a file aside as
// X.previous while it replaced it; when X itself is missing, that is the only copy of X.
//
// Only names of these patterns count, in the folders where those writers write (the root,
// SETTING and its BookList, Results and Review, each book/<title> and Sound/<title>), and
// only once they are older than a minute: a younger one may be a write still going on in
// the other program or in the tool.

#include <QDateTime>
#include <QList>
#include <QString>

struct StaleTemporary {
    QString path;
    // For an X.previous whose X is missing: X, which it is put back as. Empty otherwise.
    QString restoresTo;
};

constexpr int staleTemporarySeconds = 60;

// The stale temporaries under root, in a stable order; nothing when root is missing.
QList<StaleTemporary> findStaleTemporaries(const QString &root,
                                           const QDateTime &now = QDateTime::currentDateTimeUtc());

// Removes the stale temporaries under root and puts an orphaned X.previous back as X.
// Returns how many files it removed or put back; what it cannot remove it leaves.
int removeStaleTemporaries(const QString &root);

// The same for one folder only (a book's, for a tool that writes a single file there).
int removeStaleTemporariesIn(const QString &folder);
