#pragma once

#include "voicebackend.h"

#include <functional>

// The last resort when no engine can be created: plays nothing, but its position runs
// in real time at the set rate while "playing", so that sentence timing, repeats and
// full-text reading still work. Positions are whole milliseconds; a file that does not
// exist or cannot be read counts as no file.
class SilentVoiceBackend : public VoiceBackend {
    Q_OBJECT
public:
    // nowMs: a monotonic clock in milliseconds; by default the process's steady clock.
    explicit SilentVoiceBackend(std::function<qint64()> nowMs = {}, QObject *parent = nullptr);

    Unit unit() const override { return Unit::Milliseconds; }
    void open(const QString &path) override;
    void play() override;
    void pause() override;
    void setPosition(double pos) override;
    double position() override;
    void setRate(double rate) override;
    void setVolume(int) override {}
    bool isPlaying() const override { return m_playing; }
    QString name() const override { return QStringLiteral("silent"); }

private:
    double positionAt(qint64 now) const;

    std::function<qint64()> m_nowMs;
    bool m_open = false;
    bool m_playing = false;
    double m_anchorPosition = 0; // ms of the recording at m_anchorTime
    qint64 m_anchorTime = 0;
    double m_rate = 1.0;
};
