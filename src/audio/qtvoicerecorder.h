#pragma once

#include "inputleveltap.h"
#include "media/wavheader.h"
#include "voicerecorder.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QBuffer>
#include <QElapsedTimer>
#include <QSaveFile>
#include <QString>
#include <QTimer>
#include <optional>

class QAudioSink;
class QAudioSource;
class QProcess;

// Records the learner through the sound server's default source straight into a wave file
// (16-bit mono), and plays it back through the default output.
//
// Qt 6.4 reports the first capture device as the default rather than the one the server is
// set to, so the server is asked for its default source by name (pactl, which honours
// PULSE_SERVER like every other client) and the device with that id is used; without an
// answer Qt's default is taken. The source writes into the file itself: nothing between the
// device and the file delays the start.
//
// The header goes in first with zero sizes and is rewritten with the real ones on stop, so
// a recording cut off by a crash is still a readable (if empty-looking) wave file. It is
// written into a temporary file beside the recording file (QSaveFile), which replaces the
// recording file in one step only when the stop finds a take in it.
//
// A playback shape is applied to the samples as they are read for the playback, never to
// the file: the recording stays as it was heard.
class QtVoiceRecorder : public VoiceRecorder {
    Q_OBJECT
public:
    explicit QtVoiceRecorder(QObject *parent = nullptr);
    ~QtVoiceRecorder() override;

    // Asks the server for its default source in the background and listens for the server's
    // changes (pactl subscribe); the answer serves every later start, which then needs no
    // round trip to the server. A change of the server's defaults asks again, so a newly
    // chosen microphone is followed; until the new answer is in, a start asks itself.
    void prepare() override;
    Start startRecording(const QString &filePath) override;
    Take stopRecording() override;
    Play playFromStart() override;
    void stopPlayback() override;
    void setPlaybackShape(PlaybackShape shape) override { m_shape = shape; }
    PlaybackShape playbackShape() const override { return m_shape; }
    qint64 playbackPositionMs() const override;
    Start watchInputLevel(int ms) override;

    bool isRecording() const override { return m_source != nullptr; }
    bool isPlaying() const override { return m_sink != nullptr; }
    bool hasRecording() const override { return m_hasRecording; }

    // The id of the capture device the last recording used; empty before the first.
    QString inputDeviceId() const { return m_inputId; }
    // The format the last recording was made in.
    QAudioFormat recordingFormat() const { return m_format; }

    // The sound server's default source name, or empty when it cannot be asked: no pactl,
    // no server, or no answer within timeoutMs. Whether the server answered at all goes to
    // serverAnswered.
    static QString serverDefaultSource(bool *serverAnswered = nullptr, int timeoutMs = 1000);

    // The playback sink's buffer. Its end is reported once the last samples have left the
    // buffer as well, so a short one keeps playbackFinished() close to the end that is heard;
    // the same 80 ms as the click sounds, which PulseAudio is measured to start reliably.
    static constexpr int playbackBufferMs = 80;
    static constexpr int levelIntervalMs = 50;

private:
    void onDefaultSourceAnswered();
    void onServerEvents();
    QAudioDevice chooseInput(bool *serverAnswered) const;
    // The device and format a capture would use now, or why there is none.
    Start findInput(QAudioDevice &device, QAudioFormat &format);
    void startWatchSource();
    void stopWatchSource();
    void reportLevel();
    void dropRecording();
    void endPlayback();
    void onSinkState();

    QAudioSource *m_source = nullptr;
    QAudioSink *m_sink = nullptr;
    QSaveFile m_file;
    InputLevelTap m_tap;                   // between the capture device and the file
    QAudioSource *m_watchSource = nullptr; // a level check while nothing records
    InputLevelTap m_watchTap;
    QTimer m_levelTimer;
    QElapsedTimer m_watchClock;
    qint64 m_watchMs = 0; // how long the level is watched from m_watchClock's start
    QAudioDevice m_watchDevice;
    QAudioFormat m_watchFormat;
    bool m_serverAnswered = false; // the last findInput() heard from the server
    QBuffer m_playback;
    QTimer m_drained; // the sink's buffer playing out after the last samples went in
    QAudioFormat m_format;
    QString m_path;
    QString m_inputId;
    QProcess *m_lookup = nullptr;         // the background question to the server
    QProcess *m_events = nullptr;         // pactl subscribe, while the server is there
    std::optional<QString> m_knownSource; // the last answer, until the server changes
    bool m_hasRecording = false;
    PlaybackShape m_shape;
    qint64 m_playbackSkipMs = 0; // the skip of the playback under way
    qint64 m_playbackMs = 0;     // and how long it is, from that skip to the end
};
