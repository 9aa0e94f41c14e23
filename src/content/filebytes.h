#pragma once

#include <QByteArray>
#include <QString>

// A content file's bytes, or why they could not be read.
struct FileBytes {
    QByteArray bytes;
    QString error; // empty when the bytes were read; "no such file" when there is none
};

inline constexpr qint64 maxContentFileBytes = 64 * 1024 * 1024;

// Refuses anything but a regular file (a FIFO or device could block or never end) and
// files above 64 MiB.
FileBytes readFileBytes(const QString &path);
