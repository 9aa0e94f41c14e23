#include "importing/importtools.h"

#include "content/subtitles.h"

#include "support/qstringprinter.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString video(const char *name) {
    return QStringLiteral(ORVESSA_TEST_DATA_DIR "/video/") + QString::fromLatin1(name);
}

// A track as the tools list it: "2 eng subrip text E" (E: chosen for English, C: for Chinese).
QString described(const EmbeddedTrack &t) {
    return QStringLiteral("%1 %2 %3 %4%5%6")
        .arg(t.stream)
        .arg(t.language, t.codec, t.text ? QStringLiteral("text") : QStringLiteral("picture"))
        .arg(t.english ? QStringLiteral(" E") : QString(),
             t.chinese ? QStringLiteral(" C") : QString());
}

// The English and Chinese of a track's cues, "english|chinese" each.
QStringList cueTexts(const QString &subRip) {
    QStringList texts;
    for (const SubtitleCue &cue : parseSubtitles(subRip, SubtitleFormat::SubRip, 0).cues)
        texts << cue.english + u'|' + cue.chinese;
    return texts;
}

TEST(ImportTools, AVideosTracksAreListedChosenAndReadAsSubtitles) {
    const AudioTools tools = lessonImportTools();
    const struct {
        const char *file;
        QStringList tracks;
        std::map<int, QStringList> cues; // stream -> its cues' texts
    } cases[] = {
        {"two.mkv",
         {"2 eng subrip text E", "3 chi ass text C"},
         {{2, {"Good morning.|", "How are you? I'm fine.|"}},
          {3, {QStringLiteral("|早上好，老师。"), QStringLiteral("|你好吗？我很好, 谢谢。")}}}},
        {"movtext.mp4",
         {"2 eng mov_text text E", "3 zho mov_text text C"},
         {{2, {"Good morning.|", "How are you? I'm fine.|"}},
          {3, {QStringLiteral("|早上好。"), QStringLiteral("|你好吗？")}}}},
        // Untagged: English by its text; the voice and class tags cleaned off.
        {"webvtt.webm", {"2  webvtt text E"}, {{2, {"Good morning.|", "How are you?|"}}}},
        {"pictures.mkv",
         {"1 eng hdmv_pgs_subtitle picture", "2 eng subrip text E"},
         {{2, {"Good morning.|", "How are you? I'm fine.|"}}}},
        {"silent.mp4", {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        QStringList listed;
        for (const EmbeddedTrack &track : tools.subtitleTracks(video(c.file)))
            listed << described(track);
        EXPECT_EQ(listed, c.tracks);
        for (const auto &[stream, texts] : c.cues) {
            QString error;
            EXPECT_EQ(cueTexts(tools.readTrack(video(c.file), stream, &error)), texts);
            EXPECT_EQ(error, QString());
        }
    }
    QString error;
    EXPECT_EQ(tools.readTrack(video("pictures.mkv"), 1, &error), QString());
    EXPECT_TRUE(error.contains(QStringLiteral("pictures of text"))) << error.toStdString();
}

TEST(ImportTools, EventTextThatLooksLikeSubRipStaysText) {
    // Written into a track as it is, an arrow would start a cue of its own and a line of
    // digits at the end of an event would be taken for the next one's number.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString srt = dir.filePath(QStringLiteral("tricky.srt"));
    {
        QFile file(srt);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("1\n00:00:00,200 --> 00:00:00,900\nA --> B\n\n"
                   "2\n00:00:01,000 --> 00:00:01,800\nRoom\n101\n");
    }
    const QString mkv = dir.filePath(QStringLiteral("tricky.mkv"));
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        GTEST_SKIP() << "no ffmpeg to make the file with";
    ASSERT_EQ(QProcess::execute(ffmpeg, {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi",
                                         "-i", "sine=f=440:d=2:r=8000", "-i", srt, "-map", "0:a",
                                         "-map", "1", "-c:a", "flac", "-c:s", "copy", mkv}),
              0);
    QString error;
    EXPECT_EQ(cueTexts(lessonImportTools().readTrack(mkv, 1, &error)),
              (QStringList{"A --> B|", "Room 101|"}));
    EXPECT_EQ(error, QString());
}

// Every file under a folder.
QStringList filesUnder(const QString &dir) {
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

TEST(ImportTools, AVideoWithItsOwnSubtitlesBecomesALessonOrNothing) {
    const struct {
        const char *name;
        const char *file;
        int englishTrack;
        int chineseTrack;
        bool stop;
        QStringList sentences; // "english#chinese" as the lesson has them; none: nothing written
    } cases[] = {
        {"the tracks chosen by the rule",
         "two.mkv",
         ImportRequest::autoTrack,
         ImportRequest::autoTrack,
         false,
         {QStringLiteral("Good morning.#早上好，老师。"),
          QStringLiteral("How are you? I'm fine.#你好吗？我很好, 谢谢。")}},
        {"English only",
         "two.mkv",
         2,
         ImportRequest::noTrack,
         false,
         {"Good morning.#", "How are you? I'm fine.#"}},
        {"a picture track chosen", "pictures.mkv", ImportRequest::autoTrack, 1, false, {}},
        {"stopped while converting",
         "two.mkv",
         ImportRequest::autoTrack,
         ImportRequest::autoTrack,
         true,
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ImportRequest request;
        request.dir = dir.path();
        request.book = QStringLiteral("电影");
        request.name = QStringLiteral("第一集");
        request.audio = video(c.file);
        request.englishTrack = c.englishTrack;
        request.chineseTrack = c.chineseTrack;
        request.progress = [&c](double fraction) { return !c.stop || fraction <= 0; };
        const ImportResult result = importLesson(request, lessonImportTools());
        if (c.sentences.isEmpty()) {
            EXPECT_FALSE(result.error.isEmpty());
            EXPECT_FALSE(result.learnerError.isEmpty());
            EXPECT_EQ(result.cancelled, c.stop);
            EXPECT_EQ(filesUnder(dir.path()), QStringList());
            continue;
        }
        ASSERT_EQ(result.error, QString());
        QFile lesson(result.lessonPath);
        ASSERT_TRUE(lesson.open(QIODevice::ReadOnly));
        const QString text = decodeSubtitleText(lesson.readAll());
        for (const QString &sentence : c.sentences)
            EXPECT_TRUE(text.contains(u'*' + sentence + u'#')) << text.toStdString();
        EXPECT_EQ(text.count(u'*'), c.sentences.size() + 1);
    }
}

} // namespace
