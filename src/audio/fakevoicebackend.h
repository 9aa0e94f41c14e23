#pragma once

#include "voicebackend.h"

#include <QStringList>

// A back-end that plays nothing and moves only when a test advances it. It records every
// call so that tests can check the order in which the procedures drive the engine.
class FakeVoiceBackend : public VoiceBackend {
    Q_OBJECT
public:
    explicit FakeVoiceBackend(Unit unit = Unit::Seconds, QObject *parent = nullptr);

    Unit unit() const override { return m_unit; }
    void open(const QString &path) override;
    void close() override;
    void play() override;
    void pause() override;
    void setPosition(double pos) override;
    double position() override { return m_position; }
    void setRate(double rate) override;
    void setVolume(int volume) override;
    bool isPlaying() const override { return m_playing; }
    bool atEnd() const override { return ended; }
    QString name() const override { return QStringLiteral("fake"); }

    // Moves the position by ms of wall time at the current rate, if playing.
    void advance(int ms);

    QString openedFile;
    int closes = 0;     // close() calls; close is not listed in calls
    bool ended = false; // what atEnd() reports; open() and setPosition() clear it
    double rate = 1.0;
    int volume = 100;
    QStringList calls; // "open <path>", "play", "pause", "seek <pos>", "rate <r>", "volume <v>"

private:
    Unit m_unit;
    double m_position = 0;
    bool m_playing = false;
};
