#pragma once

#include <QByteArray>
#include <QIODevice>

// The one endless stream a kept-open audio sink pulls from: the clip now playing, then
// silence. A new clip cuts off the one playing and starts from its first sample at the
// next read. Reads are unbuffered, so a change is heard as soon as the sink asks again.
class ClipStream : public QIODevice {
    Q_OBJECT
public:
    explicit ClipStream(QObject *parent = nullptr);

    // pcm: raw samples in the sink's format. silence: the byte value of silence in that
    // format (0x80 for unsigned 8-bit samples, else 0).
    void start(QByteArray pcm);
    void stop();
    void setSilence(char silence) { m_silence = silence; }
    // Whether clip samples are still to be read.
    bool isPlaying() const { return m_offset < m_clip.size(); }

    bool isSequential() const override { return true; }
    // Never runs dry: after the clip comes silence.
    qint64 bytesAvailable() const override { return endless + QIODevice::bytesAvailable(); }

    static constexpr qint64 endless = qint64(1) << 30;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_clip;
    qsizetype m_offset = 0;
    char m_silence = 0;
};
