#include "programlauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
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
    launcher.openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    return launcher;
}

QString programPath(const QString &programDir, const QString &name) {
#ifdef Q_OS_WIN
    return programDir + u'/' + name + QStringLiteral(".exe");
#else
    return programDir + u'/' + name;
#endif
}
