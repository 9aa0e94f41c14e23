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

VoiceRecorder::Take FakeVoiceRecorder::stopRecording() {
    if (!m_recording)
        return Take::NotRecording;
    m_recording = false;
    m_hasRecording = nextTake == Take::Made;
    calls << QStringLiteral("stop recording");
    return nextTake;
}

VoiceRecorder::Play FakeVoiceRecorder::playFromStart() {
    if (!m_hasRecording || m_recording)
        return Play::NoRecording;
    m_playing = false;
    if (nextPlay != Play::Started)
        return nextPlay;
    m_playing = true;
    calls << QStringLiteral("play");
    return Play::Started;
}

VoiceRecorder::Start FakeVoiceRecorder::watchInputLevel(int ms) {
    calls << QStringLiteral("watch %1").arg(ms);
    return nextStart;
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
