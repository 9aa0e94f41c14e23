#pragma once

#include "stallwatch.h"
#include "voicebackend.h"

#include <QElapsedTimer>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>
#include <memory>

class QAudioOutput;

// The fallback device: Qt Multimedia's QMediaPlayer (GStreamer). Positions are whole
// milliseconds. The rate changes the pitch with the speed (0.5 plays an octave lower):
// the GStreamer player offers no pitch correction.
//
// Every play() that does not continue a running playback, and every seek or rate change
// while playing, starts the player afresh: the file is set again (about 10 ms once
// GStreamer has seen it), paused, sought and played in one go. With PulseAudio 16.1 (Debian 12) a
// GStreamer stream that resumes after some 0.2 s in pause loses a few hundred milliseconds of sound
// and, every few resumes, freezes for good (Qt warns about PulseAudio 16 for this reason; fixed by
// PulseAudio merge requests 745 and 764, released in 16.2). A fresh start avoided both in
// every run measured, at about 10 ms more start latency. A watchdog mends any freeze
// that still happens by starting afresh where playback stood.
class QtPlayerBackend : public VoiceBackend {
    Q_OBJECT
public:
    // Empty when a QMediaPlayer can be constructed safely here; otherwise what is missing.
    // Qt 6.4 crashes in the QMediaPlayer constructor when GStreamer lacks the elements
    // its player is built from, and QMediaPlayer::isAvailable() cannot tell beforehand,
    // so the GStreamer registry is asked directly. Checked once per run.
    static QString unavailableReason();
    // nullptr when unavailableReason() is not empty.
    static std::unique_ptr<QtPlayerBackend> create();
    ~QtPlayerBackend() override;

    Unit unit() const override { return Unit::Milliseconds; }
    void open(const QString &path) override;
    void play() override;
    void pause() override;
    void setPosition(double pos) override;
    double position() override;
    void setRate(double rate) override;
    void setVolume(int volume) override;
    bool isPlaying() const override;
    bool atEnd() const override { return m_atEnd; }
    QString name() const override { return QStringLiteral("qt"); }

    // How many freezes the watchdog has mended.
    int recoveries() const { return m_recoveries; }
    // Whether position() reports what is heard (on by default) rather than what the
    // player has handed to the sound server (for measurements).
    void setOutputLagCompensation(bool on) { m_compensateLag = on; }

private:
    QtPlayerBackend();
    void load(const QUrl &source);
    void startAfresh();
    void startLoaded();
    void finishStart();
    void onStatus(QMediaPlayer::MediaStatus status);
    bool playerRunning() const;
    void checkForFreeze();

    QMediaPlayer *m_player;
    QAudioOutput *m_output;
    QUrl m_source;
    bool m_hasFile = false;          // a readable file is set and has not failed to load
    bool m_loading = false;          // set again for a fresh start; plays once it has loaded
    bool m_waitingForLength = false; // paused for a fresh start, seeks once the length is known
    bool m_wantPlay = false;         // the caller wants playback
    bool m_atEnd = false;
    qint64 m_floor = 0;     // where playback stands or starts, in ms; position() never reports less
    qint64 m_startedAt = 0; // where the running playback started, in ms
    bool m_compensateLag = true;
    QTimer m_lengthFallback;
    QTimer m_watchdog;
    QElapsedTimer m_clock;
    StallWatch m_stall;
    int m_recoveries = 0;
    int m_recoveriesInARow = 0;
    qint64 m_recoveredAt = 0; // where the last recovery resumed, in ms
};
