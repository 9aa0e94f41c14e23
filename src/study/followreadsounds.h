#pragma once

#include "media/audioclip.h"
#include "media/playbackshape.h"
#include "speech/speechtypes.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

class SegmentDecoder;
class SpeechFeedback;
class VoiceRecorder;

// What the follow-read page shows and how it plays the learner back: the model sentence
// decoded from the lesson audio (once per sentence), the learner's recording read back after
// each recording, and the shape the recording is played with (the model's loudness, the
// silence before the first sound left out), handed to the recorder as soon as both sounds
// are known. Once both are there, the recording is judged against the model (missed and
// unclear words, pitch, timing). Decoding, reading and judging run off the UI thread;
// changed() reports each result.
class FollowReadSounds : public QObject {
    Q_OBJECT
public:
    enum class Model { None, Reading, Ready, Failed };
    enum class Judging { None, Running, Done };

    // decoder, recorder and feedback must outlive this.
    FollowReadSounds(SegmentDecoder &decoder, VoiceRecorder &recorder, SpeechFeedback &feedback,
                     QObject *parent = nullptr);
    ~FollowReadSounds() override;

    // The sentence the page is on. The same file and times again keep what is there; an
    // empty path or a stretch without length clears the model.
    void setSentence(const QString &audioPath, double startSec, double endSec,
                     const QString &english = {});
    // The page has been opened: the recogniser loads now, before the first recording.
    void pageOpened();
    // A recording was completed into wavPath: read it and shape its playback.
    void recordingMade(const QString &wavPath);
    // The recording no longer belongs to the page.
    void recordingDropped();

    Model modelStatus() const { return m_modelStatus; }
    const AudioClip &model() const { return m_model; }
    const AudioClip &recording() const { return m_recording; }
    PlaybackShape shape() const { return m_shape; }
    Judging judging() const { return m_judging; }
    // The last recording's feedback (when judging() is Done), for english().
    const SentenceFeedback &feedback() const { return m_feedbackResult; }
    const QString &english() const { return m_english; }
    double sentenceStart() const { return m_start; }
    // Counts the changes, so that a view redraws only what is new.
    quint64 revision() const { return m_revision; }

Q_SIGNALS:
    void changed();

private:
    void onDecoded(quint64 ticket, const AudioClip &clip);
    // modelTicket and modelStatus: the model the shape was measured against.
    void onRecordingRead(quint64 generation, const AudioClip &clip, PlaybackShape shape,
                         quint64 modelTicket, Model modelStatus);
    void reshape();
    void announce();
    void judge();
    void dropFeedback();

    SegmentDecoder &m_decoder;
    VoiceRecorder &m_recorder;
    SpeechFeedback &m_feedback;
    QThreadPool m_pool; // reads recordings; waited for on destruction
    QString m_path;
    double m_start = 0;
    double m_end = 0;
    quint64 m_ticket = 0;
    quint64 m_recordingGeneration = 0;
    Model m_modelStatus = Model::None;
    AudioClip m_model;
    AudioClip m_recording;
    PlaybackShape m_shape;
    quint64 m_revision = 0;
    QString m_english;
    Judging m_judging = Judging::None;
    quint64 m_feedbackTicket = 0;
    SentenceFeedback m_feedbackResult;
};
