#include "followreadsounds.h"

#include "audio/segmentdecoder.h"
#include "audio/voicerecorder.h"
#include "audio/voiceshaping.h"

FollowReadSounds::FollowReadSounds(SegmentDecoder &decoder, VoiceRecorder &recorder,
                                   QObject *parent)
    : QObject(parent), m_decoder(decoder), m_recorder(recorder) {
    m_pool.setMaxThreadCount(1);
    connect(&m_decoder, &SegmentDecoder::decoded, this, &FollowReadSounds::onDecoded);
}

FollowReadSounds::~FollowReadSounds() {
    m_pool.waitForDone();
}

void FollowReadSounds::setSentence(const QString &audioPath, double startSec, double endSec) {
    if (audioPath == m_path && startSec == m_start && endSec == m_end)
        return;
    m_path = audioPath;
    m_start = startSec;
    m_end = endSec;
    m_model = {};
    if (audioPath.isEmpty() || !(endSec > startSec)) {
        m_ticket = 0;
        m_modelStatus = Model::None;
    } else {
        m_ticket = m_decoder.decode(audioPath, startSec, endSec);
        m_modelStatus = Model::Reading;
    }
    reshape();
    announce();
}

void FollowReadSounds::onDecoded(quint64 ticket, const AudioClip &clip) {
    if (ticket != m_ticket || m_ticket == 0)
        return; // an earlier sentence's
    m_model = clip;
    m_modelStatus = clip.isEmpty() ? Model::Failed : Model::Ready;
    reshape();
    announce();
}

void FollowReadSounds::recordingMade(const QString &wavPath) {
    const quint64 generation = ++m_recordingGeneration;
    // Measuring a long recording takes a while too: it is shaped where it is read, against
    // the model as it is now (a model that comes later shapes it again).
    m_pool.start([this, wavPath, generation, model = m_model] {
        AudioClip clip = readWaveClip(wavPath);
        const PlaybackShape shape = clip.isEmpty() ? PlaybackShape{} : shapeRecording(model, clip);
        QMetaObject::invokeMethod(
            this,
            [this, generation, shape, clip = std::move(clip)] {
                onRecordingRead(generation, clip, shape);
            },
            Qt::QueuedConnection);
    });
}

void FollowReadSounds::onRecordingRead(quint64 generation, const AudioClip &clip,
                                       PlaybackShape shape) {
    if (generation != m_recordingGeneration)
        return; // dropped or replaced while it was read
    m_recording = clip;
    m_shape = shape;
    m_recorder.setPlaybackShape(m_shape);
    announce();
}

void FollowReadSounds::recordingDropped() {
    ++m_recordingGeneration;
    if (m_recording.isEmpty() && m_shape.gain == 1.0 && m_shape.skipMs == 0)
        return;
    m_recording = {};
    reshape();
    announce();
}

void FollowReadSounds::reshape() {
    m_shape = m_recording.isEmpty() ? PlaybackShape{} : shapeRecording(m_model, m_recording);
    m_recorder.setPlaybackShape(m_shape);
}

void FollowReadSounds::announce() {
    ++m_revision;
    Q_EMIT changed();
}
