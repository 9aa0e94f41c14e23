#include "files/filebytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Every kind of thing that can stand under a file's name, and what each opener makes of it.
// A FIFO must be answered at once: opening it for reading or writing would wait for ever.
TEST(FileBytes, OnlyRegularFilesAreOpenedAndReadsAreCapped) {
    QTemporaryDir dir;
    const auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const auto write = [&](const char *name, const QByteArray &bytes) {
        QFile file(at(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("small", "abcd");
    write("large", QByteArray(9, 'x'));
    ASSERT_EQ(mkfifo(QFile::encodeName(at("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(at("folder")));
    ASSERT_TRUE(QFile::link(at("fifo"), at("link-to-fifo")));
    ASSERT_TRUE(QFile::link(at("small"), at("link-to-small")));
    ASSERT_TRUE(QFile::link(at("gone"), at("dangling")));

    struct Case {
        const char *name;
        FileKind kind;
        const char *bytes; // what readFileBytes(…, 8) gives, or nullptr when it refuses
        const char *start; // what readFileStart(…, 8) gives, or nullptr
        bool writable;     // whether a writer may create or replace it
    };
    const Case cases[] = {
        {"missing", FileKind::Missing, nullptr, nullptr, true},
        {"small", FileKind::Regular, "abcd", "abcd", true},
        {"link-to-small", FileKind::Regular, "abcd", "abcd", true},
        {"large", FileKind::Regular, nullptr, "xxxxxxxx", true},
        {"fifo", FileKind::NotRegular, nullptr, nullptr, false},
        {"link-to-fifo", FileKind::NotRegular, nullptr, nullptr, false},
        {"folder", FileKind::NotRegular, nullptr, nullptr, false},
        {"dangling", FileKind::NotRegular, nullptr, nullptr, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = at(c.name);
        EXPECT_EQ(fileKind(path), c.kind);
        const FileBytes whole = readFileBytes(path, 8);
        EXPECT_EQ(whole.error.isEmpty(), c.bytes != nullptr) << whole.error.toStdString();
        EXPECT_EQ(whole.bytes, QByteArray(c.bytes));
        EXPECT_EQ(whole.missing, c.kind == FileKind::Missing);
        EXPECT_EQ(whole.tooLarge, QByteArrayView(c.name) == "large");
        const FileBytes start = readFileStart(path, 8);
        EXPECT_EQ(start.bytes, QByteArray(c.start));
        EXPECT_EQ(writeTargetProblem(path).isEmpty(), c.writable);
    }
}

} // namespace
