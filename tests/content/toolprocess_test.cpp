// The built orvessa-content run as a content author runs it: what it prints on its own
// terminal, and what it does to a learner's home it has never seen.

#include "toolrun.h"

#include "content/subtitles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Two seconds of a 440 Hz tone as a 16-bit mono wave file.
QByteArray toneWave() {
    const int rate = 16000;
    QByteArray samples;
    for (int i = 0; i < 2 * rate; ++i) {
        const auto value = qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
        samples.append(reinterpret_cast<const char *>(&value), 2);
    }
    const auto le32 = [](quint32 v) {
        QByteArray b(4, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    const auto le16 = [](quint16 v) {
        QByteArray b(2, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    return "RIFF" + le32(36 + quint32(samples.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1) +
           le32(rate) + le32(rate * 2) + le16(2) + le16(16) + "data" +
           le32(quint32(samples.size())) + samples;
}

const QByteArray subtitles = "1\n00:00:00,000 --> 00:00:01,000\nHello there.\n你好。\n\n"
                             "2\n00:00:01,000 --> 00:00:01,900\nGood morning.\n早上好。\n";

// Every line the tool writes to the terminal is its own.
void expectOnlyOwnLines(const QString &err) {
    for (const QString &line : err.split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith(u"orvessa-content: "))
            << "foreign line: " << line.toStdString();
}

class ToolProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid() && work.isValid());
        writeFile(work.filePath(QStringLiteral("tone.wav")), toneWave());
        writeFile(work.filePath(QStringLiteral("cues.srt")), subtitles);
    }
    ToolRun import(const QString &dir, const QString &audio,
                   const QString &book = QStringLiteral("我的播客")) {
        return runTool({QStringLiteral("import"), dir, QStringLiteral("--book"), book,
                        QStringLiteral("--name"), QStringLiteral("第1集"),
                        QStringLiteral("--audio"), audio, QStringLiteral("--subtitles"),
                        work.filePath(QStringLiteral("cues.srt"))},
                       home.path());
    }
    QTemporaryDir home;
    QTemporaryDir work;
};

// The README's import into the learner's folder on a machine where no program has run yet:
// the folder is made as the programs make it. Another missing folder is still refused,
// and nothing is made for it; nor is a list in the learner's folder for a book that ships
// beside the tool, which would hide the shipped lessons.
TEST_F(ToolProcess, ImportMakesTheLearnersFolderOnly) {
    const QString learner = home.filePath(QStringLiteral(".local/share/orvessa"));
    const QString mine = QStringLiteral("我的播客"), shipped = QStringLiteral("英语900句");
    const struct {
        QString dir;
        QString book;
        QString refusal; // empty: imported
    } cases[] = {
        {home.filePath(QStringLiteral("elsewhere/orvessa")), mine,
         QStringLiteral("not a directory")},
        // Spelt another way, and missing with its parents.
        {home.filePath(QStringLiteral(".local/share/./orvessa/")), mine, {}},
        // There now: the next lesson goes beside the first.
        {learner, mine, {}},
        {learner, shipped, QStringLiteral("ships with the programs")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.dir.toStdString() + " " + c.book.toStdString());
        const ToolRun run = import(c.dir, work.filePath(QStringLiteral("tone.wav")), c.book);
        expectOnlyOwnLines(run.err);
        if (!c.refusal.isEmpty()) {
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(run.err.contains(c.refusal)) << run.err.toStdString();
            EXPECT_FALSE(QFileInfo::exists(c.dir + QStringLiteral("/book/") + c.book));
            EXPECT_FALSE(QFileInfo::exists(c.dir + QStringLiteral("/SETTING/BookList/") + c.book +
                                           QStringLiteral(".dat")));
            continue;
        }
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        const QFileInfo lesson(run.out.trimmed());
        EXPECT_TRUE(lesson.isFile()) << run.out.toStdString();
        EXPECT_TRUE(lesson.canonicalFilePath().startsWith(QFileInfo(learner).canonicalFilePath()));
        EXPECT_TRUE(QFileInfo(learner + QStringLiteral("/Sound/我的播客")).isDir());
    }
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("elsewhere"))));
}

// FFmpeg's own lines (a duration estimated from the bit rate, a damaged FLAC frame, a file
// it cannot read) never reach the terminal: what matters is in the tool's own message, a
// note for the damage and the reason with an error. What could not be decoded is silence in
// the lesson's MP3, so that it keeps the source's length and the sentences their times.
TEST_F(ToolProcess, FfmpegSpeaksOnlyThroughTheTool) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString wav = work.filePath(QStringLiteral("tone.wav"));
    const auto make = [&](const QString &name, const QStringList &codec) {
        const QString path = work.filePath(name);
        EXPECT_EQ(QProcess::execute(ffmpeg, QStringList{"-v", "error", "-y", "-i", wav} + codec +
                                                QStringList{path}),
                  0);
        return path;
    };
    const QString aac = make(QStringLiteral("tone.aac"), {"-c:a", "aac"});
    // FLAC files whose frames are overwritten at the start of the audio and in its middle
    // (after the 8 KiB of metadata padding FFmpeg writes).
    const QString clean = make(QStringLiteral("tone.flac"), {"-c:a", "flac"});
    const auto damaged = [&](const char *name, double where) {
        QFile file(clean);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        EXPECT_GT(bytes.size(), 12000);
        const qsizetype from = 8500 + qsizetype((bytes.size() - 8500) * where);
        for (qsizetype i = from; i < from + 1500 && i < bytes.size(); i += 7)
            bytes[i] = char(bytes[i] ^ 0x5a);
        const QString path = work.filePath(QString::fromUtf8(name));
        writeFile(path, bytes);
        return path;
    };
    const QString broken = work.filePath(QStringLiteral("broken.mp3"));
    writeFile(broken, QByteArray("ID3\x04\x00\x00\x00\x00\x00\x0a") + QByteArray(4000, '\xff'));

    const struct {
        const char *name;
        QString audio;
        int status;
        const char *said; // in the tool's own lines
    } cases[] = {
        {"estimatedLength", aac, 0, ""},
        {"damagedAtTheStart", damaged("start.flac", 0), 0, "damaged"},
        {"damagedInTheMiddle", damaged("middle.flac", 0.5), 0, "damaged"},
        {"notAudio", broken, 1, "broken.mp3"},
    };
    int folder = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString dir = work.filePath(QStringLiteral("dir%1").arg(++folder));
        QDir().mkpath(dir);
        const ToolRun run = import(dir, c.audio);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        expectOnlyOwnLines(run.err);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.said))) << run.err.toStdString();
        if (c.status != 0 || c.audio == aac)
            continue;
        QProcess probe;
        probe.start(QStandardPaths::findExecutable(QStringLiteral("ffprobe")),
                    {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                     run.out.trimmed()
                         .replace(QStringLiteral("/book/"), QStringLiteral("/Sound/"))
                         .replace(QStringLiteral(".dat"), QStringLiteral(".mp3"))});
        ASSERT_TRUE(probe.waitForFinished(30000));
        // The clean tone's MP3 is 2.088 s: the encoder's delay and padding.
        EXPECT_NEAR(probe.readAllStandardOutput().trimmed().toDouble(), 2.088, 0.03);
    }
}

// A film as the audio: its first audio stream is the lesson's sound, its own subtitle tracks
// the sentences, chosen by the tool or by number. The lesson file is read back.
TEST_F(ToolProcess, AVideoGivesItsSoundAndItsOwnSubtitles) {
    const auto video = [](const char *name) {
        return QStringLiteral(ORVESSA_TEST_DATA_DIR "/video/") + QString::fromLatin1(name);
    };
    const struct {
        const char *name;
        QString audio;
        QStringList tracks;
        int status;
        const char *said; // in the lesson, or in the error
    } cases[] = {
        {"chosen by the tool", video("two.mkv"), {}, 0, "*Good morning.#早上好，老师。#"},
        {"by number",
         video("two.mkv"),
         {"--english-track", "2", "--chinese-track", "none"},
         0,
         "*How are you? I'm fine.##"},
        {"a picture track", video("pictures.mkv"), {"--english-track", "1"}, 1, "picture"},
        {"no sound", video("silent.mp4"), {}, 1, "no audio stream"},
    };
    int folder = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString dir = work.filePath(QStringLiteral("dir%1").arg(++folder));
        QDir().mkpath(dir);
        const ToolRun run = runTool(
            QStringList{"import", dir, "--book", "电影", "--name", "第1集", "--audio", c.audio} +
                c.tracks,
            home.path());
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        expectOnlyOwnLines(run.err);
        if (c.status != 0) {
            EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.said))) << run.err.toStdString();
            continue;
        }
        QFile lesson(run.out.trimmed());
        ASSERT_TRUE(lesson.open(QIODevice::ReadOnly)) << run.out.toStdString();
        const QString text = decodeSubtitleText(lesson.readAll()); // GBK or UTF-8
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.said))) << text.toStdString();
    }
}

} // namespace
