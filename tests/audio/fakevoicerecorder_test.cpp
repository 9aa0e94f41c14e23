#include "audio/fakevoicerecorder.h"

#include <gtest/gtest.h>

namespace {

// The fake stands in for the real recorder in the page's tests: its shape and position must
// follow the same rules.
TEST(FakeVoiceRecorder, ShapeLastsUntilANewRecordingAndPositionOnlyWhilePlaying) {
    FakeVoiceRecorder recorder;
    recorder.positionMs = 700;
    EXPECT_EQ(recorder.playbackPositionMs(), -1);
    recorder.startRecording(QStringLiteral("/tmp/voice.wav"));
    recorder.stopRecording();
    const PlaybackShape shape{2.5, 660};
    recorder.setPlaybackShape(shape);
    for (int play = 0; play < 2; ++play) {
        recorder.playFromStart();
        EXPECT_EQ(recorder.playbackShape(), shape);
        EXPECT_EQ(recorder.playbackPositionMs(), 700);
        recorder.finishPlayback();
        EXPECT_EQ(recorder.playbackPositionMs(), -1);
    }
    recorder.nextStart = VoiceRecorder::Start::NoInputDevice;
    recorder.startRecording(QStringLiteral("/tmp/voice.wav"));
    EXPECT_EQ(recorder.playbackShape(), PlaybackShape{});
}

} // namespace
