#pragma once

#include "shortsound.h"

#include <QAudio>
#include <QAudioFormat>
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class ClipStream;
class QAudioSink;
class QTimer;

// Click and typing sounds through one audio sink that stays open: a sound starts within the
// sink's short buffer (20 to 40 ms measured on PulseAudio) instead of waiting for a new output
// stream, and sounds shorter than a stream's start-up are not lost (QSoundEffect opens a
// stream per play, and on PulseAudio drops sounds shorter than ~300 ms). A new sound cuts off
// the one playing.
//
// The sink opens on the first sound and is suspended after a few seconds of silence, so
// that an idle program keeps no stream running; the next sound resumes it. With no audio
// output, a missing file or one that is not a readable wave file, nothing plays and nothing
// is reported. Files are decoded once and kept (a handful of small clips).
class QtShortSoundPlayer : public QObject, public ShortSoundPlayer {
    Q_OBJECT
public:
    explicit QtShortSoundPlayer(QObject *parent = nullptr);
    ~QtShortSoundPlayer() override;

    void play(const QString &path) override;
    // Decodes files ahead, so that their first play reads nothing from disk.
    void preload(const QStringList &paths);

    // Whether an output is open (false without any audio device).
    bool hasOutput() const { return m_sink != nullptr; }
    // The output's state: Suspended after a few seconds of silence, Stopped without one.
    QAudio::State outputState() const;
    // The format sounds are rendered in; invalid while no output is open.
    QAudioFormat outputFormat() const { return m_format; }

    // Qt feeds a PulseAudio stream in whole 20 ms periods, and a stream whose pre-buffer is
    // more than the periods that fit in its target length never starts: at 40 ms nothing was
    // ever heard. 80 ms leaves a period to spare; Qt's default buffer adds ~170 ms of delay.
    static constexpr int bufferMs = 80;
    static constexpr int idleMs = 3000;
    // Wave files above this size are not read (ten seconds of 192 kHz stereo is far less).
    static constexpr qint64 maxFileBytes = qint64(16) << 20;

private:
    bool ensureOutput();
    void dropOutput();
    QByteArray clipFor(const QString &path);
    void suspendIfIdle();

    QAudioSink *m_sink = nullptr;
    ClipStream *m_stream = nullptr;
    QTimer *m_idle = nullptr;
    QAudioFormat m_format;
    QHash<QString, QByteArray> m_clips; // rendered in m_format
};
