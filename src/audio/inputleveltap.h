#pragma once

#include <QByteArrayView>
#include <QIODevice>

// The loudest of 16-bit little-endian samples, 0 to 1 of full scale, and whether any of them
// reached full scale (the microphone or its gain clipped the voice).
struct InputPeak {
    double peak = 0;
    bool clipped = false;
};
InputPeak peakOf(QByteArrayView int16Samples);

// Where a capture device writes: measures the samples going through and hands them on to
// the target (the recording file) unchanged, or drops them when there is none (a level
// check). Writes go straight through, so the file sees no delay and no copy.
class InputLevelTap : public QIODevice {
    Q_OBJECT
public:
    explicit InputLevelTap(QObject *parent = nullptr) : QIODevice(parent) {}

    // target may be null; it must outlive the tap's use.
    void setTarget(QIODevice *target) { m_target = target; }
    // The peak since the last take(), and whether any samples came in since.
    InputPeak take();
    bool heardSinceTake() const { return m_heard; }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override;

private:
    QIODevice *m_target = nullptr;
    InputPeak m_since;
    bool m_heard = false;
    bool m_oddByte = false; // a write ended inside a sample; its low byte is in m_low
    char m_low = 0;
};
