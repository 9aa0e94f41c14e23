#pragma once

#include "voicerecorder.h"

#include <QStringList>

// A recorder that records and plays nothing. A test chooses what the next start returns
// and ends a playback by hand; every call is listed in order.
class FakeVoiceRecorder : public VoiceRecorder {
    Q_OBJECT
public:
    using VoiceRecorder::VoiceRecorder;

    Start startRecording(const QString &filePath) override;
    void stopRecording() override;
    void playFromStart() override;
    void stopPlayback() override;
    void setPlaybackShape(PlaybackShape shape) override { m_shape = shape; }
    PlaybackShape playbackShape() const override { return m_shape; }
    // positionMs while playing, else -1.
    qint64 playbackPositionMs() const override { return m_playing ? positionMs : -1; }

    bool isRecording() const override { return m_recording; }
    bool isPlaying() const override { return m_playing; }
    bool hasRecording() const override { return m_hasRecording; }

    // The playback reaches the end of the recording: emits playbackFinished() if it was
    // playing. Returns whether it was.
    bool finishPlayback();

    Start nextStart = Start::Started; // what every startRecording() returns
    qint64 positionMs = 0;            // the playback position a test has set
    // "record <path>", "stop recording", "play", "stop playback"; stops with nothing to
    // stop are not listed.
    QStringList calls;

private:
    bool m_recording = false;
    bool m_playing = false;
    bool m_hasRecording = false;
    PlaybackShape m_shape;
};
