#include "audio/fakevoicerecorder.h"
#include "audio/segmentdecoder.h"
#include "audio/wavheader.h"
#include "study/followreadsounds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// 16 kHz mono: silentMs of silence, then toneMs of a 300 Hz tone at amplitude.
void writeWave(const QString &path, int silentMs, int toneMs, double amplitude) {
    const int rate = 16000;
    const int silent = rate * silentMs / 1000;
    const int total = silent + rate * toneMs / 1000;
    QByteArray data(total * 2, '\0');
    for (int i = silent; i < total; ++i) {
        const double s = amplitude * std::sin(2 * M_PI * 300 * (i - silent) / rate);
        qToLittleEndian(qint16(std::lround(s * 32767)), data.data() + 2 * i);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(wavHeader(PcmLayout{rate, 1, 16}, data.size()) + data);
}

bool waitFor(const std::function<bool()> &done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The model of each sentence, the recording after each take, and the shape handed to the
// recorder, as the page goes through them; stale answers never overwrite newer ones.
TEST(FollowReadSounds, ModelRecordingAndShapeFollowThePage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString lesson = dir.filePath(QStringLiteral("lesson.wav"));
    const QString take = dir.filePath(QStringLiteral("Recorder.wav"));
    writeWave(lesson, 500, 2000, 0.5);
    writeWave(take, 700, 1500, 0.05); // a late, quiet learner
    SegmentDecoder decoder;
    FakeVoiceRecorder recorder;
    FollowReadSounds sounds(decoder, recorder);
    using Model = FollowReadSounds::Model;

    // A sentence, then at once another: only the second one's model arrives.
    sounds.setSentence(lesson, 0.0, 1.0);
    sounds.setSentence(lesson, 0.5, 2.0);
    EXPECT_EQ(sounds.modelStatus(), Model::Reading);
    ASSERT_TRUE(waitFor([&] { return sounds.modelStatus() != Model::Reading; }));
    EXPECT_EQ(sounds.modelStatus(), Model::Ready);
    EXPECT_NEAR(sounds.model().seconds(), 1.5, 0.01);
    const quint64 revision = sounds.revision();
    sounds.setSentence(lesson, 0.5, 2.0);
    EXPECT_EQ(sounds.revision(), revision) << "the same sentence again decodes nothing";

    // The take is read, brought up towards the model and started where the voice starts.
    sounds.recordingMade(take);
    ASSERT_TRUE(waitFor([&] { return !sounds.recording().isEmpty(); }));
    EXPECT_NEAR(sounds.recording().seconds(), 2.2, 0.01);
    EXPECT_GT(sounds.shape().gain, 3.0);
    EXPECT_NEAR(sounds.shape().skipMs, 660, 40);
    EXPECT_EQ(recorder.playbackShape(), sounds.shape());

    // A take dropped while it is read never shows; a dropped one leaves the plain shape.
    sounds.recordingMade(take);
    sounds.recordingDropped();
    QCoreApplication::processEvents();
    EXPECT_TRUE(sounds.recording().isEmpty());
    EXPECT_EQ(recorder.playbackShape(), PlaybackShape{});
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(sounds.recording().isEmpty());

    // Without audio, or with audio that cannot be read, the page says so.
    sounds.setSentence(QString(), 0, 1);
    EXPECT_EQ(sounds.modelStatus(), Model::None);
    sounds.setSentence(dir.filePath(QStringLiteral("missing.mp3")), 0, 1);
    ASSERT_TRUE(waitFor([&] { return sounds.modelStatus() != Model::Reading; }));
    EXPECT_EQ(sounds.modelStatus(), Model::Failed);
}

} // namespace
