#include "content/dataplaces.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DataPlacesTest : public ::testing::Test {
protected:
    void put(const QString &root, const char *relative) {
        const QString path = root + u'/' + QString::fromUtf8(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QTemporaryDir m_tmp;
    QString shipped = m_tmp.filePath(QStringLiteral("lib/orvessa"));
    QString user = m_tmp.filePath(QStringLiteral("home/.local/share/orvessa"));
};

// Reads prefer the learner's copy, then the shipped file; a file in neither is looked for
// where it ships. A portable directory never looks at the learner's folder.
TEST_F(DataPlacesTest, ReadsLookInTheLearnersFolderFirst) {
    put(shipped, "SETTING/set.dat");
    put(shipped, "SETTING/Results/英语900句.dat");
    put(user, "SETTING/Results/英语900句.dat");
    put(user, "book/新英语900句/1.dat");
    QDir().mkpath(user + QStringLiteral("/Sound/新英语900句"));
    const DataPlaces installed = DataPlaces::withUserFolder(shipped, user);
    const DataPlaces portable = DataPlaces::portable(shipped);
    struct Case {
        const char *relative;
        QString installedReads;
    };
    const Case cases[] = {
        {"SETTING/set.dat", shipped},            // first use: the shipped file
        {"SETTING/Results/英语900句.dat", user}, // the learner's own copy
        {"book/新英语900句/1.dat", user},        // a book the learner added
        {"Sound/新英语900句", user},             // folders too
        {"SETTING/mnset.dat", shipped},          // in neither place
    };
    for (const Case &c : cases) {
        const QString relative = QString::fromUtf8(c.relative);
        SCOPED_TRACE(c.relative);
        EXPECT_EQ(installed.readPath(relative), c.installedReads + u'/' + relative);
        EXPECT_EQ(portable.readPath(relative), shipped + u'/' + relative);
        EXPECT_EQ(installed.writePath(relative), user + u'/' + relative);
        EXPECT_EQ(portable.writePath(relative), shipped + u'/' + relative);
        EXPECT_EQ(installed.shippedPath(relative), shipped + u'/' + relative);
    }
    EXPECT_EQ(installed.roots(), (QStringList{user, shipped}));
    EXPECT_EQ(portable.roots(), QStringList{shipped});
}

// The learner's folders are made on the way to a write; the program directory's are part of
// what ships, and a missing one there stays missing for the save to report.
TEST_F(DataPlacesTest, OnlyTheLearnersFoldersAreMadeForAWrite) {
    const QString relative = QStringLiteral("SETTING/Results/英语900句.dat");
    const QString written = DataPlaces::withUserFolder(shipped, user).preparedWritePath(relative);
    EXPECT_EQ(written, user + u'/' + relative);
    EXPECT_TRUE(QFileInfo(user + QStringLiteral("/SETTING/Results")).isDir());
    EXPECT_FALSE(QFileInfo::exists(written));

    DataPlaces::portable(shipped).preparedWritePath(relative);
    EXPECT_FALSE(QFileInfo::exists(shipped + QStringLiteral("/SETTING")));
}

// A directory the program can write keeps everything beside the programs; one it cannot
// (here: one that is not there at all) sends the writes to the learner's folder. Probing
// leaves nothing behind.
TEST_F(DataPlacesTest, AWritableProgramDirectoryStaysPortable) {
    put(shipped, "SETTING/set.dat");
    const DataPlaces here = DataPlaces::forProgram(shipped, user);
    EXPECT_TRUE(here.isPortable());
    EXPECT_EQ(QDir(shipped).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("SETTING")});
    EXPECT_EQ(QDir(shipped + QStringLiteral("/SETTING"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("set.dat")});

    const QString nowhere = m_tmp.filePath(QStringLiteral("nowhere"));
    EXPECT_EQ(DataPlaces::forProgram(nowhere, user), DataPlaces::withUserFolder(nowhere, user));
    const DataPlaces standard = DataPlaces::forProgram(nowhere);
    EXPECT_EQ(standard.userDir(), DataPlaces::standardUserFolder());
    EXPECT_TRUE(standard.userDir().endsWith(u"/orvessa"));
}

} // namespace
