#include "audio/fakevoicerecorder.h"
#include "media/segmentdecoder.h"
#include "media/wavheader.h"
#include "speech/speechfeedback.h"
#include "study/followreadsounds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
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
    SpeechFeedback feedback;
    FollowReadSounds sounds(decoder, recorder, feedback);
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

// Once the model and a recording are there the recording is judged, off the UI thread; a
// verdict for a recording that was dropped, or for another sentence, never shows.
TEST(FollowReadSounds, TheRecordingIsJudgedOnceModelAndRecordingAreThere) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString lesson = dir.filePath(QStringLiteral("lesson.wav"));
    const QString take = dir.filePath(QStringLiteral("Recorder.wav"));
    writeWave(lesson, 500, 2000, 0.5);
    writeWave(take, 700, 1500, 0.3);
    SegmentDecoder decoder;
    FakeVoiceRecorder recorder;
    SpeechFeedback feedback;
    FollowReadSounds sounds(decoder, recorder, feedback);
    using Judging = FollowReadSounds::Judging;

    // The recording comes first: judging waits for the model.
    sounds.recordingMade(take);
    ASSERT_TRUE(waitFor([&] { return !sounds.recording().isEmpty(); }));
    EXPECT_EQ(sounds.judging(), Judging::None);
    sounds.setSentence(lesson, 0.5, 2.0, QStringLiteral("Good morning."));
    EXPECT_EQ(sounds.judging(), Judging::None) << "a new sentence drops nothing it has not got";
    ASSERT_TRUE(waitFor([&] { return sounds.judging() != Judging::None; }));
    ASSERT_TRUE(waitFor([&] { return sounds.judging() == Judging::Done; }));
    EXPECT_FALSE(sounds.feedback().summary.isEmpty());
    EXPECT_EQ(sounds.english(), QStringLiteral("Good morning."));

    // Dropped while judged: nothing arrives later.
    sounds.recordingMade(take);
    ASSERT_TRUE(waitFor([&] { return sounds.judging() == Judging::Running; }));
    sounds.recordingDropped();
    EXPECT_EQ(sounds.judging(), Judging::None);
    for (int i = 0; i < 100; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(sounds.judging(), Judging::None);
    EXPECT_TRUE(sounds.feedback().summary.isEmpty());
}

// The take's loudness is matched to the model whichever of the two is known last, even when
// the model arrives while the take is still being read.
struct ArrivalCase {
    const char *name;
    bool modelFirst; // the model is decoded before the take has been read
};

class ArrivalOrder : public ::testing::TestWithParam<ArrivalCase> {};

TEST_P(ArrivalOrder, TheTakeIsShapedAgainstTheModel) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString lesson = dir.filePath(QStringLiteral("lesson.wav"));
    const QString take = dir.filePath(QStringLiteral("Recorder.wav"));
    writeWave(lesson, 500, 2000, 0.5);
    writeWave(take, 700, 1500, 0.05);
    SegmentDecoder decoder;
    FakeVoiceRecorder recorder;
    SpeechFeedback feedback;
    FollowReadSounds sounds(decoder, recorder, feedback);

    // Both answers are left queued, without the event loop, so that they arrive in the order
    // they were finished in: the one started first is given time to finish first.
    if (GetParam().modelFirst) {
        sounds.setSentence(lesson, 0.5, 2.0);
        QThread::msleep(700);
        sounds.recordingMade(take); // measured against the model as it is: not there yet
    } else {
        sounds.recordingMade(take);
        QThread::msleep(700);
        sounds.setSentence(lesson, 0.5, 2.0);
    }
    ASSERT_TRUE(waitFor([&] {
        return !sounds.recording().isEmpty() &&
               sounds.modelStatus() == FollowReadSounds::Model::Ready;
    }));
    EXPECT_GT(sounds.shape().gain, 3.0) << "the quiet take is brought up to the model";
    EXPECT_NEAR(sounds.shape().skipMs, 660, 40);
    EXPECT_EQ(recorder.playbackShape(), sounds.shape());
}

INSTANTIATE_TEST_SUITE_P(FollowReadSounds, ArrivalOrder,
                         ::testing::Values(ArrivalCase{"modelFirst", true},
                                           ArrivalCase{"takeFirst", false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
