#include "followreadsounds.h"

#include "audio/voicerecorder.h"
#include "media/segmentdecoder.h"
#include "media/voiceshaping.h"
#include "speech/speechfeedback.h"

namespace {

SpeechAudio speechAudio(const AudioClip &clip) {
    return {clip.sampleRate, clip.samples};
}

} // namespace

FollowReadSounds::FollowReadSounds(SegmentDecoder &decoder, VoiceRecorder &recorder,
                                   SpeechFeedback &feedback, QObject *parent)
    : QObject(parent), m_decoder(decoder), m_recorder(recorder), m_feedback(feedback) {
    m_pool.setMaxThreadCount(1);
    connect(&m_decoder, &SegmentDecoder::decoded, this, &FollowReadSounds::onDecoded);
    connect(&m_feedback, &SpeechFeedback::feedbackReady, this,
            [this](quint64 ticket, const SentenceFeedback &feedback) {
                if (ticket != m_feedbackTicket || m_judging != Judging::Running)
                    return; // for a recording or sentence that is gone
                m_feedbackResult = feedback;
                m_judging = Judging::Done;
                announce();
            });
}

FollowReadSounds::~FollowReadSounds() {
    m_pool.waitForDone();
}

void FollowReadSounds::pageOpened() {
    m_feedback.warmUp();
}

void FollowReadSounds::setSentence(const QString &audioPath, double startSec, double endSec,
                                   const QString &english) {
    if (audioPath == m_path && startSec == m_start && endSec == m_end && english == m_english)
        return;
    dropFeedback();
    m_english = english;
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
    judge();
    announce();
}

void FollowReadSounds::recordingMade(const QString &wavPath) {
    const quint64 generation = ++m_recordingGeneration;
    // Measuring a long recording takes a while too: it is shaped where it is read, against
    // the model as it is now (a model that comes later shapes it again).
    const quint64 modelTicket = m_ticket;
    const Model modelStatus = m_modelStatus;
    m_pool.start([this, wavPath, generation, model = m_model, modelTicket, modelStatus] {
        AudioClip clip = readWaveClip(wavPath);
        const PlaybackShape shape = clip.isEmpty() ? PlaybackShape{} : shapeRecording(model, clip);
        QMetaObject::invokeMethod(
            this,
            [this, generation, shape, modelTicket, modelStatus, clip = std::move(clip)] {
                onRecordingRead(generation, clip, shape, modelTicket, modelStatus);
            },
            Qt::QueuedConnection);
    });
}

void FollowReadSounds::onRecordingRead(quint64 generation, const AudioClip &clip,
                                       PlaybackShape shape, quint64 modelTicket,
                                       Model modelStatus) {
    if (generation != m_recordingGeneration)
        return; // dropped or replaced while it was read
    m_recording = clip;
    // The model came (or changed) while the recording was read: the shape measured against
    // the model as it was is stale, and the model's own arrival found no recording to shape.
    if (modelTicket != m_ticket || modelStatus != m_modelStatus)
        reshape();
    else
        m_shape = shape;
    m_recorder.setPlaybackShape(m_shape);
    dropFeedback();
    judge();
    announce();
}

void FollowReadSounds::recordingDropped() {
    ++m_recordingGeneration;
    if (m_recording.isEmpty() && m_shape.gain == 1.0 && m_shape.skipMs == 0)
        return;
    dropFeedback();
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

// The recording against the model, once both are there and the sentence has words.
void FollowReadSounds::judge() {
    if (m_modelStatus != Model::Ready || m_recording.isEmpty() || m_english.trimmed().isEmpty() ||
        m_judging != Judging::None)
        return;
    m_judging = Judging::Running;
    m_feedbackTicket =
        m_feedback.request(m_english, m_ticket, speechAudio(m_model), speechAudio(m_recording));
}

void FollowReadSounds::dropFeedback() {
    if (m_judging == Judging::Running)
        m_feedback.cancel();
    m_judging = Judging::None;
    m_feedbackTicket = 0;
    m_feedbackResult = {};
}
