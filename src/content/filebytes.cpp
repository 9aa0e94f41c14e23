#include "filebytes.h"

#include <QFile>
#include <QFileInfo>

FileBytes readFileBytes(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        return {{}, QStringLiteral("no such file")};
    if (!info.isFile())
        return {{}, QStringLiteral("not a regular file")};
    if (info.size() > maxContentFileBytes)
        return {{}, QStringLiteral("larger than 64 MiB, refused")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    QByteArray bytes = file.read(maxContentFileBytes + 1);
    if (bytes.size() > maxContentFileBytes)
        return {{}, QStringLiteral("larger than 64 MiB, refused")};
    if (file.error() != QFileDevice::NoError)
        return {{}, file.errorString()};
    return {std::move(bytes), {}};
}
