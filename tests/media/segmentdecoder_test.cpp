#include "media/segmentdecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr int rate = SegmentDecoder::sampleRate;

QString fixture(const char *name) {
    return QStringLiteral(ORVESSA_TEST_DATA_DIR "/audio/") + QString::fromLatin1(name);
}

// One minute of silence with two half-second 1 kHz bursts at half scale, 1.0-1.5 s and
// 45.0-45.5 s, in each format a lesson comes in (the WAV in two equal channels); made once
// for the suite with ffmpeg.
class Bursts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        if (ffmpeg.isEmpty() || !s_dir->isValid())
            return;
        const QString burst =
            QStringLiteral("0.5*sin(2*PI*1000*t)*(between(t\\,1\\,1.5)+between(t\\,45\\,45.5))");
        const auto make = [&](const QString &name, int sampleRate, int channels,
                              const QStringList &codec) {
            const QString source = QStringLiteral("aevalsrc=%1:s=%2:d=60")
                                       .arg(QStringList(channels, burst).join(u'|'))
                                       .arg(sampleRate);
            QStringList args{QStringLiteral("-loglevel"),
                             QStringLiteral("error"),
                             QStringLiteral("-y"),
                             QStringLiteral("-f"),
                             QStringLiteral("lavfi"),
                             QStringLiteral("-i"),
                             source};
            args << codec << s_dir->filePath(name);
            QProcess::execute(ffmpeg, args);
        };
        make(QStringLiteral("burst.mp3"), 44100, 1,
             {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
              QStringLiteral("64k")});
        make(QStringLiteral("burst.wma"), 22050, 1,
             {QStringLiteral("-c:a"), QStringLiteral("wmav2")});
        make(QStringLiteral("burst.wav"), 48000, 2,
             {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")});
        make(QStringLiteral("burst.m4a"), 44100, 2,
             {QStringLiteral("-c:a"), QStringLiteral("aac")});
        // A film: a picture stream first, the sound second.
        make(QStringLiteral("burst.mkv"), 48000, 2,
             {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
              QStringLiteral("testsrc=size=64x48:rate=5:duration=60"), QStringLiteral("-map"),
              QStringLiteral("1:v"), QStringLiteral("-map"), QStringLiteral("0:a"),
              QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-c:a"),
              QStringLiteral("libopus")});
    }
    static void TearDownTestSuite() { delete s_dir; }

    static QString file(const char *name) {
        const QString path = s_dir->filePath(QString::fromLatin1(name));
        return QFile::exists(path) ? path : QString();
    }
    static QTemporaryDir *s_dir;
};
QTemporaryDir *Bursts::s_dir = nullptr;

// Seconds into the clip of the first and last samples above a quarter scale; -1 if none.
std::pair<double, double> burstEdges(const AudioClip &clip) {
    double first = -1, last = -1;
    for (size_t i = 0; i < clip.samples.size(); ++i) {
        if (std::abs(clip.samples[i]) > 0.25) {
            if (first < 0)
                first = double(i) / rate;
            last = double(i) / rate;
        }
    }
    return {first, last};
}

// Every format, from the file's beginning (no seek) and deep inside it (seeking): the clip
// is as long as the stretch and the burst sounds where the lesson player plays it. That is
// where the file has it, but for WMA: its encoder's delay is not marked in the file, and
// libmpv (measured with its pcm output) plays the burst 46 ms late just the same.
TEST_F(Bursts, StretchesHaveTheirLengthAndTheBurstItsPlace) {
    struct Case {
        double start, end;
        double burstAt; // seconds into the clip
    };
    const Case cases[] = {{0.0, 2.0, 1.0}, {0.3, 1.8, 0.7}, {44.5, 46.0, 0.5}, {30.0, 45.2, 15.0}};
    const std::pair<const char *, double> formats[] = {
        {"burst.mp3", 0.0}, {"burst.wav", 0.0}, {"burst.wma", 0.046}};
    for (const auto &[name, late] : formats) {
        const QString path = file(name);
        if (path.isEmpty())
            GTEST_SKIP() << "ffmpeg could not make the fixtures";
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << name << " [" << c.start << ", " << c.end << ")");
            QString error;
            const AudioClip clip = SegmentDecoder::decodeNow(path, c.start, c.end, &error);
            ASSERT_EQ(clip.sampleRate, rate) << error.toStdString();
            EXPECT_NEAR(double(clip.samples.size()), (c.end - c.start) * rate, 1.0);
            const auto [first, last] = burstEdges(clip);
            EXPECT_NEAR(first, c.burstAt + late, 0.03);
            // At its own level: the stereo file's two equal channels are one, not louder.
            EXPECT_NEAR(*std::max_element(clip.samples.begin(), clip.samples.end()), 0.5, 0.03);
            if (c.end - c.start > c.burstAt + 0.6) {
                EXPECT_NEAR(last, c.burstAt + late + 0.5, 0.03);
            }
        }
    }
}

TEST_F(Bursts, AStretchPastTheEndStopsAtTheEnd) {
    for (const char *name : {"burst.mp3", "burst.wma", "burst.wav"}) {
        const QString path = file(name);
        if (path.isEmpty())
            GTEST_SKIP() << "ffmpeg could not make the fixtures";
        SCOPED_TRACE(name);
        const AudioClip clip = SegmentDecoder::decodeNow(path, 59.0, 75.0);
        EXPECT_NEAR(clip.seconds(), 1.0, 0.06);
        QString error;
        EXPECT_TRUE(SegmentDecoder::decodeNow(path, 61.0, 62.0, &error).isEmpty());
        EXPECT_FALSE(error.isEmpty());
    }
}

// A whole file read as a recording: every sample at the file's own rate, in the same place
// on the timeline as a stretch has it.
TEST_F(Bursts, WholeFilesKeepTheirOwnRateAndTimeline) {
    const struct {
        const char *name;
        int rate;
        double late;
    } formats[] = {
        {"burst.mp3", 44100, 0.0}, {"burst.wav", 48000, 0.0}, {"burst.wma", 22050, 0.046}};
    for (const auto &f : formats) {
        const QString path = file(f.name);
        if (path.isEmpty())
            GTEST_SKIP() << "ffmpeg could not make the fixtures";
        SCOPED_TRACE(f.name);
        QString error;
        const AudioClip clip = SegmentDecoder::decodeWholeNow(path, &error);
        ASSERT_EQ(clip.sampleRate, f.rate) << error.toStdString();
        EXPECT_NEAR(clip.seconds(), 60.0, 0.06);
        std::vector<double> loud; // the start of each burst, in seconds
        for (size_t i = 0; i < clip.samples.size(); ++i) {
            const double t = double(i) / f.rate;
            if (std::abs(clip.samples[i]) > 0.25 && (loud.empty() || t - loud.back() > 1.0))
                loud.push_back(t);
        }
        ASSERT_EQ(loud.size(), 2u);
        EXPECT_NEAR(loud[0], 1.0 + f.late, 0.03);
        EXPECT_NEAR(loud[1], 45.0 + f.late, 0.03);
    }
    QString error;
    EXPECT_TRUE(SegmentDecoder::decodeWholeNow(fixture("no-such.mp3"), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

// A whole recording for the aligner: 16 kHz 16-bit from any container, on the file's own
// timeline, never longer than the audio, with progress up to the end and a way to stop.
TEST_F(Bursts, WholeTracksComeAsSixteenKilohertzSamplesWithProgress) {
    const struct {
        const char *name;
        double late; // the codec's delay the lesson player also hears
    } formats[] = {{"burst.mp3", 0.0},
                   {"burst.wav", 0.0},
                   {"burst.wma", 0.046},
                   {"burst.m4a", 0.0},
                   {"burst.mkv", 0.0}};
    for (const auto &f : formats) {
        const QString path = file(f.name);
        if (path.isEmpty())
            GTEST_SKIP() << "ffmpeg could not make the fixtures";
        SCOPED_TRACE(f.name);
        std::vector<double> reported;
        const SpeechTrack track = SegmentDecoder::decodeTrack(path, [&](double fraction) {
            reported.push_back(fraction);
            return true;
        });
        ASSERT_TRUE(track.error.isEmpty()) << track.error.toStdString();
        EXPECT_FALSE(track.cancelled);
        EXPECT_NEAR(track.seconds(), 60.0, 0.06);
        std::vector<double> loud;
        for (size_t i = 0; i < track.samples.size(); ++i) {
            const double t = double(i) / rate;
            if (std::abs(track.samples[i]) > 8000 && (loud.empty() || t - loud.back() > 1.0))
                loud.push_back(t);
        }
        ASSERT_EQ(loud.size(), 2u);
        EXPECT_NEAR(loud[0], 1.0 + f.late, 0.03);
        EXPECT_NEAR(loud[1], 45.0 + f.late, 0.03);
        ASSERT_GE(reported.size(), 3u);
        EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
        EXPECT_EQ(reported.back(), 1.0);
    }

    const QString mp3 = file("burst.mp3");
    int calls = 0;
    const SpeechTrack stopped =
        SegmentDecoder::decodeTrack(mp3, [&](double) { return ++calls < 2; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_TRUE(stopped.samples.empty());
    EXPECT_FALSE(stopped.error.isEmpty());
    EXPECT_EQ(calls, 2);

    for (const QString &bad : {fixture("no-such.mp3"), QDir::tempPath()}) {
        const SpeechTrack none = SegmentDecoder::decodeTrack(bad);
        EXPECT_TRUE(none.samples.empty());
        EXPECT_FALSE(none.error.isEmpty());
        EXPECT_FALSE(none.cancelled);
    }
}

// Whatever is wrong gives an empty clip and a reason, never a crash or a hang.
TEST(SegmentDecoder, BadFilesAndStretchesGiveAnEmptyClipAndAReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const char *name, const QByteArray &bytes) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    QByteArray noise(64 * 1024, '\0');
    quint32 x = 12345; // a fixed pseudo-random sequence, the same every run
    for (char &c : noise) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    // MP3 frame headers over noise: most frames are refused, some decode as noise.
    QByteArray fakeFrames;
    for (int i = 0; i < 200; ++i)
        fakeFrames += QByteArray::fromHex("FFFB9064") + noise.mid(i * 200, 413);

    struct Case {
        const char *what;
        QString path;
        double start, end;
    };
    const Case cases[] = {
        {"missing file", dir.filePath(QStringLiteral("none.mp3")), 0, 1},
        {"empty file", write("empty.mp3", {}), 0, 1},
        {"text", fixture("notaudio.mp3"), 0, 1},
        {"noise", write("noise.mp3", noise), 0, 1},
        {"a directory", dir.path(), 0, 1},
        {"truncated before the stretch", fixture("truncated.mp3"), 2, 3},
        {"end before start", fixture("tone.mp3"), 3, 2},
        {"no length", fixture("tone.mp3"), 2, 2},
        {"not a number", fixture("tone.mp3"), std::nan(""), 2},
        {"before the beginning", fixture("tone.mp3"), -3, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        QElapsedTimer clock;
        clock.start();
        const AudioClip clip = SegmentDecoder::decodeNow(c.path, c.start, c.end, &error);
        EXPECT_TRUE(clip.isEmpty());
        EXPECT_FALSE(error.isEmpty());
        EXPECT_LT(clock.elapsed(), 5000);
    }
    const AudioClip noiseFrames =
        SegmentDecoder::decodeNow(write("frames.mp3", fakeFrames), 0.5, 5);
    EXPECT_LE(noiseFrames.samples.size(), size_t(4.5 * rate));
    // A truncated file still gives the stretch it holds.
    EXPECT_NEAR(SegmentDecoder::decodeNow(fixture("truncated.mp3"), 0.1, 0.4).seconds(), 0.3,
                0.001);
}

// Clips come on the decoder's thread with their tickets, in order; a decoder destroyed with
// jobs under way sends nothing more.
TEST(SegmentDecoder, DecodesOffTheCallersThreadAndDeliversOnIt) {
    const QString path = fixture("tone.mp3");
    {
        SegmentDecoder decoder;
        std::vector<std::pair<quint64, double>> got;
        QObject::connect(&decoder, &SegmentDecoder::decoded,
                         [&](quint64 ticket, const AudioClip &clip) {
                             EXPECT_EQ(QThread::currentThread(), decoder.thread());
                             got.emplace_back(ticket, clip.seconds());
                         });
        const quint64 a = decoder.decode(path, 1.0, 2.5);
        const quint64 b = decoder.decode(path, 9.0, 10.0); // past the end
        const quint64 c = decoder.decode(path, 0.0, 0.5);
        EXPECT_TRUE(a < b && b < c);
        QElapsedTimer clock;
        clock.start();
        while (got.size() < 3 && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[0].first, a);
        EXPECT_NEAR(got[0].second, 1.5, 0.001);
        EXPECT_EQ(got[1].first, b);
        EXPECT_EQ(got[1].second, 0.0);
        EXPECT_EQ(got[2].first, c);
    }
    int late = 0;
    {
        auto *decoder = new SegmentDecoder;
        QObject::connect(decoder, &SegmentDecoder::decoded, [&] { ++late; });
        for (int i = 0; i < 20; ++i)
            decoder->decode(path, 0.0, 6.0);
        QThread::msleep(20);
        delete decoder;
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(late, 0);
}

} // namespace
