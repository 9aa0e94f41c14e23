#include "media/audioimport.h"
#include "media/segmentdecoder.h"
#include "media/wavheader.h"

#include "support/qstringprinter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

QString fixture(const char *name) {
    return QStringLiteral(ORVESSA_TEST_DATA_DIR "/audio/") + QString::fromLatin1(name);
}

// A 16-bit PCM wave file of a 440 Hz tone at half scale, the same in every channel.
void writeTone(const QString &path, int rate, int channels, double seconds) {
    const qint64 frames = std::llround(seconds * rate);
    QByteArray data;
    data.reserve(frames * channels * 2);
    for (qint64 i = 0; i < frames; ++i) {
        const auto sample = qint16(std::lround(16000 * std::sin(2 * M_PI * 440 * i / rate)));
        for (int c = 0; c < channels; ++c) {
            data.append(char(sample & 0xff)).append(char((sample >> 8) & 0xff));
        }
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(wavHeader({rate, channels, 16}, data.size()) + data);
}

// The pitch of a steady tone in a file, from its zero crossings in the second from `from`
// (or what of it the file holds), and
// its loudness (RMS, full scale 1).
struct Tone {
    double hertz = 0;
    double rms = 0;
};

Tone measureTone(const QString &path, double from) {
    const AudioClip clip = SegmentDecoder::decodeNow(path, from, from + 1);
    Tone tone;
    for (size_t i = 1; i < clip.samples.size(); ++i) {
        if ((clip.samples[i - 1] < 0) != (clip.samples[i] < 0))
            tone.hertz += 0.5;
        tone.rms += double(clip.samples[i]) * clip.samples[i];
    }
    if (clip.isEmpty())
        return {};
    tone.hertz /= clip.seconds();
    tone.rms = std::sqrt(tone.rms / double(clip.samples.size()));
    return tone;
}

TEST(AudioImport, ProbeTellsMp3AndLength) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    writeTone(wav, 22050, 1, 2.5);
    const struct {
        QString path;
        bool isMp3;
        double seconds;
    } cases[] = {
        {fixture("tone.mp3"), true, 6.06},
        {fixture("tone.wma"), false, 6.04},
        {fixture("truncated.mp3"), true, 0.7},
        {wav, false, 2.5},
        // Its header states the 6 s of the whole file: what is there is decoded.
        {fixture("truncated-info.mp3"), true, 0.65},
        {fixture("noduration.mka"), false, 1.5}, // measured by decoding
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const AudioFileFacts facts = probeAudioFile(c.path);
        EXPECT_TRUE(facts.error.isEmpty()) << facts.error.toStdString();
        EXPECT_EQ(facts.isMp3, c.isMp3);
        EXPECT_NEAR(facts.seconds, c.seconds, 0.1);
    }
}

TEST(AudioImport, ConvertedFilesAreMp3OfTheSameLength) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct {
        const char *name;
        int rate;
        int channels;
        double seconds;
    } sources[] = {
        {"mono 22.05 kHz", 22050, 1, 3.0},
        {"stereo 48 kHz", 48000, 2, 2.0},
        {"mono 96 kHz, a rate MP3 lacks", 96000, 1, 1.5},
        {"six channels", 44100, 6, 1.0},
    };
    const QString to = dir.filePath(QStringLiteral("out.mp3"));
    for (const auto &source : sources) {
        SCOPED_TRACE(source.name);
        const QString from = dir.filePath(QStringLiteral("in.wav"));
        writeTone(from, source.rate, source.channels, source.seconds);
        // The target is replaced by each run.
        ASSERT_EQ(convertToMp3(from, to), QString());
        const AudioFileFacts facts = probeAudioFile(to);
        EXPECT_TRUE(facts.error.isEmpty()) << facts.error.toStdString();
        EXPECT_TRUE(facts.isMp3);
        EXPECT_NEAR(facts.seconds, source.seconds, 0.1);
        // The tone itself, not noise or a tone at another speed.
        const Tone tone = measureTone(to, 0.25);
        EXPECT_NEAR(tone.hertz, 440, 5);
        EXPECT_GT(tone.rms, 0.2);
        EXPECT_LT(tone.rms, 0.5);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
    // From an MP3 and from other containers.
    // An MP3's stated length counts the encoder's delay and padding: about a frame, 72 ms at
    // the 8 kHz the last one keeps, against 26 ms at 44.1 kHz.
    const struct {
        const char *name;
        double seconds;
        double within;
    } files[] = {{"tone.mp3", 6.06, 0.1}, {"tone.wma", 6.04, 0.1}, {"noduration.mka", 1.5, 0.2}};
    for (const auto &file : files) {
        SCOPED_TRACE(file.name);
        ASSERT_EQ(convertToMp3(fixture(file.name), to), QString());
        const AudioFileFacts facts = probeAudioFile(to);
        EXPECT_TRUE(facts.isMp3);
        EXPECT_NEAR(facts.seconds, file.seconds, file.within);
    }
}

TEST(AudioImport, WhatIsNotAudioGivesOneLineAndNoFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString empty = dir.filePath(QStringLiteral("empty.wav"));
    QFile(empty).open(QIODevice::WriteOnly);
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Lesson 1: Good morning.\nLesson 2: How are you?\n");
    }
    const QString unwritable = dir.filePath(QStringLiteral("no/such/folder/out.mp3"));
    const struct {
        QString from;
        QString to;
        bool badSource;
    } cases[] = {
        {fixture("notaudio.mp3"), dir.filePath(QStringLiteral("a.mp3")), true},
        {text, dir.filePath(QStringLiteral("b.mp3")), true},
        {empty, dir.filePath(QStringLiteral("c.mp3")), true},
        {dir.filePath(QStringLiteral("missing.wav")), dir.filePath(QStringLiteral("d.mp3")), true},
        {dir.path(), dir.filePath(QStringLiteral("e.mp3")), true},
        // A video without sound.
        {QStringLiteral(ORVESSA_TEST_DATA_DIR "/video/silent.mp4"),
         dir.filePath(QStringLiteral("f.mp3")), true},
        {fixture("tone.mp3"), unwritable, false},
        {fixture("tone.mp3"), dir.path(), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.from.toStdString() + " -> " + c.to.toStdString());
        const QString error = convertToMp3(c.from, c.to);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(error.contains(u'\n'));
        if (c.to != dir.path()) {
            EXPECT_FALSE(QFile::exists(c.to));
        }
        if (c.badSource) {
            const AudioFileFacts facts = probeAudioFile(c.from);
            EXPECT_FALSE(facts.error.isEmpty());
            EXPECT_FALSE(facts.error.contains(u'\n'));
            EXPECT_EQ(facts.seconds, 0);
            EXPECT_FALSE(facts.isMp3);
        }
    }
    // Nothing but the two inputs is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(AudioImport, AVideoGivesItsFirstAudioStream) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString to = dir.filePath(QStringLiteral("out.mp3"));
    const struct {
        const char *name;
        double hertz;
    } cases[] = {
        {"two.mkv", 440},
        {"movtext.mp4", 440},
        {"webvtt.webm", 440},
        // The second stream is the default one, in stereo and at a higher bit rate, all of
        // which FFmpeg's own choice prefers.
        {"twoaudio.mkv", 440},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString from = QStringLiteral(ORVESSA_TEST_DATA_DIR "/video/") + c.name;
        const AudioFileFacts facts = probeAudioFile(from);
        EXPECT_EQ(facts.error, QString());
        EXPECT_FALSE(facts.isMp3);
        EXPECT_NEAR(facts.seconds, 2.0, 0.1);
        ASSERT_EQ(convertToMp3(from, to), QString());
        EXPECT_NEAR(probeAudioFile(to).seconds, 2.0, 0.1);
        EXPECT_NEAR(measureTone(to, 0.5).hertz, c.hertz, 10);
    }
    const AudioFileFacts silent =
        probeAudioFile(QStringLiteral(ORVESSA_TEST_DATA_DIR "/video/silent.mp4"));
    EXPECT_TRUE(silent.error.contains(QStringLiteral("no audio stream")))
        << silent.error.toStdString();
}

TEST(AudioImport, AConversionStoppedLeavesTheTargetAsItWas) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString from = dir.filePath(QStringLiteral("long.wav"));
    writeTone(from, 44100, 2, 40);
    const QString to = dir.filePath(QStringLiteral("out.mp3"));
    const QByteArray before = "an older lesson's audio";
    const struct {
        const char *name;
        QString from;
        double stopAt; // > 1: never stopped
    } cases[] = {
        {"half way", from, 0.5},
        {"at the first word", from, 0},
        // Its length is known only by decoding: the fraction goes by the bytes read.
        {"a file of unknown length", fixture("noduration.mka"), 0},
        {"a video", QStringLiteral(ORVESSA_TEST_DATA_DIR "/video/two.mkv"), 0},
        {"to the end", from, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        {
            QFile old(to);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
            old.write(before);
        }
        std::vector<double> told;
        const QString error = convertToMp3(c.from, to, nullptr, [&](double fraction) {
            told.push_back(fraction);
            return fraction < c.stopAt;
        });
        ASSERT_FALSE(told.empty());
        EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
        EXPECT_GE(told.front(), 0);
        EXPECT_LE(told.back(), 1);
        QFile target(to);
        ASSERT_TRUE(target.open(QIODevice::ReadOnly));
        if (c.stopAt > 1) {
            EXPECT_EQ(error, QString());
            EXPECT_EQ(told.back(), 1);
            EXPECT_GT(told.size(), 3u); // told along the way, not only at the end
            EXPECT_NE(target.readAll(), before);
        } else {
            EXPECT_EQ(error, QStringLiteral("stopped"));
            EXPECT_LT(told.back(), 1);
            EXPECT_GE(told.back(), c.stopAt);
            EXPECT_EQ(target.readAll(), before);
        }
        // No passing file is left beside the target.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
    // Measuring a film's sound decodes all of it, and stops as well.
    const AudioFileFacts probed = probeAudioFile(from, [](double) { return false; });
    EXPECT_EQ(probed.error, QStringLiteral("stopped"));
    EXPECT_EQ(probed.seconds, 0);
}

} // namespace
