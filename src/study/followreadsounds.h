#pragma once

#include "audio/audioclip.h"
#include "audio/playbackshape.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

class SegmentDecoder;
class VoiceRecorder;

// What the follow-read page shows and how it plays the learner back: the model sentence
// decoded from the lesson audio (once per sentence), the learner's recording read back after
// each recording, and the shape the recording is played with (the model's loudness, the
// silence before the first sound left out), handed to the recorder as soon as both sounds
// are known. Decoding and reading run off the UI thread; changed() reports each result.
class FollowReadSounds : public QObject {
    Q_OBJECT
public:
    enum class Model { None, Reading, Ready, Failed };

    // decoder and recorder must outlive this.
    FollowReadSounds(SegmentDecoder &decoder, VoiceRecorder &recorder, QObject *parent = nullptr);
    ~FollowReadSounds() override;

    // The sentence the page is on. The same file and times again keep what is there; an
    // empty path or a stretch without length clears the model.
    void setSentence(const QString &audioPath, double startSec, double endSec);
    // A recording was completed into wavPath: read it and shape its playback.
    void recordingMade(const QString &wavPath);
    // The recording no longer belongs to the page.
    void recordingDropped();

    Model modelStatus() const { return m_modelStatus; }
    const AudioClip &model() const { return m_model; }
    const AudioClip &recording() const { return m_recording; }
    PlaybackShape shape() const { return m_shape; }
    double sentenceStart() const { return m_start; }
    // Counts the changes, so that a view redraws only what is new.
    quint64 revision() const { return m_revision; }

Q_SIGNALS:
    void changed();

private:
    void onDecoded(quint64 ticket, const AudioClip &clip);
    void onRecordingRead(quint64 generation, const AudioClip &clip, PlaybackShape shape);
    void reshape();
    void announce();

    SegmentDecoder &m_decoder;
    VoiceRecorder &m_recorder;
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
};
