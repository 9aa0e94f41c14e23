#include "dataplaces.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

DataPlaces::DataPlaces(QString programDir, QString userDir)
    : m_programDir(std::move(programDir)), m_userDir(std::move(userDir)) {}

DataPlaces DataPlaces::portable(QString programDir) {
    return DataPlaces(std::move(programDir), {});
}

DataPlaces DataPlaces::withUserFolder(QString programDir, QString userDir) {
    return DataPlaces(std::move(programDir), std::move(userDir));
}

DataPlaces DataPlaces::forProgram(const QString &programDir, const QString &userDir) {
    if (isWritableProgramDir(programDir))
        return portable(programDir);
    return withUserFolder(programDir, userDir.isEmpty() ? standardUserFolder() : userDir);
}

QString DataPlaces::standardUserFolder() {
    // Shared by both programs, so not the application's own folder.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/orvessa");
}

bool DataPlaces::isStandardUserFolder(const QString &dir) {
    // Compared where each would be: its parent's real path (which may be missing too, or a
    // link) and its name.
    const auto spelt = [](const QString &path) {
        const QFileInfo folder(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
        const QString parent = QFileInfo(folder.absolutePath()).canonicalFilePath();
        return (parent.isEmpty() ? folder.absolutePath() : parent) + u'/' + folder.fileName();
    };
    return spelt(dir) == spelt(standardUserFolder());
}

bool DataPlaces::prepareStandardUserFolder(const QString &dir) {
    const QFileInfo info(dir);
    if (info.exists())
        return info.isDir();
    return isStandardUserFolder(dir) && QDir().mkpath(info.absoluteFilePath());
}

bool DataPlaces::isWritableProgramDir(const QString &dir) {
    const auto canCreateIn = [](const QString &folder) {
        QTemporaryFile probe(folder + QStringLiteral("/.orvessa-write-probe-XXXXXX"));
        return probe.open(); // removed again when probe goes
    };
    if (!canCreateIn(dir))
        return false;
    const QString setting = dir + QStringLiteral("/SETTING");
    return !QFileInfo(setting).isDir() || canCreateIn(setting);
}

QString DataPlaces::under(const QString &root, QStringView relative) {
    return root + u'/' + relative.toString();
}

QStringList DataPlaces::roots() const {
    if (isPortable())
        return {m_programDir};
    return {m_userDir, m_programDir};
}

QString DataPlaces::readPath(QStringView relative) const {
    if (!isPortable()) {
        const QString own = under(m_userDir, relative);
        if (QFileInfo::exists(own))
            return own;
    }
    return under(m_programDir, relative);
}

QString DataPlaces::writePath(QStringView relative) const {
    return under(isPortable() ? m_programDir : m_userDir, relative);
}

QString DataPlaces::preparedWritePath(QStringView relative) const {
    const QString path = writePath(relative);
    if (!isPortable())
        QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

QString DataPlaces::shippedPath(QStringView relative) const {
    return under(m_programDir, relative);
}
