#pragma once

// The built orvessa-content run in a process of its own, as a content author runs it, with a
// home of the test's own; for the content tool's process tests.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
    QStringList errLines() const { return err.split(u'\n', Qt::SkipEmptyParts); }
};

// speechModel: the recogniser's model folder, when not the installed one. A run that does
// not end within two minutes gives status -1.
inline ToolRun runTool(const QStringList &args, const QString &home,
                       const QString &speechModel = {}) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    if (!speechModel.isEmpty())
        env.insert(QStringLiteral("ORVESSA_SPEECH_MODEL"), speechModel);
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(ORVESSA_BIN_DIR "/orvessa-content"), args);
    if (!tool.waitForFinished(120000))
        return {};
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
}

inline void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}
