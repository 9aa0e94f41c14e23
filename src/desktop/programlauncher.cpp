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
    launcher.startTool = [](const QString &name, const QStringList &arguments) {
        const QString path = QStandardPaths::findExecutable(name);
        return !path.isEmpty() && QProcess::startDetached(path, arguments);
    };
    return launcher;
}

bool openSoundInputSettings(const ProgramLauncher &launcher) {
    if (!launcher.startTool)
        return false;
    // PulseAudio's and PipeWire's volume controls open on their input devices' tab.
    const std::pair<const char *, QStringList> tools[] = {
        {"pavucontrol", {QStringLiteral("--tab=4")}},
        {"pavucontrol-qt", {QStringLiteral("--tab=4")}},
        {"gnome-control-center", {QStringLiteral("sound")}},
    };
    for (const auto &[name, arguments] : tools) {
        if (launcher.startTool(QString::fromLatin1(name), arguments))
            return true;
    }
    return false;
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
