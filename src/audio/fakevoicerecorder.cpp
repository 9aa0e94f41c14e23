#include "fakevoicerecorder.h"

VoiceRecorder::Start FakeVoiceRecorder::startRecording(const QString &filePath) {
    stopPlayback();
    m_recording = false;
    m_hasRecording = false;
    m_shape = {};
    if (nextStart != Start::Started)
        return nextStart;
    calls << QStringLiteral("record ") + filePath;
    m_recording = true;
    return Start::Started;
}

void FakeVoiceRecorder::stopRecording() {
    if (!m_recording)
        return;
    m_recording = false;
    m_hasRecording = true;
    calls << QStringLiteral("stop recording");
}

void FakeVoiceRecorder::playFromStart() {
    if (!m_hasRecording)
        return;
    m_playing = true;
    calls << QStringLiteral("play");
}

void FakeVoiceRecorder::stopPlayback() {
    if (!m_playing)
        return;
    m_playing = false;
    calls << QStringLiteral("stop playback");
}

bool FakeVoiceRecorder::finishPlayback() {
    if (!m_playing)
        return false;
    m_playing = false;
    Q_EMIT playbackFinished();
    return true;
}
