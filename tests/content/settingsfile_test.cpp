#include "content/contentpaths.h"
#include "content/richtext.h"
#include "content/settingsfile.h"

#include "contentfixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString exampleOrvessaRecord = QStringLiteral("3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\80\\");
const QString exampleMiniRecord =
    QStringLiteral("0\\1\\1\\3\\2\\1\\0\\第十课\\0\\英语900句\\12615808\\0\\");

// GBK bytes spelled out, so that no input comes from the writer under test.
const QByteArray gbkBook = gbkYingYu900Ju;                             // 英语900句
const QByteArray gbkInitialBook = "\xc9\xcc\xce\xf1" + gbkYingYu900Ju; // 商务英语900句
const QByteArray gbkLesson10 = "\xb5\xda\xca\xae\xbf\xce";             // 第十课

// Reads the settings as start-up does and builds the record as the close does, with
// nothing changed in between.
QString orvessaRoundTrip(const QString &text) {
    return orvessaSettingsRecord(parseOrvessaSettings(text).appliedTo({}));
}
QString miniRoundTrip(const QString &text) {
    return miniSettingsRecord(parseMiniSettings(text).appliedTo({}));
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entriesOf(const QString &dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// A program directory with its SETTING folder inside a scratch folder, so that a test
// can see whether anything appeared beside the program directory.
struct ProgramDir {
    QTemporaryDir scratch;
    QString dir = scratch.path() + QStringLiteral("/prog");
    ProgramDir() { QDir().mkpath(dir + QStringLiteral("/SETTING")); }
    QString settingDir() const { return dir + QStringLiteral("/SETTING"); }
    QString setDat() const { return settingsPath(dir, false); }
};

TEST(SettingsRecord, OrvessaFilesRoundTrip) {
    const QString withoutPassMark = QStringLiteral("3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\60\\");
    const QString nothingRead = QStringLiteral("-1\\1\\1\\\\\\\\\\1\\1\\商务英语900句\\60\\");
    const std::tuple<const char *, QByteArray, QString> cases[] = {
        {"plain example", contentFixture("set_plain.dat"), exampleOrvessaRecord},
        {"RTF example", contentFixture("set_rtf.dat"), exampleOrvessaRecord},
        {"last backslash missing", contentFixture("set_truncated.dat"), withoutPassMark},
        {"empty file", QByteArray(), nothingRead},
        {"no separator", gbkInitialBook, nothingRead},
        // A repeat or pause the pickers do not offer ("1.5", "1e308") is not kept.
        {"02 written back as 2", "3\\1\\0\\02\\ 3x\\1.50\\\\1\\0\\" + gbkBook + "\\80\\",
         QStringLiteral("3\\1\\0\\2\\3\\\\0\\1\\0\\英语900句\\80\\")},
        {"no lesson selected", "-1\\1\\0\\2\\3\\1\\0\\1\\0\\" + gbkBook + "\\80\\",
         QStringLiteral("-1\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\80\\")},
        // Non-numeric and out-of-range values: the position reads 0, a check state
        // outside 0..1 and a position beyond 16 bits keep their initial values.
        {"odd numbers", "x\\2\\-1\\a\\1e308\\\\-0\\0.5\\1.5\\" + gbkBook + "\\abc\\",
         QStringLiteral("0\\1\\1\\0\\\\0\\0\\0\\1\\英语900句\\abc\\")},
        {"position too large", QByteArray("40000\\"), nothingRead},
        {"extra text after the record", "3\\1\\0\\2\\3\\1\\0\\1\\0\\" + gbkBook + "\\80\\junk\\",
         exampleOrvessaRecord},
    };
    for (const auto &[name, bytes, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(orvessaRoundTrip(plainTextFromFileBytes(bytes)), expected);
    }
}

TEST(SettingsRecord, MiniFilesRoundTrip) {
    const QString nothingRead =
        QStringLiteral("-1\\1\\1\\\\\\\\\\\\0\\商务英语900句\\12615808\\0\\");
    const auto record = [](const char *colours) {
        return "0\\1\\1\\3\\2\\1\\0\\" + gbkLesson10 + "\\0\\" + gbkBook + "\\" + colours;
    };
    const auto expected = [](const char *colours) {
        return QStringLiteral("0\\1\\1\\3\\2\\1\\0\\第十课\\0\\英语900句\\") +
               QLatin1StringView(colours);
    };
    const std::tuple<const char *, QByteArray, QString> cases[] = {
        {"plain example", contentFixture("mnset_plain.dat"), exampleMiniRecord},
        {"RTF of the example", settingsRtfDocument(exampleMiniRecord), exampleMiniRecord},
        {"empty file", QByteArray(), nothingRead},
        {"non-numeric colours", record("blue\\12x\\"), expected("12615808\\0\\")},
        {"blanks around a colour", record(" 255 \\\t65280\\"), expected("255\\65280\\")},
        {"colours out of range", record("-1\\16777216\\"), expected("12615808\\0\\")},
        {"fractional colour", record("1.5\\\\"), expected("12615808\\0\\")},
        {"colours cut short", record("255\\0"), expected("255\\0\\")},
        {"a repeat and pause no list offers", "0\\1\\1\\1e308\\15\\7\\60\\x\\0\\",
         QStringLiteral("0\\1\\1\\\\\\7\\60\\x\\0\\商务英语900句\\12615808\\0\\")},
        {"HN rounds half to even", "0\\1\\1\\3\\2\\1\\0\\x\\2.5\\",
         QStringLiteral("0\\1\\1\\3\\2\\1\\0\\x\\2\\商务英语900句\\12615808\\0\\")},
    };
    for (const auto &[name, bytes, want] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(miniRoundTrip(plainTextFromFileBytes(bytes)), want);
    }
}

TEST(SettingsRecord, FieldsReadAsTheirTargetsTakeThem) {
    const OrvessaSettingsFields read =
        parseOrvessaSettings(QStringLiteral("3.5\\1\\0\\02\\\\10\\60\\1\\0\\英语900句\\"));
    EXPECT_EQ(read.lessonIndex, 4); // half to even
    EXPECT_EQ(read.englishHint, 1);
    EXPECT_EQ(read.chineseHint, 0);
    EXPECT_EQ(read.studyRepeats, QStringLiteral("2"));
    EXPECT_EQ(read.studyPause, QStringLiteral("0"));
    EXPECT_EQ(read.browsePause, QStringLiteral("60"));
    EXPECT_EQ(read.bookTitle, QStringLiteral("英语900句"));
    EXPECT_EQ(read.passMark, std::nullopt); // its separator is missing

    const MiniSettingsFields mini = parseMiniSettings(exampleMiniRecord);
    EXPECT_EQ(mini.endLesson, QStringLiteral("第十课"));
    EXPECT_EQ(mini.background, bgrColour(128, 128, 192));
    EXPECT_EQ(mini.textColour, 0);
}

TEST(SettingsRecord, ShortestDecimal) {
    const std::pair<double, const char *> cases[] = {
        {2, "2"},
        {-1, "-1"},
        {0, "0"},
        {-0.0, "0"},
        {2.5, "2.5"},
        {0.1, "0.1"},
        {1e15, "1000000000000000"},
        {1e300, "1e+300"},
        {-2.25, "-2.25"},
    };
    for (const auto &[value, text] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(shortestDecimal(value), QLatin1StringView(text));
    }
}

TEST(SettingsRecord, BackslashInATextFieldCannotShiftTheRecord) {
    MiniSettings settings;
    settings.endLesson = QStringLiteral("a\\b");
    settings.studyRepeats = QStringLiteral("1\\0");
    const MiniSettings back = parseMiniSettings(miniSettingsRecord(settings)).appliedTo({});
    EXPECT_EQ(back.endLesson, QStringLiteral("ab"));
    EXPECT_EQ(back.studyRepeats, QStringLiteral("10"));
    EXPECT_EQ(back.bookTitle, settings.bookTitle);
    EXPECT_EQ(back.background, settings.background);
}

TEST(SettingsRtf, ExampleIsByteIdenticalToTheStoredDocument) {
    EXPECT_EQ(settingsRtfDocument(exampleOrvessaRecord), contentFixture("set_rtf.dat"));
}

TEST(SettingsRtf, EscapesAndReadsBack) {
    const QByteArray head = contentFixture("set_rtf.dat").first(0x75); // up to "\fs18 "
    ASSERT_TRUE(head.endsWith("\\fs18 "));
    const std::tuple<const char *, QString, QByteArray> cases[] = {
        {"braces and backslash", QStringLiteral("a{b}c\\"), "a\\{b\\}c\\\\"},
        {"trail byte that is a backslash", QStringLiteral("乗\\"), "\\'81\\'5c\\\\"},
        {"euro sign", QStringLiteral("€"), "\\'a2\\'e3"},
        {"Latin letter in GBK", QStringLiteral("é"), "\\'a8\\'a6"},
        {"not in GBK", QStringLiteral("한"), "\\u-10916?"},
        {"outside the BMP", QStringLiteral("😀x"), "\\u-10179?\\u-8704?x"},
        {"control characters", QStringLiteral("a\tb\r\nc"), "a\\'09b\\'0d\\'0ac"},
        {"RTF words stay text", QStringLiteral("\\par}{\\rtf"), "\\\\par\\}\\{\\\\rtf"},
        {"empty record", QString(), ""},
    };
    for (const auto &[name, record, body] : cases) {
        SCOPED_TRACE(name);
        const QByteArray document = settingsRtfDocument(record);
        EXPECT_EQ(document, head + body + "\r\n\\par }\r\n");
        EXPECT_EQ(plainTextFromFileBytes(document), record + QStringLiteral("\r\n"));
    }
}

// A title that could leave its folder is no remembered book: the initial title is used,
// and nothing appears outside the program directory.
TEST(SettingsTitle, HostileTitleNeverReachesTheFileSystem) {
    const QByteArray records[] = {
        "0\\1\\1\\1\\0\\1\\0\\1\\1\\..\\..\\x\\60\\", // ..\..\x as cut by the separators
        "0\\1\\1\\1\\0\\1\\0\\1\\1\\../x\\60\\",
        "0\\1\\1\\1\\0\\1\\0\\1\\1\\../../../escaped\\60\\",
        "0\\1\\1\\1\\0\\1\\0\\1\\1\\C:x\\60\\",
        "0\\1\\1\\1\\0\\1\\0\\1\\1\\x\x01y\\60\\",
        "0\\1\\1\\1\\0\\1\\0\\1\\1\\x\ty\\60\\",
        "0\\1\\1\\1\\0\\1\\0\\1\\1\\/etc\\60\\",
        settingsRtfDocument(QStringLiteral("0\\1\\1\\1\\0\\1\\0\\1\\1\\..\\..\\x\\60\\")),
    };
    for (const QByteArray &bytes : records) {
        SCOPED_TRACE(bytes.toStdString());
        ProgramDir program;
        ASSERT_TRUE(writeFile(program.setDat(), bytes));
        const QString text = readSettingsFile(program.setDat());
        const OrvessaSettings settings = parseOrvessaSettings(text).appliedTo({});
        EXPECT_EQ(settings.bookTitle, initialBookTitle());
        EXPECT_EQ(parseMiniSettings(text).bookTitle, std::nullopt);

        // The results file is the one start-up may create; then the close saves.
        const QString results = resultsPath(program.dir, settings.bookTitle);
        QDir().mkpath(QFileInfo(results).absolutePath());
        EXPECT_TRUE(writeFile(results, "^1^"));
        EXPECT_TRUE(saveSettingsRecord(program.setDat(), orvessaSettingsRecord(settings)).ok());

        EXPECT_EQ(entriesOf(program.scratch.path()), QStringList{QStringLiteral("prog")});
        EXPECT_EQ(entriesOf(program.dir), QStringList{QStringLiteral("SETTING")});
    }
}

TEST(SettingsFile, SavedRecordsReadBackUnchanged) {
    OrvessaSettings orvessa;
    orvessa.lessonIndex = 12;
    orvessa.englishHint = 0;
    // Picker texts as picked; an empty one would come back as "0".
    orvessa.studyRepeats = QStringLiteral("10");
    orvessa.studyPause = QStringLiteral("0");
    orvessa.browseRepeats = QStringLiteral("3");
    orvessa.browsePause = QStringLiteral("60");
    orvessa.bookTitle = QStringLiteral("新概念英语{乗}😀 한");
    orvessa.passMark = QStringLiteral("100");
    MiniSettings mini;
    mini.studyRepeats = mini.studyPause = QStringLiteral("1");
    mini.browseRepeats = QStringLiteral("10");
    mini.browsePause = QStringLiteral("20");
    mini.endLesson = QStringLiteral("Lesson 5 {第五课}");
    mini.HN = 2;
    mini.background = 0xFFFFFF;
    mini.textColour = bgrColour(1, 2, 3);

    ProgramDir program;
    const QString mnset = settingsPath(program.dir, true);
    ASSERT_TRUE(saveSettingsRecord(program.setDat(), orvessaSettingsRecord(orvessa)).ok());
    ASSERT_TRUE(saveSettingsRecord(mnset, miniSettingsRecord(mini)).ok());
    const OrvessaSettings orvessaBack =
        parseOrvessaSettings(readSettingsFile(program.setDat())).appliedTo({});
    const MiniSettings miniBack = parseMiniSettings(readSettingsFile(mnset)).appliedTo({});
    EXPECT_EQ(orvessaSettingsRecord(orvessaBack).toStdString(),
              orvessaSettingsRecord(orvessa).toStdString());
    EXPECT_EQ(orvessaBack, orvessa);
    EXPECT_EQ(miniSettingsRecord(miniBack).toStdString(), miniSettingsRecord(mini).toStdString());
    EXPECT_EQ(miniBack, mini);
    // No temporary file is left beside them.
    EXPECT_EQ(entriesOf(program.settingDir()),
              (QStringList{QStringLiteral("mnset.dat"), QStringLiteral("set.dat")}));
}

TEST(SettingsFile, ReadingOddFiles) {
    ProgramDir program;
    const QString path = program.setDat();
    EXPECT_EQ(readSettingsFile(path), QString()); // missing

    ASSERT_TRUE(QDir().mkpath(path)); // a folder under the file's name
    EXPECT_EQ(readSettingsFile(path), QString());
    ASSERT_TRUE(QDir().rmdir(path));

    // A pipe would block a plain read for ever.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_EQ(readSettingsFile(path), QString());
    ASSERT_TRUE(QFile::remove(path));

    // A huge file: its start still holds the record.
    QByteArray huge = contentFixture("set_plain.dat");
    huge.append(QByteArray(4 * maxSettingsFileBytes, 'x'));
    ASSERT_TRUE(writeFile(path, huge));
    const QString text = readSettingsFile(path);
    EXPECT_LE(text.size(), maxSettingsFileBytes);
    EXPECT_EQ(orvessaRoundTrip(text), exampleOrvessaRecord);
}

TEST(SettingsFile, FailedSavesLeaveTheOldFile) {
    const QByteArray old = contentFixture("set_rtf.dat");
    const QByteArray fresh = settingsRtfDocument(QStringLiteral("0\\"));
    struct Case {
        const char *name;
        std::function<QString(ProgramDir &)> prepare; // returns the path to save to
        SaveError expected;
    };
    const Case cases[] = {
        {"SETTING folder missing",
         [](ProgramDir &p) {
             QDir(p.settingDir()).removeRecursively();
             return p.setDat();
         },
         SaveError::FolderMissing},
        {"SETTING is a file",
         [](ProgramDir &p) {
             QDir(p.settingDir()).removeRecursively();
             writeFile(p.settingDir(), "x");
             return p.setDat();
         },
         SaveError::FolderMissing},
        {"folder under the file's name",
         [](ProgramDir &p) {
             QDir().mkpath(p.setDat());
             return p.setDat();
         },
         SaveError::NotAFile},
        {"read-only file",
         [&old](ProgramDir &p) {
             writeFile(p.setDat(), old);
             QFile::setPermissions(p.setDat(), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
             return p.setDat();
         },
         SaveError::ReadOnly},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ProgramDir program;
        const QString path = c.prepare(program);
        const QByteArray before = fileBytes(path);
        const QStringList parentBefore = entriesOf(program.dir);
        const SaveResult result = saveSettingsFile(path, fresh);
        EXPECT_EQ(result.error, c.expected);
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(saveFailureMessage(result).isEmpty());
        EXPECT_EQ(fileBytes(path), before);
        EXPECT_EQ(entriesOf(program.dir), parentBefore); // no folder made, nothing left
    }
}

TEST(SettingsFile, ReadOnlyFolder) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    ProgramDir program;
    ASSERT_TRUE(writeFile(program.setDat(), contentFixture("set_rtf.dat")));
    ASSERT_TRUE(QFile::setPermissions(program.settingDir(),
                                      QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const SaveResult result = saveSettingsFile(program.setDat(), "new");
    QFile::setPermissions(program.settingDir(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(result.error, SaveError::WriteFailed);
    EXPECT_EQ(fileBytes(program.setDat()), contentFixture("set_rtf.dat"));
}

TEST(SettingsFile, KeepsPermissionsOfTheOldFile) {
    ProgramDir program;
    ASSERT_TRUE(writeFile(program.setDat(), "old"));
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ReadGroup | QFileDevice::ReadUser |
                             QFileDevice::WriteUser;
    ASSERT_TRUE(QFile::setPermissions(program.setDat(), permissions));
    ASSERT_TRUE(saveSettingsFile(program.setDat(), "new").ok());
    EXPECT_EQ(fileBytes(program.setDat()), "new");
    EXPECT_EQ(QFileInfo(program.setDat()).permissions(), permissions);
}

// A save that stops between writing the temporary file and replacing the old one, by
// the hook and by a real kill, leaves the old settings readable and whole.
TEST(SettingsFile, CrashBeforeReplaceKeepsTheOldSettings) {
    const QByteArray old = contentFixture("set_rtf.dat");
    const QByteArray fresh = settingsRtfDocument(QStringLiteral("7\\0\\0\\"));
    const auto checkAfterCrash = [&](const ProgramDir &program) {
        EXPECT_EQ(fileBytes(program.setDat()), old);
        EXPECT_EQ(orvessaRoundTrip(readSettingsFile(program.setDat())), exampleOrvessaRecord);
        // The temporary file was complete when the crash came.
        const QStringList left = entriesOf(program.settingDir());
        ASSERT_EQ(left.size(), 2);
        const QString temporary = left.filter(QStringLiteral(".tmp")).value(0);
        EXPECT_TRUE(temporary.startsWith(QStringLiteral("set.dat.")));
        EXPECT_EQ(fileBytes(program.settingDir() + u'/' + temporary), fresh);
        // The next save still works, whatever was left behind.
        ASSERT_TRUE(saveSettingsFile(program.setDat(), fresh).ok());
        EXPECT_EQ(fileBytes(program.setDat()), fresh);
    };
    {
        ProgramDir program;
        ASSERT_TRUE(writeFile(program.setDat(), old));
        const SaveResult result = saveSettingsFile(program.setDat(), fresh, [] { return false; });
        EXPECT_EQ(result.error, SaveError::Interrupted);
        checkAfterCrash(program);
    }
    {
        ProgramDir program;
        ASSERT_TRUE(writeFile(program.setDat(), old));
        EXPECT_EXIT(saveSettingsFile(program.setDat(), fresh,
                                     [] {
                                         std::raise(SIGKILL);
                                         return true;
                                     }),
                    testing::KilledBySignal(SIGKILL), "");
        checkAfterCrash(program);
    }
}

} // namespace
