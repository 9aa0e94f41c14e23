// The built orvessa-content judging recordings and analysing a book's sentences as a
// teacher or a content maker runs it: feedback --sentence, feedback --batch, check --speech.

#include "speech/testwav.h"

#include "toolrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

const QString booking = QStringLiteral("I would like to book a room for two nights.");

QByteArray waveBytes(const SpeechAudio &audio) {
    QByteArray samples;
    for (float s : audio.samples) {
        const auto value = qint16(std::clamp(s * 32768.0f, -32768.0f, 32767.0f));
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
    const auto rate = quint32(audio.sampleRate);
    return "RIFF" + le32(36 + quint32(samples.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1) +
           le32(rate) + le32(rate * 2) + le16(2) + le16(16) + "data" +
           le32(quint32(samples.size())) + samples;
}

SpeechAudio fixture(const char *name) {
    return readTestWav(QStringLiteral(ORVESSA_TEST_DATA_DIR "/speech/") + QString::fromUtf8(name));
}

// A JSON line's verdict in short: "judged", "reRecord" or "not judged", then the words
// marked, e.g. "judged two:left-out".
QString verdictOf(const QString &line) {
    const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
    if (object.isEmpty())
        return QStringLiteral("not JSON: ") + line;
    QString verdict = object.value(QStringLiteral("judged")).toBool() ? QStringLiteral("judged")
                      : object.value(QStringLiteral("reRecord")).toBool()
                          ? QStringLiteral("reRecord")
                          : QStringLiteral("not judged");
    for (const QJsonValue &w : object.value(QStringLiteral("words")).toArray()) {
        const QString mark = w.toObject().value(QStringLiteral("mark")).toString();
        if (mark != u"ok")
            verdict += u' ' + w.toObject().value(QStringLiteral("text")).toString() + u':' + mark;
    }
    return verdict;
}

class FeedbackCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid() && work.isValid());
        for (const char *name : {"intact.wav", "cut_two.wav", "noisy_0db.wav"})
            ASSERT_TRUE(QFile::copy(QStringLiteral(ORVESSA_TEST_DATA_DIR "/speech/") +
                                        QString::fromUtf8(name),
                                    path(name)));
    }
    QString path(const char *name) const { return work.filePath(QString::fromUtf8(name)); }
    ToolRun run(const QStringList &args, const QString &speechModel = {}) const {
        return runTool(args, home.path(), speechModel);
    }

    QTemporaryDir home;
    QTemporaryDir work;
};

// One model, several takes, each judged in its own line; a take that cannot be read has its
// line too and makes the exit status 1, the others are still judged.
TEST_F(FeedbackCommand, SentenceJudgesEachRecordingInItsOwnLine) {
    const struct {
        const char *name;
        QStringList takes;
        bool json;
        int status;
        QStringList lines; // verdicts (json), or whole lines
    } cases[] = {
        {"json",
         {path("intact.wav"), path("cut_two.wav"), path("noisy_0db.wav")},
         true,
         0,
         {"judged", "judged two:left-out", "reRecord"}},
        {"unreadable take",
         {path("missing.wav"), path("intact.wav")},
         true,
         1,
         {"not judged", "judged"}},
        {"plain",
         {path("intact.wav"), path("cut_two.wav")},
         false,
         0,
         {path("intact.wav") + QStringLiteral("\t全部读出，没有漏读。"),
          path("cut_two.wav") + QStringLiteral("\t漏读 1 个词：two")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList args = {QStringLiteral("feedback"), QStringLiteral("--sentence"), booking,
                            path("intact.wav")};
        args << c.takes;
        if (c.json)
            args << QStringLiteral("--json");
        const ToolRun got = run(args);
        EXPECT_EQ(got.status, c.status) << got.err.toStdString();
        QStringList lines = got.lines();
        if (c.json) {
            for (QString &line : lines)
                line = verdictOf(line);
        }
        EXPECT_EQ(lines, c.lines) << got.out.toStdString();
        // Only what could not be read is told on the terminal, once each.
        EXPECT_EQ(got.errLines().size(), c.status == 0 ? 0 : 1) << got.err.toStdString();
    }
}

// Any audio FFmpeg reads, at its own rate: the take with "two" cut out as a 44.1 kHz MP3 and
// a 48 kHz stereo WAV, against the model as a 22.05 kHz WAV.
TEST_F(FeedbackCommand, ReadsAudioOfAnyKindAndRate) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        GTEST_SKIP() << "ffmpeg is not installed";
    const auto convert = [&](const char *from, const char *to, const QStringList &options) {
        EXPECT_EQ(QProcess::execute(ffmpeg, QStringList{"-v", "error", "-y", "-i", path(from)} +
                                                options + QStringList{path(to)}),
                  0);
        return path(to);
    };
    const QString model = convert("intact.wav", "model.wav", {"-ar", "22050"});
    const QString mp3 = convert("cut_two.wav", "cut_two.mp3", {"-ar", "44100"});
    const QString stereo = convert("cut_two.wav", "cut_two_48k.wav", {"-ar", "48000", "-ac", "2"});
    const ToolRun got = run({QStringLiteral("feedback"), QStringLiteral("--json"),
                             QStringLiteral("--sentence"), booking, model, mp3, stereo});
    EXPECT_EQ(got.status, 0) << got.err.toStdString();
    QStringList verdicts;
    for (const QString &line : got.lines())
        verdicts << verdictOf(line);
    EXPECT_EQ(verdicts, (QStringList{"judged two:left-out", "judged two:left-out"}));
}

// A batch: blank lines skipped, a line without its three fields reported with its number,
// a recording missing judged false; the rest judged, paths taken from the batch's folder and
// shown as written.
TEST_F(FeedbackCommand, BatchReportsBadLinesByNumberAndJudgesTheRest) {
    const struct {
        const char *name;
        QByteArray batch;
        int status;
        QStringList verdicts;
        QStringList errorsAbout; // one stderr line each, in order
    } cases[] = {
        {"clean",
         booking.toUtf8() + "\tintact.wav\tintact.wav\n\n" + booking.toUtf8() +
             "\tintact.wav\tcut_two.wav\r\n",
         0,
         {"judged", "judged two:left-out"},
         {}},
        {"faults",
         booking.toUtf8() + "\tintact.wav\tintact.wav\n" + "just a sentence\n" + booking.toUtf8() +
             "\t\tcut_two.wav\n" + "   \n" + booking.toUtf8() + "\tintact.wav\tgone.wav\n" +
             booking.toUtf8() + "\tno_model.wav\tintact.wav\n" + booking.toUtf8() +
             "\tintact.wav\tcut_two.wav\n",
         1,
         {"judged", "not judged", "not judged", "judged two:left-out"},
         {"batch.tsv:2: ", "batch.tsv:3: ", "gone.wav", "no_model.wav"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(path("batch.tsv"), c.batch);
        const ToolRun got = run({QStringLiteral("feedback"), QStringLiteral("--batch"),
                                 path("batch.tsv"), QStringLiteral("--json")});
        EXPECT_EQ(got.status, c.status) << got.err.toStdString();
        QStringList verdicts;
        for (const QString &line : got.lines()) {
            verdicts << verdictOf(line);
            const QString shown =
                QJsonDocument::fromJson(line.toUtf8()).object().value("recording").toString();
            EXPECT_FALSE(QFileInfo(shown).isAbsolute()) << shown.toStdString();
        }
        EXPECT_EQ(verdicts, c.verdicts);
        const QStringList errors = got.errLines();
        ASSERT_EQ(errors.size(), c.errorsAbout.size()) << got.err.toStdString();
        for (qsizetype i = 0; i < errors.size(); ++i) {
            EXPECT_TRUE(errors[i].startsWith(u"orvessa-content: ")) << errors[i].toStdString();
            EXPECT_TRUE(errors[i].contains(c.errorsAbout[i])) << errors[i].toStdString();
        }
    }
}

// What cannot run at all is refused with one line: 2 for a command written wrong, 1 for a
// batch that cannot be read or a machine without the recogniser's model.
TEST_F(FeedbackCommand, RefusalsExitWithOneLine) {
    const QString noModel = work.filePath(QStringLiteral("no-model"));
    const struct {
        QStringList args;
        int status;
        QString speechModel = {};
    } cases[] = {
        {{"feedback"}, 2},
        {{"feedback", "--sentence", booking, path("intact.wav")}, 2},
        {{"feedback", "--sentence", "", path("intact.wav"), path("intact.wav")}, 2},
        {{"feedback", "--batch", path("batch.tsv"), "--sentence", booking}, 2},
        {{"feedback", "--batch", path("batch.tsv"), path("intact.wav")}, 2},
        {{"feedback", "--batch", path("batch.tsv"), "--fast"}, 2},
        {{"feedback", "--batch", path("none.tsv")}, 1},
        {{"feedback", "--sentence", booking, path("intact.wav"), path("intact.wav")}, 1, noModel},
        {{"check", work.path(), "--speech"}, 1, noModel},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const ToolRun got = run(c.args, c.speechModel);
        EXPECT_EQ(got.status, c.status);
        EXPECT_TRUE(got.out.isEmpty()) << got.out.toStdString();
        EXPECT_EQ(got.errLines().size(), 1) << got.err.toStdString();
    }
}

// A program directory with one book imported from a recording of its sentences: check
// --speech lists each sentence no take could be judged against (here one spoken over
// silence), and exits 1; without --speech the check is as before.
TEST_F(FeedbackCommand, CheckSpeechListsSentencesThatCannotBeJudged) {
    SpeechAudio lesson = fixture("intact.wav");
    lesson.samples.resize(lesson.samples.size() + size_t(2 * lesson.sampleRate), 0.0f);
    writeFile(path("lesson.wav"), waveBytes(lesson));
    const struct {
        const char *name;
        QByteArray cues;
        bool speech;
        int status;
        QStringList lines; // each line's start
    } cases[] = {
        {"judgeable",
         "1\n00:00:00,000 --> 00:00:03,000\n" + booking.toUtf8() + "\n",
         true,
         0,
         {"ok: 1 book, 1 lesson checked, 1 sentence can be judged"}},
        {"over silence",
         "1\n00:00:00,000 --> 00:00:03,000\n" + booking.toUtf8() +
             "\n\n2\n00:00:03,300 --> 00:00:04,800\nGood morning.\n",
         true,
         1,
         {"book \"练习\", lesson 1, sentence 2 \"Good morning.\": cannot be judged: "}},
        {"without --speech",
         "1\n00:00:00,000 --> 00:00:03,000\n" + booking.toUtf8() +
             "\n\n2\n00:00:03,300 --> 00:00:04,800\nGood morning.\n",
         false,
         0,
         {"ok: 1 book, 1 lesson checked"}},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString dir = work.filePath(QStringLiteral("dir%1").arg(++n));
        QDir().mkpath(dir);
        for (const char *name :
             {"SETTING/Sound/MouDown.wav", "SETTING/Sound/MouUp.wav", "SETTING/Sound/type.wav",
              "SETTING/Sound/wrong.wav", "bitmap/0.jpg", "bitmap/1.jpg", "bitmap/a1.jpg",
              "bitmap/t.jpg", "bitmap/f.jpg", "Recorder.wav"})
            writeFile(dir + u'/' + QString::fromUtf8(name), "");
        writeFile(path("cues.srt"), c.cues);
        const ToolRun imported =
            run({QStringLiteral("import"), dir, QStringLiteral("--book"), QStringLiteral("练习"),
                 QStringLiteral("--name"), QStringLiteral("第一课"), QStringLiteral("--audio"),
                 path("lesson.wav"), QStringLiteral("--subtitles"), path("cues.srt")});
        ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
        QStringList args = {QStringLiteral("check"), dir};
        if (c.speech)
            args << QStringLiteral("--speech");
        const ToolRun got = run(args);
        EXPECT_EQ(got.status, c.status) << got.out.toStdString() << got.err.toStdString();
        const QStringList lines = got.lines();
        ASSERT_EQ(lines.size(), c.lines.size()) << got.out.toStdString();
        for (qsizetype i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].startsWith(c.lines[i])) << lines[i].toStdString();
    }
}

} // namespace
