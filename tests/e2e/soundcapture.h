#pragma once

#include <QProcess>
#include <QVector>

// Records what the null sink plays, through its remapped monitor source, as 16-bit mono
// samples at 44.1 kHz, and answers questions about the sound in 10 ms frames.
class SoundCapture {
public:
    static constexpr int rate = 44100;
    static constexpr int frameSamples = rate / 100;

    ~SoundCapture();
    // Starts recording and waits until sound data flows; false when it does not.
    bool start();
    // Samples recorded so far: a marker for "from here on".
    qsizetype mark();
    // Stops recording; samples() then holds everything recorded.
    void stop();
    const QVector<qint16> &samples() const { return m_samples; }

    // Seconds of frames louder than the silence threshold, in [from, to) samples.
    double soundSeconds(qsizetype from = 0, qsizetype to = -1) const;
    // Index of the first sounding frame at or after sample from, or -1.
    qsizetype firstSoundAt(qsizetype from = 0) const;
    // Index of the end of the last sounding frame before sample to (-1: the end), or -1.
    qsizetype lastSoundEnd(qsizetype from = 0, qsizetype to = -1) const;
    // Seconds of sounding 10 ms frames whose frequency rounds to hz, from sample from on.
    double secondsAtHz(int hz, qsizetype from = 0) const;
    // Dominant frequency, rounded to 100 Hz, of the first 50 ms of sound at or after
    // sample from; 0 when nothing sounds there.
    int firstSoundHz(qsizetype from = 0) const;
    // Frequency, rounded to 100 Hz, of the last 50 ms of sound before sample to.
    int lastSoundHz(qsizetype to = -1) const;

private:
    void readAvailable();
    bool frameSounds(qsizetype start) const;
    int hzAt(qsizetype start, qsizetype frames = 5) const;

    QProcess m_parec;
    QByteArray m_pending;
    QVector<qint16> m_samples;
};
