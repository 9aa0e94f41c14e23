#pragma once

#include "voicebackend.h"

#include <QElapsedTimer>
#include <atomic>
#include <cstdint>
#include <memory>

struct mpv_handle;

// The media player: libmpv embedded without video, terminal, scripts or configuration.
// Positions are seconds of the recording as doubles; the rate keeps the pitch.
//
// Create it only after the Qt application object exists: Qt sets the C locale from the
// environment when it starts, and libmpv needs LC_NUMERIC "C" (create() sets it).
class MpvBackend : public VoiceBackend {
    Q_OBJECT
public:
    enum class Output {
        Device, // the system's sound server or card (PulseAudio, then ALSA)
        Silent, // no device: plays in real time into nothing
    };

    // nullptr when libmpv cannot be set up. With Output::Device the engine opens a
    // short silent probe (about 30 ms) to learn whether an audio output opens; see
    // audioOutput().
    static std::unique_ptr<MpvBackend> create(Output output);
    ~MpvBackend() override;

    // The output the probe opened ("pulse", "alsa"), "null" when silent, empty when
    // no output could be opened.
    QString audioOutput() const { return m_audioOutput; }
    // From the next open() on, plays into nothing (when no device opened).
    void useSilentOutput();
    // Whether position() estimates the place between the engine's coarse reports (on by
    // default). Off, it reports time-pos as the engine last updated it (for measurements).
    void setPositionEstimate(bool on) { m_estimate = on; }

    Unit unit() const override { return Unit::Seconds; }
    void open(const QString &path) override;
    void play() override;
    void pause() override;
    void setPosition(double pos) override;
    double position() override;
    void setRate(double rate) override;
    void setVolume(int volume) override;
    bool isPlaying() const override;
    bool atEnd() const override { return m_eof; }
    QString name() const override { return QStringLiteral("mpv"); }

private:
    explicit MpvBackend(mpv_handle *mpv);
    bool probeOutput();
    void startEvents();
    void drainEvents();
    void issueSeek(double pos);
    void setPaused(bool paused);
    void forgetReport();
    void noteReport(double pos);
    static void wakeup(void *self);

    mpv_handle *m_mpv;
    QString m_audioOutput;
    std::atomic<bool> m_wakePending{false};
    bool m_dead = false;     // the core shut down; every call is a no-op
    bool m_fileOpen = false; // a file was handed to the engine and has not failed
    bool m_loaded = false;   // the engine has finished loading it
    bool m_playing = false;  // the caller wants playback
    bool m_eof = false;      // playback ran into the end of the file
    std::uint64_t m_loadsIssued = 0;
    std::uint64_t m_filesStarted = 0;
    // An exact seek runs asynchronously; until the engine restarts playback at the
    // target, time-pos still shows the old place, so position() reports the target.
    bool m_seekPending = false;
    bool m_seekBeforeLoad = false;
    bool m_seekAcked = false;
    std::uint64_t m_seekId = 0;
    double m_seekTarget = 0;
    QElapsedTimer m_seekClock;
    // Lowest position position() may report: keeps it from stepping back while the
    // engine settles after a seek or a rate change.
    double m_floor = 0;
    double m_rate = 1.0;
    // time-pos moves in steps of about 50 ms: the engine updates it when it hands the
    // output another block. Between steps position() counts on from an anchor, the
    // recording's place at steady-clock zero: every report p seen at time t was true at
    // some moment up to t, so p - rate x t is at most the true anchor, and the largest of
    // these is the best anchor that never runs ahead. Reports count only once playback
    // has moved by a few milliseconds (it sits at the start place until the output
    // runs), and never further than one step and a half past the last report (a stalled
    // output must not let the estimate run away).
    bool m_estimate = true;
    double m_firstReport = -1; // seconds; the first time-pos after a play, seek or rate change
    double m_lastReport = -1;  // seconds
    bool m_anchored = false;
    double m_anchor = 0; // seconds of the recording at steady-clock zero
};
