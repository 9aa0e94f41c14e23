#include "audio/qtvoicerecorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Without a server nothing records: the start says so at once, creates no file, and every
// other call stays harmless.
TEST(RecorderWithoutServer, StartFailsQuicklyAndLeavesNothingBehind) {
    ASSERT_TRUE(qgetenv("PULSE_SERVER").contains("nonexistent"))
        << "run through ctest, which points PULSE_SERVER nowhere";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("voice.wav"));
    QtVoiceRecorder recorder;

    QElapsedTimer clock;
    clock.start();
    const VoiceRecorder::Start start = recorder.startRecording(path);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(start, VoiceRecorder::Start::NoSoundServer);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(recorder.hasRecording());
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(QtVoiceRecorder::serverDefaultSource().isEmpty());

    recorder.stopRecording();
    recorder.playFromStart();
    EXPECT_FALSE(recorder.isPlaying());
    recorder.stopPlayback();
}

} // namespace
