#include "content/contenttool.h"

#include "contentfixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

QString fixturePath(const char *name) {
    return QStringLiteral(ORVESSA_TEST_DATA_DIR "/content/") + QString::fromUtf8(name);
}

struct ToolRun {
    int status = -1;
    QString out;
    QString err;

    QJsonObject json() const {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << out.toStdString();
        return document.object();
    }
    QStringList lines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
};

ToolRun runTool(const QStringList &args, const AudioTools &audio = {}) {
    ToolRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = runContentTool(args, out, err, audio);
    out.flush();
    err.flush();
    return run;
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

QByteArray contentOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList jsonStrings(const QJsonValue &value) {
    QStringList strings;
    for (const QJsonValue &item : value.toArray()) {
        strings << (item.isNull() ? QStringLiteral("<null>") : item.toString());
    }
    return strings;
}

TEST(ContentToolLesson, JsonOfTheGbkFixture) {
    const ToolRun run = runTool(
        {QStringLiteral("lesson"), fixturePath("lesson_gbk.dat"), QStringLiteral("--json")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
    const QJsonObject json = run.json();
    EXPECT_EQ(json[u"sentenceCount"].toInt(), 2);
    const QJsonArray sentences = json[u"sentences"].toArray();
    ASSERT_EQ(sentences.size(), 2);
    const QJsonObject first = sentences[0].toObject();
    EXPECT_EQ(first[u"english"].toString(), QStringLiteral("Good morning."));
    EXPECT_EQ(first[u"chinese"].toString(), QStringLiteral("早上好。"));
    EXPECT_EQ(first[u"start"].toString(), QStringLiteral("0.50"));
    EXPECT_EQ(first[u"end"].toString(), QStringLiteral("1.72"));
    EXPECT_EQ(sentences[1].toObject()[u"chinese"].toString(), QStringLiteral("你好吗？"));
}

TEST(ContentToolLesson, OddFilesAsTheLoaderReadsThem) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char *name;
        QByteArray bytes;
        int count;
        QStringList english;
        QStringList starts;
    };
    const Case cases[] = {
        {"empty", QByteArray(), 0, {}, {}},
        {"no marker", QByteArray("Hello#x#1#2#"), 0, {}, {}},
        {"trailing line break",
         contentFixture("lesson_trailing_crlf.dat"),
         2,
         {QStringLiteral("Good morning."), QStringLiteral("How are you?")},
         {QStringLiteral("0.50"), QStringLiteral("2.10")}},
        {"utf-8 with bom",
         contentFixture("lesson_utf8_bom.dat"),
         2,
         {QStringLiteral("Good morning."), QStringLiteral("How are you?")},
         {QStringLiteral("0.50"), QStringLiteral("2.10")}},
        {"short records",
         QByteArray("*a#b#1#*no hash*c#d#3#4#*"),
         3,
         {QStringLiteral("a"), QStringLiteral("no hash"), QStringLiteral("c")},
         {QStringLiteral("1"), QStringLiteral("<null>"), QStringLiteral("3")}},
        {"invalid bytes",
         contentFixture("lesson_invalid.dat"),
         2,
         {QStringLiteral("Good \uFFFDmorning."), QStringLiteral("How are you?")},
         {QStringLiteral("0.50"), QStringLiteral("2.10")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        writeFile(path, c.bytes);
        const ToolRun run = runTool({QStringLiteral("lesson"), path, QStringLiteral("--json")});
        ASSERT_EQ(run.status, 0);
        const QJsonObject json = run.json();
        EXPECT_EQ(json[u"sentenceCount"].toInt(), c.count);
        QStringList english;
        QJsonArray starts;
        for (const QJsonValue &sentence : json[u"sentences"].toArray()) {
            english << sentence.toObject()[u"english"].toString();
            starts.append(sentence.toObject()[u"start"]);
        }
        EXPECT_EQ(english, c.english);
        EXPECT_EQ(jsonStrings(starts), c.starts);
    }
}

TEST(ContentToolLesson, ReadableLines) {
    const ToolRun run = runTool({QStringLiteral("lesson"), fixturePath("lesson_gbk.dat")});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.lines(),
              QStringList({QStringLiteral("2 sentences"),
                           QStringLiteral("1. Good morning. | 早上好。 | 0.50 .. 1.72"),
                           QStringLiteral("2. How are you? | 你好吗？ | 2.10 .. 3.05")}));
}

TEST(ContentToolLists, BooklistAndResults) {
    ToolRun run = runTool(
        {QStringLiteral("booklist"), fixturePath("booklist_gbk.dat"), QStringLiteral("--json")});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(jsonStrings(run.json()[u"names"]),
              QStringList({QStringLiteral("第一课"), QStringLiteral("第二课"), QString(),
                           QStringLiteral("Lesson 4")}));

    for (const char *name : {"results_rtf.dat", "results_plain.dat"}) {
        SCOPED_TRACE(name);
        run = runTool({QStringLiteral("results"), fixturePath(name), QStringLiteral("--json")});
        ASSERT_EQ(run.status, 0);
        EXPECT_EQ(jsonStrings(run.json()[u"lines"]),
                  QStringList({QStringLiteral("☆Lesson 1"), QStringLiteral("★Lesson 2")}));
        run = runTool({QStringLiteral("results"), fixturePath(name)});
        EXPECT_EQ(run.lines(),
                  QStringList({QStringLiteral("☆Lesson 1"), QStringLiteral("★Lesson 2")}));
    }
}

TEST(ContentToolSettings, FieldsOfBothPrograms) {
    struct Case {
        const char *file;
        const char *program;
        QStringList fields;
    };
    const Case cases[] = {
        {"set_rtf.dat",
         "orvessa",
         {"3", "1", "0", "2", "3", "1", "0", "1", "0", "英语900句", "80"}},
        {"set_plain.dat",
         "orvessa",
         {"3", "1", "0", "2", "3", "1", "0", "1", "0", "英语900句", "80"}},
        {"set_truncated.dat",
         "orvessa",
         {"3", "1", "0", "2", "3", "1", "0", "1", "0", "英语900句", "<null>"}},
        // orvessa's record read as mini's has no twelfth field.
        {"set_rtf.dat",
         "mini",
         {"3", "1", "0", "2", "3", "1", "0", "1", "0", "英语900句", "80", "<null>"}},
        {"mnset_plain.dat",
         "mini",
         {"0", "1", "1", "3", "2", "1", "0", "第十课", "0", "英语900句", "12615808", "0"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " " << c.program);
        const ToolRun run =
            runTool({QStringLiteral("settings"), fixturePath(c.file), QStringLiteral("--program"),
                     QLatin1StringView(c.program), QStringLiteral("--json")});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(jsonStrings(run.json()[u"fields"]), c.fields);
    }
}

TEST(ContentToolErrors, BadUsageAndUnreadableFilesExitTwoWithOneLine) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString big = dir.filePath(QStringLiteral("big.dat"));
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(64 * 1024 * 1024 + 1)); // sparse: no disk needed
    }
    const QString lesson = fixturePath("lesson_gbk.dat");
    const QStringList cases[] = {
        {},
        {QStringLiteral("frobnicate"), lesson},
        {QStringLiteral("lesson")},
        {QStringLiteral("lesson"), lesson, QStringLiteral("--xml")},
        {QStringLiteral("lesson"), lesson, lesson},
        {QStringLiteral("settings"), lesson},
        {QStringLiteral("settings"), lesson, QStringLiteral("--program")},
        {QStringLiteral("settings"), lesson, QStringLiteral("--program"), QStringLiteral("max")},
        {QStringLiteral("booklist"), lesson, QStringLiteral("--program"), QStringLiteral("mini")},
        {QStringLiteral("check")},
        {QStringLiteral("check"), dir.filePath(QStringLiteral("nowhere"))},
        {QStringLiteral("check"), lesson},
        {QStringLiteral("lesson"), dir.filePath(QStringLiteral("nowhere.dat"))},
        {QStringLiteral("lesson"), dir.path()},
        {QStringLiteral("results"), big},
    };
    for (const QStringList &args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith(u"orvessa-content: ")) << run.err.toStdString();
    }
}

#ifdef Q_OS_UNIX
TEST(ContentToolErrors, FifoIsRefusedWithoutWaitingForAWriter) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("fifo.dat"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const ToolRun run = runTool({QStringLiteral("lesson"), fifo});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(u"not a regular file"));
}
#endif

// Runs in order on one UTF-8 lesson with a BOM: every refusal leaves it as it was, and a
// shift there and back through the command gives back its bytes and permissions.
TEST(ContentToolShift, RefusalsLeaveTheFileAndARoundTripRestoresIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("1.dat"));
    const QByteArray original = contentFixture("lesson_utf8_bom.dat");
    const QByteArray later = QByteArray(original).replace("0.50#1.72", "0.75#1.97");
    const QByteArray bothLater = QByteArray(later).replace("2.10#3.05", "2.35#3.30");
    writeFile(path, original);
    const QString rtf = dir.filePath(QStringLiteral("rtf.dat"));
    writeFile(rtf, contentFixture("results_rtf.dat"));
    // What a shift killed while saving left, long ago: the next shift removes it.
    const QString killed = dir.filePath(QStringLiteral("1.dat.Ab12Cd"));
    writeFile(killed, original);
    {
        QFile file(killed);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-600),
                                     QFileDevice::FileModificationTime));
    }
#ifdef Q_OS_UNIX
    ASSERT_TRUE(
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
#endif
    struct Step {
        QStringList args; // FILE stands for the lesson
        int status;
        QByteArray after;
        const char *says; // in out on success, in err otherwise
    };
    const Step steps[] = {
        {{"shift", "FILE"}, 2, original, "needs --by"},
        {{"shift", "--by", "1"}, 2, original, "needs a FILE"},
        {{"shift", "FILE", "--by"}, 2, original, "--by needs SECONDS"},
        {{"shift", "FILE", "--by", "1e3"}, 2, original, "--by needs SECONDS"},
        {{"shift", "FILE", "--by", "1", "--from", "0"}, 2, original, "--from needs"},
        {{"shift", "FILE", "--by", "1", "--to", "last"}, 2, original, "--to needs"},
        {{"shift", "FILE", "--by", "1", "--json"}, 2, original, "unknown option"},
        {{"shift", "FILE", "--by", "1", "--from", "3"}, 1, original, "no sentence 3"},
        {{"shift", "FILE", "--by", "1", "--from", "2", "--to", "1"}, 1, original, "2 to 1"},
        {{"shift", rtf, "--by", "1"}, 1, original, "RTF"},
        {{"shift", dir.filePath(QStringLiteral("none.dat")), "--by", "1"},
         1,
         original,
         "no such file"},
        {{"shift", "FILE", "--by", "0.25", "--to", "1"}, 0, later, "shifted 1 sentence in "},
        {{"shift", "FILE", "--from", "2", "--by", "+0.25"}, 0, bothLater, "shifted 1 sentence"},
        {{"shift", "FILE", "--by", "-0.25"}, 0, original, "shifted 2 sentences in "},
    };
    for (const Step &step : steps) {
        QStringList args = step.args;
        args.replaceInStrings(QStringLiteral("FILE"), path);
        SCOPED_TRACE(args.join(u' ').toStdString());
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.status, step.status);
        const QString &said = step.status == 0 ? run.out : run.err;
        EXPECT_TRUE(said.contains(QString::fromUtf8(step.says))) << said.toStdString();
        EXPECT_EQ(said.count(u'\n'), 1);
        EXPECT_TRUE((step.status == 0 ? run.err : run.out).isEmpty());
        if (step.status == 1) {
            EXPECT_TRUE(run.err.startsWith(QStringLiteral("orvessa-content: %1: ").arg(args[1])));
        }
        EXPECT_EQ(contentOf(path), step.after);
    }
#ifdef Q_OS_UNIX
    // Owner, group and others; the "user" bits repeat the owner's for the caller.
    EXPECT_EQ(QFile::permissions(path) & 0x7077,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
#endif
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary left
}

// A lesson in a book is shifted within its audio, found beside the book or named with
// --audio; a shift that moves nothing says so and leaves the file alone.
TEST(ContentToolShift, KeepsTheTimesInsideTheAudioAndSaysWhenNothingChanged) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("book/英语900句/1.dat"));
    const QByteArray original = contentFixture("lesson_gbk.dat"); // 0.50-1.72, 2.10-3.05
    writeFile(path, original);
    writeFile(dir.filePath(QStringLiteral("Sound/英语900句/1.mp3")), "4 s");
    writeFile(dir.filePath(QStringLiteral("long.mp3")), "10 s");
    AudioTools audio;
    audio.probe = [](const QString &file, const ImportProgress &) {
        AudioFacts facts;
        if (!QFileInfo(file).isFile())
            facts.error = file + QStringLiteral(": no such file");
        else
            facts.seconds = contentOf(file).startsWith("10") ? 10 : 4;
        return facts;
    };
    const QByteArray later =
        QByteArray(original).replace("0.50#1.72", "1.50#2.72").replace("2.10#3.05", "3.10#4.05");
    struct Step {
        QStringList args;
        int status;
        QByteArray after;
        const char *says;
    };
    const Step steps[] = {
        {{"shift", "FILE", "--by", "0.0001"}, 0, original, "nothing changed in "},
        {{"shift", "FILE", "--by", "-1"},
         1,
         original,
         "sentence 1: Start 0.50 would move to -0.500 s, before the start of the audio"},
        {{"shift", "FILE", "--by", "1"},
         1,
         original,
         "sentence 2: End 3.05 would move to 4.050 s, after the end of the audio (4.000 s)"},
        {{"shift", "FILE", "--by", "1", "--audio", "MISSING"}, 1, original, "no such file"},
        {{"shift", "FILE", "--by", "1", "--audio", "LONG"}, 0, later, "shifted 2 sentences"},
    };
    for (const Step &step : steps) {
        QStringList args = step.args;
        args.replaceInStrings(QStringLiteral("FILE"), path);
        args.replaceInStrings(QStringLiteral("MISSING"), dir.filePath(QStringLiteral("no.mp3")));
        args.replaceInStrings(QStringLiteral("LONG"), dir.filePath(QStringLiteral("long.mp3")));
        SCOPED_TRACE(args.join(u' ').toStdString());
        const ToolRun run = runTool(args, audio);
        EXPECT_EQ(run.status, step.status);
        const QString &said = step.status == 0 ? run.out : run.err;
        EXPECT_TRUE(said.contains(QString::fromUtf8(step.says))) << said.toStdString();
        EXPECT_EQ(contentOf(path), step.after);
    }
}

// A complete, correct program directory with two books.
class ContentToolCheck : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        put("SETTING/BookList/英语900句.dat", "^Lesson 1^Lesson 2^");
        put("book/英语900句/1.dat", contentFixture("lesson_gbk.dat"));
        put("book/英语900句/2.dat", contentFixture("lesson_utf8_bom.dat"));
        put("Sound/英语900句/1.mp3", "");
        put("Sound/英语900句/2.mp3", "");
        put("SETTING/Results/英语900句.dat", contentFixture("results_rtf.dat"));
        put("SETTING/BookList/英语口语8000句.dat", "^one^two^");
        put("book/英语口语8000句/1.dat", contentFixture("lesson_gbk.dat"));
        put("book/英语口语8000句/2.dat", contentFixture("lesson_gbk.dat"));
        put("Sound/英语口语8000句/1.mp3", "");
        put("Sound/英语口语8000句/39.mp3", "");
        put("SETTING/set.dat", contentFixture("set_rtf.dat"));
        put("SETTING/mnset.dat", contentFixture("mnset_plain.dat"));
        for (const char *name :
             {"SETTING/Sound/MouDown.wav", "SETTING/Sound/MouUp.wav", "SETTING/Sound/type.wav",
              "SETTING/Sound/wrong.wav", "bitmap/0.jpg", "bitmap/1.jpg", "bitmap/a1.jpg",
              "bitmap/t.jpg", "bitmap/f.jpg", "Recorder.wav"}) {
            put(name, "");
        }
    }

    void put(const char *relative, const QByteArray &bytes) {
        writeFile(m_dir.filePath(QString::fromUtf8(relative)), bytes);
    }
    void remove(const char *relative) {
        ASSERT_TRUE(QFile::remove(m_dir.filePath(QString::fromUtf8(relative)))) << relative;
    }
    ToolRun check() { return runTool({QStringLiteral("check"), m_dir.path()}); }
    // A file left minutes ago, as a killed write leaves it.
    void putOld(const char *relative, const QByteArray &bytes = "x") {
        put(relative, bytes);
        QFile file(m_dir.filePath(QString::fromUtf8(relative)));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-600),
                                     QFileDevice::FileModificationTime));
    }

    QTemporaryDir m_dir;
};

TEST_F(ContentToolCheck, CleanDirectoryPrintsOneOkLine) {
    put("SETTING/set.dat.k3x9a.tmp", "a save going on now");
    const ToolRun run = check();
    EXPECT_EQ(run.status, 0) << run.out.toStdString();
    EXPECT_EQ(run.lines(), QStringList{QStringLiteral("ok: 2 books, 4 lessons checked")});
    EXPECT_TRUE(run.err.isEmpty());
}

TEST_F(ContentToolCheck, EachFaultIsReportedWithItsPath) {
    struct Case {
        const char *name;
        std::function<void()> damage;
        const char *line;
    };
    const Case cases[] = {
        {"lesson file missing", [&] { remove("book/英语900句/2.dat"); },
         "book/英语900句/2.dat: missing"},
        {"line break after the last marker",
         [&] { put("book/英语900句/1.dat", contentFixture("lesson_trailing_crlf.dat")); },
         "book/英语900句/1.dat: does not end with \"*\""},
        {"text before the first marker", [&] { put("book/英语900句/1.dat", "x*a#b#1#2#*"); },
         "book/英语900句/1.dat: does not start with \"*\""},
        {"no record", [&] { put("book/英语900句/1.dat", ""); },
         "book/英语900句/1.dat: holds no sentence"},
        {"short record", [&] { put("book/英语900句/1.dat", "*a#b#1#2#*c#d#3#*"); },
         "book/英语900句/1.dat: sentence 2: fewer than four \"#\""},
        {"start not a number", [&] { put("book/英语900句/1.dat", "*a#b#1,5#2#*"); },
         "book/英语900句/1.dat: sentence 1: Start \"1,5\" is not a number"},
        {"end before start", [&] { put("book/英语900句/1.dat", "*a#b#2#1.5#*"); },
         "book/英语900句/1.dat: sentence 1: End \"1.5\" is not after Start \"2\""},
        {"invalid bytes",
         [&] { put("book/英语900句/2.dat", contentFixture("lesson_invalid.dat")); },
         "book/英语900句/2.dat: holds bytes that are neither GBK nor UTF-8"},
        {"lesson audio missing", [&] { remove("Sound/英语900句/2.mp3"); },
         "Sound/英语900句/2.mp3: missing (audio of lesson 2)"},
        {"group book without its last group file", [&] { remove("Sound/英语口语8000句/39.mp3"); },
         "Sound/英语口语8000句/39.mp3: missing (audio of lesson 1)"},
        {"results name differs",
         [&] { put("SETTING/Results/英语900句.dat", "^☆Lesson 1^☆Lesson two^"); },
         "SETTING/Results/英语900句.dat: entry 2 is \"☆Lesson two\", expected \"☆Lesson 2\" or "
         "\"★Lesson 2\""},
        {"results entry without mark",
         [&] { put("SETTING/Results/英语900句.dat", "^Lesson 1^★Lesson 2^"); },
         "SETTING/Results/英语900句.dat: entry 1 is \"Lesson 1\", expected \"☆Lesson 1\" or "
         "\"★Lesson 1\""},
        {"results count differs", [&] { put("SETTING/Results/英语900句.dat", "^☆Lesson 1^"); },
         "SETTING/Results/英语900句.dat: lists 1 lessons, the lesson-name list 2"},
        {"lesson-name list without closing marker",
         [&] { put("SETTING/BookList/英语900句.dat", "^Lesson 1^Lesson 2"); },
         "SETTING/BookList/英语900句.dat: does not end with \"^\""},
        {"unsafe title", [&] { put("SETTING/BookList/CON.dat", "^a^"); },
         "SETTING/BookList/CON.dat: the book title is not a safe folder name"},
        {"settings cut short", [&] { put("SETTING/set.dat", contentFixture("set_truncated.dat")); },
         "SETTING/set.dat: holds 10 of its 11 fields"},
        {"settings with unsafe title",
         [&] { put("SETTING/set.dat", "3\\1\\0\\2\\3\\1\\0\\1\\0\\..\\80\\"); },
         "SETTING/set.dat: book title \"..\" is not a safe folder name"},
        {"settings naming a book without list",
         [&] { put("SETTING/set.dat", "3\\1\\0\\2\\3\\1\\0\\1\\0\\Nothing\\80\\"); },
         "SETTING/set.dat: book \"Nothing\" has no lesson-name list"},
        {"mini colour not a number",
         [&] { put("SETTING/mnset.dat", "0\\1\\1\\3\\2\\1\\0\\x\\0\\英语900句\\blue\\0\\"); },
         "SETTING/mnset.dat: field 11 \"blue\" is not a colour number"},
        {"picture missing", [&] { remove("bitmap/t.jpg"); }, "bitmap/t.jpg: missing"},
        {"recorder file missing", [&] { remove("Recorder.wav"); }, "Recorder.wav: missing"},
        {"settings save killed", [&] { putOld("SETTING/set.dat.k3x9a.tmp"); },
         "SETTING/set.dat.k3x9a.tmp: left by a write that did not finish; the programs and the "
         "next import remove it"},
        {"conversion killed", [&] { putOld("Sound/英语900句/.3.mp3.importing.Ab12Cd"); },
         "Sound/英语900句/.3.mp3.importing.Ab12Cd: left by a write that did not finish; the "
         "programs and the next import remove it"},
        {"list moved aside and never put back",
         [&] {
             remove("SETTING/BookList/英语口语8000句.dat");
             putOld("SETTING/BookList/英语口语8000句.dat.previous", "^one^two^");
         },
         "SETTING/BookList/英语口语8000句.dat.previous: the only copy of 英语口语8000句.dat, "
         "moved aside by an import that did not finish; the programs and the next import put it "
         "back"},
        {"lesson text after the list's last", [&] { put("book/英语900句/3.dat", "*a#b#1#2#*"); },
         "book/英语900句/3.dat: lesson 3, which the lesson-name list does not name (an import "
         "that did not finish?); the next import into this book replaces it"},
        {"lesson sound after the list's last", [&] { put("Sound/英语900句/3.mp3", ""); },
         "Sound/英语900句/3.mp3: lesson 3, which the lesson-name list does not name (an import "
         "that did not finish?); the next import into this book replaces it"},
        {"first lesson of a book without its list", [&] { put("book/新书/1.dat", "*a#b#1#2#*"); },
         "book/新书/1.dat: lesson 1, which the lesson-name list does not name (an import that "
         "did not finish?); the next import into this book replaces it"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.damage();
        const ToolRun run = check();
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.lines().contains(QString::fromUtf8(c.line))) << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(u"ok:"));
    }
}

TEST_F(ContentToolCheck, GroupBookLessonBeyondTheTable) {
    QByteArray names = "^";
    for (int i = 1; i <= 185; ++i) {
        names += "L" + QByteArray::number(i) + "^";
        put(("book/英语口语8000句/" + std::to_string(i) + ".dat").c_str(),
            contentFixture("lesson_gbk.dat"));
    }
    put("SETTING/BookList/英语口语8000句.dat", names);
    for (int g = 1; g <= 39; ++g) {
        put(("Sound/英语口语8000句/" + std::to_string(g) + ".mp3").c_str(), "");
    }
    const ToolRun run = check();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines(),
              QStringList{QStringLiteral("SETTING/BookList/英语口语8000句.dat: lesson 185 has no "
                                         "audio file in the book's group table")});
}

TEST_F(ContentToolCheck, ManyFaultsInOneFileAreSummarised) {
    QByteArray lesson = "*";
    for (int i = 0; i < 50; ++i) {
        lesson += "a#b#x#y#*";
    }
    put("book/英语900句/1.dat", lesson);
    const ToolRun run = check();
    EXPECT_EQ(run.status, 1);
    const QStringList lines = run.lines();
    EXPECT_EQ(lines.size(), 21);
    EXPECT_EQ(lines.last(), QStringLiteral("book/英语900句/1.dat: 80 more problems not shown"));
}

// With a learner's folder beside the program directory, its books and copies are checked
// with the shipped ones, each problem named with the place it is in, and a learner's copy
// stands in for the shipped file it replaces.
TEST_F(ContentToolCheck, BothPlacesAreCheckedAndNamed) {
    QTemporaryDir user;
    const auto putOwn = [&](const char *relative, const QByteArray &bytes) {
        writeFile(user.filePath(QString::fromUtf8(relative)), bytes);
    };
    putOwn("SETTING/BookList/我的书.dat", "^One^Two^");
    putOwn("book/我的书/1.dat", contentFixture("lesson_gbk.dat"));
    putOwn("Sound/我的书/1.mp3", "");
    putOwn("Sound/我的书/2.mp3", "");
    putOwn("SETTING/Results/英语900句.dat", "^☆Lesson 1^");
    remove("book/英语900句/2.dat");
    putOwn("book/英语900句/2.dat", contentFixture("lesson_gbk.dat"));
    const ToolRun run = runTool(
        {QStringLiteral("check"), m_dir.path(), QStringLiteral("--user-data"), user.path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines(),
              (QStringList{QStringLiteral("per-user data: book/我的书/2.dat: missing"),
                           QStringLiteral("per-user data: SETTING/Results/英语900句.dat: lists 1 "
                                          "lessons, the lesson-name list 2")}))
        << run.out.toStdString();

    remove("bitmap/t.jpg");
    putOwn("book/我的书/2.dat", contentFixture("lesson_gbk.dat"));
    putOwn("SETTING/Results/英语900句.dat", "^☆Lesson 1^★Lesson 2^");
    const ToolRun shipped = runTool(
        {QStringLiteral("check"), m_dir.path(), QStringLiteral("--user-data"), user.path()});
    EXPECT_EQ(shipped.lines(),
              QStringList{QStringLiteral("program directory: bitmap/t.jpg: missing")});
}

TEST(ContentToolDemo, BuiltProgramDirectoryIsClean) {
    const QString dir = QStringLiteral(ORVESSA_BIN_DIR);
    if (!QFileInfo(dir + QStringLiteral("/SETTING/BookList")).isDir()) {
        GTEST_SKIP() << "no demo content in " << dir.toStdString() << " (build program_content)";
    }
    const ToolRun run = runTool({QStringLiteral("check"), dir});
    EXPECT_EQ(run.status, 0) << run.out.toStdString();
}

} // namespace
