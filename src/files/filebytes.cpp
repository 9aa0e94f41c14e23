#include "filebytes.h"

#include <QFile>
#include <QFileInfo>

FileKind fileKind(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        return info.isSymLink() ? FileKind::NotRegular : FileKind::Missing; // a dangling link
    return info.isFile() ? FileKind::Regular : FileKind::NotRegular;
}

QString fileKindProblem(FileKind kind) {
    switch (kind) {
    case FileKind::Missing:
        return QStringLiteral("no such file");
    case FileKind::NotRegular:
        return QStringLiteral("not a regular file");
    case FileKind::Regular:
        break;
    }
    return {};
}

namespace {

QString tooLargeText(qint64 maxBytes) {
    constexpr qint64 mib = 1024 * 1024;
    const QString size = maxBytes % mib == 0 ? QStringLiteral("%1 MiB").arg(maxBytes / mib)
                                             : QStringLiteral("%1 bytes").arg(maxBytes);
    return QStringLiteral("larger than %1, refused").arg(size);
}

enum class Longer { Refused, Cut };

FileBytes readRegularFile(const QString &path, qint64 maxBytes, Longer longer) {
    FileBytes result;
    const FileKind kind = fileKind(path);
    if (kind != FileKind::Regular) {
        result.error = fileKindProblem(kind);
        result.missing = kind == FileKind::Missing;
        return result;
    }
    if (longer == Longer::Refused && QFileInfo(path).size() > maxBytes) {
        result.error = tooLargeText(maxBytes);
        result.tooLarge = true;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    // The size can grow between the look and the read: one byte more tells.
    QByteArray bytes = file.read(maxBytes + 1);
    if (longer == Longer::Cut)
        bytes.truncate(maxBytes);
    if (bytes.size() > maxBytes) {
        result.error = tooLargeText(maxBytes);
        result.tooLarge = true;
    } else if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
    } else {
        result.bytes = std::move(bytes);
    }
    return result;
}

} // namespace

FileBytes readFileBytes(const QString &path, qint64 maxBytes) {
    return readRegularFile(path, maxBytes, Longer::Refused);
}

FileBytes readFileStart(const QString &path, qint64 maxBytes) {
    return readRegularFile(path, maxBytes, Longer::Cut);
}

QString writeTargetProblem(const QString &path) {
    const FileKind kind = fileKind(path);
    return kind == FileKind::NotRegular ? fileKindProblem(kind) : QString();
}
