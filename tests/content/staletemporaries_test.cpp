#include "content/staletemporaries.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void put(const QString &path, const QByteArray &bytes, int ageSeconds) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    file.flush(); // a later flush would set the time again
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds),
                                 QFileDevice::FileModificationTime));
}

QByteArray contentOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<gone>");
}

// Only our writers' leftovers go, only once a minute old, only where those writers write;
// a list moved aside by an older import comes back when the list itself is missing.
TEST(StaleTemporaries, RemovesOnlyOurOldLeftoversAndPutsBackAMissingList) {
    enum Outcome { Removed, Kept, PutBack };
    struct Case {
        const char *path;
        int age;
        Outcome outcome;
        const char *putBackAs = nullptr;
    };
    const Case cases[] = {
        {"SETTING/set.dat.k3x9a.tmp", 120, Removed},
        {"SETTING/mnset.dat.1abcdef.tmp", 120, Removed},
        {"SETTING/Results/播客.dat.zz12.tmp", 3600, Removed},
        {"SETTING/Review/播客.txt.9q.tmp", 120, Removed},
        {"SETTING/set.dat.k3x9a.tmp.keep", 120, Kept},
        {"SETTING/notes.tmp", 120, Kept},
        {"SETTING/set.dat.young1.tmp", 10, Kept}, // a save that is going on now
        {"Sound/播客/.3.mp3.importing.Ab12Cd", 120, Removed},
        {"Sound/播客/.3.mp3.Ab12Cd", 120, Removed},
        {"Sound/播客/3.mp3.importing", 120, Removed},
        {"Sound/播客/.4.mp3.importing.Xy98Zw", 5, Kept}, // a conversion still writing
        {"Sound/播客/3.mp3", 120, Kept},
        {"Sound/播客/.hidden.Ab12Cd", 120, Kept},
        {"book/播客/3.dat.importing", 120, Removed},
        {"book/播客/1.dat.Ab12Cd", 120, Removed},
        {"book/播客/1.dat.backup", 120, Kept}, // a word someone typed
        {"book/播客/1.dat", 120, Kept},
        {"Recorder.wav.x1Y2z3", 120, Removed},
        {".orvessa-write-probe-a1B2c3", 120, Removed},
        {"SETTING/BookList/播客.dat.importing", 120, Removed},
        {"SETTING/BookList/旧书.dat.previous", 120, PutBack, "SETTING/BookList/旧书.dat"},
        {"SETTING/BookList/播客.dat.previous", 120, Removed}, // the list itself is there
        {"SETTING/BookList/播客.dat", 120, Kept},
        {"other/set.dat.k3x9a.tmp", 120, Kept}, // no writer of ours writes there
        {"book/播客/sub/1.dat.importing", 120, Kept},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case &c : cases)
        put(dir.filePath(QString::fromUtf8(c.path)), c.path, c.age);

    const QList<StaleTemporary> found = findStaleTemporaries(dir.path());
    int expected = 0;
    for (const Case &c : cases) {
        const QString path = dir.filePath(QString::fromUtf8(c.path));
        const auto it = std::find_if(found.begin(), found.end(),
                                     [&](const StaleTemporary &s) { return s.path == path; });
        EXPECT_EQ(it != found.end(), c.outcome != Kept) << c.path;
        if (it != found.end()) {
            EXPECT_EQ(it->restoresTo, c.outcome == PutBack
                                          ? dir.filePath(QString::fromUtf8(c.putBackAs))
                                          : QString())
                << c.path;
        }
        expected += c.outcome != Kept;
    }

    EXPECT_EQ(removeStaleTemporaries(dir.path()), expected);
    for (const Case &c : cases) {
        const QString path = dir.filePath(QString::fromUtf8(c.path));
        EXPECT_EQ(QFileInfo::exists(path), c.outcome == Kept) << c.path;
        if (c.outcome == PutBack) {
            EXPECT_EQ(contentOf(dir.filePath(QString::fromUtf8(c.putBackAs))), QByteArray(c.path));
        }
    }
    EXPECT_TRUE(findStaleTemporaries(dir.path()).isEmpty());
    EXPECT_TRUE(findStaleTemporaries(dir.filePath(QStringLiteral("missing"))).isEmpty());
}

} // namespace
