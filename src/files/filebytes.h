#pragma once

#include <QByteArray>
#include <QString>

// Every file the programs and the tool read or write is opened through here. A FIFO or a
// device under a file's name would block a read or a write for ever (at start-up, or once
// 录音 is pressed), and a huge file would be read into memory whole; a folder or a link to
// one of these is no better.

// Whether a file may be opened: missing, a regular file (through any links), or something
// else. Files streamed from disk (audio for FFmpeg and the players) need only this.
enum class FileKind { Missing, Regular, NotRegular };
FileKind fileKind(const QString &path);

// The error texts below, for a caller that names the file itself.
QString fileKindProblem(FileKind kind); // empty for a regular file

// A file's bytes, or why they could not be read.
struct FileBytes {
    QByteArray bytes;
    QString error; // empty when the bytes were read; "no such file" when there is none
    bool missing = false;
    bool tooLarge = false; // larger than the caller's cap: nothing of it was taken
};

inline constexpr qint64 maxContentFileBytes = 64 * 1024 * 1024;

// The whole of a regular file of at most maxBytes. A larger one is refused rather than cut,
// so that nothing is ever taken (or written back) as if it were the whole file.
FileBytes readFileBytes(const QString &path, qint64 maxBytes = maxContentFileBytes);

// At most the first maxBytes of a regular file, for records whose end is found in their
// start (the settings): a longer file is damaged or foreign, its tail ignored.
FileBytes readFileStart(const QString &path, qint64 maxBytes);

// Why a writer may not create or replace path: empty when it is missing or a regular file.
QString writeTargetProblem(const QString &path);
