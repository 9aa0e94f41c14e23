#include "staletemporaries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The folders our writers write in; never a walk of the whole tree, which holds the books'
// audio and whatever else a learner keeps there.
QStringList writerFolders(const QString &root) {
    QStringList folders = {
        root, root + QStringLiteral("/SETTING"), root + QStringLiteral("/SETTING/BookList"),
        root + QStringLiteral("/SETTING/Results"), root + QStringLiteral("/SETTING/Review")};
    for (const char *parent : {"/book", "/Sound"}) {
        const QString dir = root + QLatin1StringView(parent);
        const QStringList books =
            QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
        for (const QString &book : books)
            folders << dir + u'/' + book;
    }
    return folders;
}

// The random part of a QSaveFile or QTemporaryFile name is six letters and digits. A word
// someone typed ("1.dat.backup") is all small letters; a random part almost never is, and
// the rare one that is stays, which costs some bytes rather than a person's file.
bool looksRandom(QStringView part) {
    for (const QChar c : part) {
        if (!(c >= u'a' && c <= u'z'))
            return true;
    }
    return false;
}

enum class Kind { None, Temporary, Previous };

Kind kindOf(const QString &name) {
    static const QRegularExpression settingsSave(
        QStringLiteral(R"(^.+\.(dat|txt)\.[0-9a-z]{1,7}\.tmp$)"));
    static const QRegularExpression staged(QStringLiteral(R"(^.+\.(dat|mp3)\.importing$)"));
    static const QRegularExpression conversion(
        QStringLiteral(R"(^\..+\.mp3(\.importing)?\.[A-Za-z0-9]{6}$)"));
    static const QRegularExpression saveFile(
        QStringLiteral(R"(^([0-9]+\.dat|Recorder\.wav)\.([A-Za-z0-9]{6})$)"));
    static const QRegularExpression probe(
        QStringLiteral(R"(^\.orvessa-write-probe-[A-Za-z0-9]{6}$)"));
    static const QRegularExpression previous(QStringLiteral(R"(^.+\.(dat|mp3)\.previous$)"));

    if (settingsSave.match(name).hasMatch() || staged.match(name).hasMatch() ||
        conversion.match(name).hasMatch() || probe.match(name).hasMatch())
        return Kind::Temporary;
    if (const QRegularExpressionMatch m = saveFile.match(name);
        m.hasMatch() && looksRandom(m.capturedView(2)))
        return Kind::Temporary;
    if (previous.match(name).hasMatch())
        return Kind::Previous;
    return Kind::None;
}

QList<StaleTemporary> staleIn(const QStringList &folders, const QDateTime &now) {
    QList<StaleTemporary> found;
    const QDateTime before = now.addSecs(-staleTemporarySeconds);
    for (const QString &folder : folders) {
        const QFileInfoList files =
            QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
        for (const QFileInfo &file : files) {
            const Kind kind = kindOf(file.fileName());
            if (kind == Kind::None || file.lastModified() >= before)
                continue;
            StaleTemporary stale{file.filePath(), {}};
            if (kind == Kind::Previous) {
                const QString target = file.filePath().chopped(int(sizeof(".previous") - 1));
                if (!QFileInfo::exists(target) && !QFileInfo(target).isSymLink())
                    stale.restoresTo = target;
            }
            found << stale;
        }
    }
    return found;
}

int removeAll(const QList<StaleTemporary> &found) {
    int done = 0;
    for (const StaleTemporary &stale : found) {
        // QFile::rename never replaces, so a file that appeared meanwhile is kept.
        const bool ok = stale.restoresTo.isEmpty() ? QFile::remove(stale.path)
                                                   : QFile::rename(stale.path, stale.restoresTo);
        if (ok)
            ++done;
    }
    return done;
}

} // namespace

QList<StaleTemporary> findStaleTemporaries(const QString &root, const QDateTime &now) {
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return {};
    return staleIn(writerFolders(root), now);
}

int removeStaleTemporaries(const QString &root) {
    return removeAll(findStaleTemporaries(root));
}

int removeStaleTemporariesIn(const QString &folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return 0;
    return removeAll(staleIn({folder}, QDateTime::currentDateTimeUtc()));
}
