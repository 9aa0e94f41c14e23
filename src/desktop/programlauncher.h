#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

// How the window starts other programs and opens files: detached, without waiting and
// without any further exchange. Tests replace both members so that nothing really starts.
struct ProgramLauncher {
    // Starts the program file at path detached, asking for a minimised window where the
    // platform lets us; returns whether it started. A missing file starts nothing.
    std::function<bool(const QString &path)> startDetached;
    // Opens a local file or an address with the desktop's default handler; returns false
    // when the desktop has none for it (then nothing opens), so the caller can do without.
    std::function<bool(const QUrl &url)> openUrl;
    // Starts a program of the desktop (a settings tool) found on the PATH by name, detached,
    // with arguments; returns whether it started. One that is not installed starts nothing.
    std::function<bool(const QString &name, const QStringList &arguments)> startTool;

    static ProgramLauncher system();
};

// Opens the desktop's settings of the sound input (which microphone, how loud) in the first
// settings tool of the sound server that is installed; returns whether one started.
bool openSoundInputSettings(const ProgramLauncher &launcher);
// Whether the desktop names a default application for the file's type. Where the desktop
// says nothing it can be asked (no xdg-mime), the answer is yes and the opener decides.
bool desktopHasHandlerFor(const QString &filePath);

// The path of a program of the program directory: name, with ".exe" on Windows.
QString programPath(const QString &programDir, const QString &name);
