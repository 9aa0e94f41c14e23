#include "programlauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

ProgramLauncher ProgramLauncher::system() {
    ProgramLauncher launcher;
    launcher.startDetached = [](const QString &path) {
        const QFileInfo file(path);
        if (!file.isFile() || !file.isExecutable())
            return false;
        QProcess process;
        process.setProgram(file.absoluteFilePath());
        process.setWorkingDirectory(file.absolutePath());
#ifdef Q_OS_WIN
        process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *args) {
            args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
            args->startupInfo->wShowWindow = SW_SHOWMINIMIZED;
        });
#endif
        return process.startDetached();
    };
    launcher.openUrl = [](const QUrl &url) {
        // The desktop's opener reports success once it has started, also when it then finds
        // no application for the file and gives up: ask first.
        if (url.isLocalFile() && !desktopHasHandlerFor(url.toLocalFile()))
            return false;
        return QDesktopServices::openUrl(url);
    };
    return launcher;
}

bool desktopHasHandlerFor(const QString &filePath) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return true;
    const QString type = QMimeDatabase().mimeTypeForFile(filePath).name();
    QProcess query;
    query.setProgram(xdgMime);
    query.setArguments({QStringLiteral("query"), QStringLiteral("default"), type});
    query.setStandardInputFile(QProcess::nullDevice());
    query.start();
    // A shell script that reads a few small files; a hung one is taken as no handler.
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
#else
    Q_UNUSED(filePath);
    return true;
#endif
}

QString programPath(const QString &programDir, const QString &name) {
#ifdef Q_OS_WIN
    return programDir + u'/' + name + QStringLiteral(".exe");
#else
    return programDir + u'/' + name;
#endif
}
