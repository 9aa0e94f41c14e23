// A learner's own material from end to end: the demo audio (as Ogg, so that it is converted)
// with subtitles made for it becomes a lesson of a new book through orvessa-content; the tool
// shows and checks it, and the trainer lists the book, loads the lesson and plays its second
// sentence into the null sink.

#include "content/sentencetable.h"
#include "content/textcodec.h"
#include "e2ehelpers.h"
#include "livewindow.h"
#include "shell/catalogueview.h"
#include "shell/trainerwindow.h"
#include "soundcapture.h"
#include "support/programdirfixture.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace programdir;

struct ToolRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QStringList &args) {
    QProcess tool;
    tool.start(QStringLiteral(ORVESSA_BIN_DIR "/orvessa-content"), args);
    if (!tool.waitForFinished(60000))
        return {};
    return {tool.exitCode(), tool.readAllStandardOutput(), tool.readAllStandardError()};
}

QString srtTime(double seconds) {
    const qint64 ms = qRound64(seconds * 1000);
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QChar(u'0'))
        .arg(ms / 60000 % 60, 2, 10, QChar(u'0'))
        .arg(ms / 1000 % 60, 2, 10, QChar(u'0'))
        .arg(ms % 1000, 3, 10, QChar(u'0'));
}

TEST(ImportE2E, SubtitledAudioBecomesALessonTheTrainerPlays) {
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir, work;
    ASSERT_TRUE(dir.isValid() && work.isValid());
    copyDemoContent(dir.path());
    QFile::copy(demoContent() + QStringLiteral("/Recorder.wav"),
                dir.filePath(QStringLiteral("Recorder.wav")));

    // Subtitles with the demo lesson's own times, English then Chinese in each cue, and its
    // audio as Ogg Vorbis.
    QFile demoLesson(demoContent() + QStringLiteral("/book/") + demoBook +
                     QStringLiteral("/1.dat"));
    ASSERT_TRUE(demoLesson.open(QIODevice::ReadOnly));
    const SentenceTable demo = SentenceTable::fromText(decodeText(demoLesson.readAll()));
    ASSERT_GE(demo.count(), 3);
    QString srt;
    for (int i = 1; i <= demo.count(); ++i) {
        const SentenceTimes t = *demo.times(i);
        srt += QStringLiteral("%1\r\n%2 --> %3\r\n<i>%4</i>\r\n%5\r\n\r\n")
                   .arg(i)
                   .arg(srtTime(t.start), srtTime(t.end), demo.entry(i).english,
                        demo.entry(i).chinese);
    }
    writeFile(work.filePath(QStringLiteral("episode.srt")), srt.toUtf8());
    const QString ogg = work.filePath(QStringLiteral("episode.ogg"));
    ASSERT_EQ(QProcess::execute(
                  QStringLiteral("ffmpeg"),
                  {"-v", "error", "-i",
                   demoContent() + QStringLiteral("/Sound/") + demoBook + QStringLiteral("/1.mp3"),
                   "-c:a", "libvorbis", ogg}),
              0);

    const QString book = QStringLiteral("我的播客");
    const ToolRun imported =
        runTool({"import", dir.path(), "--book", book, "--name", "第一集", "--audio", ogg,
                 "--subtitles", work.filePath(QStringLiteral("episode.srt"))});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    const QString lessonPath = QString::fromUtf8(imported.out).trimmed();
    EXPECT_EQ(lessonPath, dir.filePath(QStringLiteral("book/") + book + QStringLiteral("/1.dat")));

    const ToolRun shown = runTool({"lesson", lessonPath, "--json"});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    const QJsonArray sentences = QJsonDocument::fromJson(shown.out)["sentences"].toArray();
    ASSERT_EQ(sentences.size(), demo.count());
    for (int i = 1; i <= demo.count(); ++i) {
        const QJsonObject s = sentences[i - 1].toObject();
        EXPECT_EQ(s["english"].toString(), demo.entry(i).english) << "sentence " << i;
        EXPECT_EQ(s["chinese"].toString(), demo.entry(i).chinese) << "sentence " << i;
        EXPECT_NEAR(s["start"].toString().toDouble(), demo.times(i)->start, 0.0005);
        EXPECT_NEAR(s["end"].toString().toDouble(), demo.times(i)->end, 0.0005);
    }
    const ToolRun checked = runTool({"check", dir.path()});
    EXPECT_EQ(checked.status, 0) << checked.out.toStdString();

    // The trainer lists the book after the catalogue and plays the lesson's second sentence.
    LiveWindow<TrainerWindow> live(Program::Orvessa, dir.path());
    ASSERT_TRUE(live.window) << "the media player could not open the null sink";
    TrainerWindow &window = *live.window;
    const VoicePlayer &player = *live.player;
    const QStringList &messages = live.messages;
    window.startup();
    QComboBox *books = window.catalogue()->Combo1();
    const int index = books->findText(book);
    ASSERT_EQ(index, 15) << "the book is not listed after the catalogue";
    books->setCurrentIndex(index);
    Q_EMIT books->activated(index);
    ASSERT_TRUE(
        runUntil([&] { return player.voiceFile.endsWith(book + QStringLiteral("/1.mp3")); }, 5000))
        << "still on " << player.voiceFile.toStdString();
    EXPECT_EQ(window.state().sentenceCount, demo.count());

    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    window.core().view().nextSentence();
    ASSERT_EQ(window.state().currentSentence, 2);
    const qsizetype from = capture.mark();
    window.playback().onCommand4();
    const double length = demo.times(2)->end - demo.times(2)->start;
    runFor(int(length * 1000) + 1500);
    const double heard = capture.soundSeconds(from);
    EXPECT_GT(heard, length * 0.5) << "the second sentence is not heard";
    EXPECT_LT(heard, length + 0.5) << "playback ran past the sentence";
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

} // namespace
