#pragma once

// Helpers for tests that run the window on a temporary program directory made from the demo
// content.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <gtest/gtest.h>

namespace programdir {

inline const QString demoBook = QStringLiteral("英语900句");

inline QByteArray gbk(const QString &text) {
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

inline void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline void copyTree(const QString &from, const QString &to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
    }
}

// The demo program directory of the build, or the source tree's content before a full build.
inline QString demoContent() {
    const QString bin = QStringLiteral(ORVESSA_BIN_DIR);
    if (QFileInfo::exists(bin + QStringLiteral("/book/") + demoBook))
        return bin;
    return QStringLiteral(ORVESSA_SOURCE_DIR "/content");
}

// The demo's content folders copied into dir: a program directory without the programs.
inline void copyDemoContent(const QString &dir) {
    for (const char *part : {"book", "Sound", "SETTING", "bitmap"})
        copyTree(demoContent() + u'/' + QString::fromLatin1(part),
                 dir + u'/' + QString::fromLatin1(part));
}

// The demo book's lessons and audio from programDir again under title in root, named by the
// lesson-name list names ("^甲^乙^").
inline void addDemoBookAs(const QString &programDir, const QString &root, const QString &title,
                          const QString &names) {
    for (const char *part : {"/book/", "/Sound/"})
        copyTree(programDir + QString::fromLatin1(part) + demoBook,
                 root + QString::fromLatin1(part) + title);
    writeFile(root + QStringLiteral("/SETTING/BookList/") + title + QStringLiteral(".dat"),
              gbk(names));
}

// The demo book's lesson names in the program directory dir, as its lesson-name list gives them.
inline QStringList demoLessonNames(const QString &dir) {
    QFile file(dir + QStringLiteral("/SETTING/BookList/") + demoBook + QStringLiteral(".dat"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QStringDecoder gbkDecoder("GB18030");
    QStringList names = QString(gbkDecoder(file.readAll())).split(u'^', Qt::SkipEmptyParts);
    if (!names.isEmpty() && names.last().trimmed().isEmpty())
        names.removeLast();
    return names;
}

} // namespace programdir
