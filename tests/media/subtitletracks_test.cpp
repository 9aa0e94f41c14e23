#include "media/subtitletracks.h"

#include "support/qstringprinter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString video(const char *name) {
    return QStringLiteral(ORVESSA_TEST_DATA_DIR "/video/") + QString::fromLatin1(name);
}

TEST(SubtitleTracks, ListsEveryTrackWithItsTags) {
    const struct {
        const char *file;
        std::vector<SubtitleStream> streams;
    } cases[] = {
        {"two.mkv",
         {{2, "eng", "English", "subrip", true},
          {3, "chi", QStringLiteral("简体中文"), "ass", true}}},
        {"movtext.mp4", {{2, "eng", "", "mov_text", true}, {3, "zho", "", "mov_text", true}}},
        {"webvtt.webm", {{2, "", "", "webvtt", true}}},
        {"pictures.mkv",
         {{1, "eng", "", "hdmv_pgs_subtitle", false}, {2, "eng", "", "subrip", true}}},
        {"silent.mp4", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const SubtitleStreams list = listSubtitleStreams(video(c.file));
        EXPECT_EQ(list.error, QString());
        ASSERT_EQ(list.streams.size(), c.streams.size());
        for (size_t i = 0; i < c.streams.size(); ++i) {
            const SubtitleStream &got = list.streams[i];
            const SubtitleStream &want = c.streams[i];
            EXPECT_EQ(got.stream, want.stream);
            EXPECT_EQ(got.language, want.language);
            EXPECT_EQ(got.title, want.title);
            EXPECT_EQ(got.codec, want.codec);
            EXPECT_EQ(got.text, want.text);
        }
    }
}

TEST(SubtitleTracks, TextTracksGiveTheirCuesLineByLine) {
    const struct {
        const char *file;
        int stream;
        std::vector<TrackCue> cues;
    } cases[] = {
        // SubRip and WebVTT keep their tags for the subtitle reader.
        {"two.mkv",
         2,
         {{0.2, 0.9, {"<i>Good morning.</i>"}}, {1.0, 1.8, {"How are <b>you</b>?", "I'm fine."}}}},
        // Override blocks and drawings go, "\N" breaks the line.
        {"two.mkv",
         3,
         {{0.2, 0.9, {QStringLiteral("早上好，老师。")}},
          {1.0, 1.8, {QStringLiteral("你好吗？"), QStringLiteral("我很好, 谢谢。")}}}},
        // mov_text's styles are FFmpeg's ASS overrides.
        {"movtext.mp4",
         2,
         {{0.2, 0.9, {"Good morning."}}, {1.0, 1.8, {"How are you?", "I'm fine."}}}},
        {"movtext.mp4",
         3,
         {{0.2, 0.9, {QStringLiteral("早上好。")}}, {1.0, 1.8, {QStringLiteral("你好吗？")}}}},
        {"webvtt.webm",
         2,
         {{0.2, 0.9, {"<v Mary>Good <c.yellow>morning</c>.</v>"}}, {1.0, 1.8, {"How are you?"}}}},
        {"pictures.mkv",
         2,
         {{0.2, 0.9, {"<i>Good morning.</i>"}}, {1.0, 1.8, {"How are <b>you</b>?", "I'm fine."}}}},
        // Every stream starts 3 s into the timeline, as a cut from a broadcast does: the
        // times are the sound's, where the MP3 has them.
        {"offset.mkv",
         1,
         {{0.2, 0.9, {"<i>Good morning.</i>"}}, {1.0, 1.8, {"How are <b>you</b>?", "I'm fine."}}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.file) + " stream " + std::to_string(c.stream));
        const TrackText track = readSubtitleTrack(video(c.file), c.stream);
        EXPECT_EQ(track.error, QString());
        ASSERT_EQ(track.cues.size(), c.cues.size());
        for (size_t i = 0; i < c.cues.size(); ++i) {
            // Opus starts its sound some 6 ms after its first packet.
            EXPECT_NEAR(track.cues[i].start, c.cues[i].start, 0.002);
            EXPECT_NEAR(track.cues[i].end, c.cues[i].end, 0.002);
            EXPECT_EQ(track.cues[i].lines, c.cues[i].lines);
        }
    }
}

TEST(SubtitleTracks, AssEventTextBecomesTheLinesShown) {
    const struct {
        QString text;
        QStringList lines;
    } cases[] = {
        {"{\\i1}Hello{\\i0} there", {"Hello there"}},
        {"One\\NTwo\\N\\NThree", {"One", "Two", "Three"}},
        {"soft\\nbreak\\hand space", {"soft break and space"}},
        {"{\\pos(10,20)\\b1}Kept", {"Kept"}}, // "\pos" is no drawing
        {"{\\p1}m 0 0 l 100 0 100 100{\\p0}After", {"After"}},
        {"{\\p2}m 0 0 l 1 1", {}},
        {"Before{\\p1}m 0 0\\Nl 5 5{\\p0}", {"Before"}},
        {"{a comment}Text{another}", {"Text"}},
        {"an {unclosed brace", {"an {unclosed brace"}},
        {"a \\ backslash", {"a \\ backslash"}},
        {"  spaced   out  ", {"spaced out"}},
        {"", {}},
        {"<i>tags</i> stay for the reader", {"<i>tags</i> stay for the reader"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(assEventLines(c.text), c.lines);
    }
}

TEST(SubtitleTracks, WhatCannotBeReadGivesOneLineAndNoCues) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A download cut off inside the first cluster, and bytes that are no container at all.
    const QString cut = dir.filePath(QStringLiteral("cut.mkv"));
    {
        QFile whole(video("two.mkv"));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        QFile part(cut);
        ASSERT_TRUE(part.open(QIODevice::WriteOnly));
        part.write(whole.read(whole.size() / 3));
    }
    const QString noise = dir.filePath(QStringLiteral("noise.mkv"));
    {
        QFile file(noise);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes(4096, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919 + 13) % 251);
        file.write(bytes);
    }
    const struct {
        QString path;
        int stream;
        const char *says;
    } cases[] = {
        {video("pictures.mkv"), 1, "pictures of text"},
        {video("two.mkv"), 1, "no subtitle track"}, // the audio
        {video("two.mkv"), 9, "no subtitle track"},
        {video("two.mkv"), -1, "no subtitle track"},
        {video("gbk.mkv"), 1, "not UTF-8"}, // GBK bytes where UTF-8 belongs
        {cut, 2, "holds no text"},
        {noise, 0, "not a video or audio file"},
        {dir.filePath(QStringLiteral("missing.mkv")), 0, "missing.mkv"},
        {dir.path(), 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString() + " stream " + std::to_string(c.stream));
        const TrackText track = readSubtitleTrack(c.path, c.stream);
        EXPECT_TRUE(track.cues.empty());
        EXPECT_TRUE(track.error.contains(QString::fromUtf8(c.says))) << track.error.toStdString();
        EXPECT_FALSE(track.error.isEmpty());
        EXPECT_FALSE(track.error.contains(u'\n'));
    }
    for (const QString &path : {noise, dir.path()}) {
        const SubtitleStreams list = listSubtitleStreams(path);
        EXPECT_FALSE(list.error.isEmpty());
        EXPECT_TRUE(list.streams.empty());
    }
}

} // namespace
