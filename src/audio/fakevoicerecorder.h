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
    Take stopRecording() override;
    Play playFromStart() override;
    void stopPlayback() override;
    void setPlaybackShape(PlaybackShape shape) override { m_shape = shape; }
    PlaybackShape playbackShape() const override { return m_shape; }
    // positionMs while playing, else -1.
    qint64 playbackPositionMs() const override { return m_playing ? positionMs : -1; }

    // Lists "watch <ms>" and returns nextStart; a test emits inputLevel() itself.
    Start watchInputLevel(int ms) override;

    bool isRecording() const override { return m_recording; }
    bool isPlaying() const override { return m_playing; }
    bool hasRecording() const override { return m_hasRecording; }

    // The playback reaches the end of the recording: emits playbackFinished() if it was
    // playing. Returns whether it was.
    bool finishPlayback();

    Start nextStart = Start::Started; // what every startRecording() returns
    Take nextTake = Take::Made;       // what the stop of a recording makes of it
    Play nextPlay = Play::Started;    // what a play with a recording does
    qint64 positionMs = 0;            // the playback position a test has set
    // "record <path>", "stop recording", "play", "stop playback", "watch <ms>"; stops with
    // nothing to stop, and plays that start nothing, are not listed.
    QStringList calls;

private:
    bool m_recording = false;
    bool m_playing = false;
    bool m_hasRecording = false;
    PlaybackShape m_shape;
};
