#include "audio/qtshortsoundplayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>
#include <iostream>

namespace {

constexpr int rate = 44100;
constexpr int frame = rate / 100; // 10 ms
constexpr int silenceThreshold = 600;

void waitMs(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::msleep(1);
    }
}

// What the null sink plays, through its remapped monitor source, as 16-bit mono samples.
class Capture {
public:
    ~Capture() {
        m_parec.kill();
        m_parec.waitForFinished(2000);
    }
    bool start() {
        m_parec.start(QStringLiteral(ORVESSA_PAREC),
                      {QStringLiteral("--device=orvessa_capture"), QStringLiteral("--raw"),
                       QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                       QStringLiteral("--rate=44100"), QStringLiteral("--latency-msec=10")});
        if (!m_parec.waitForStarted(3000))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (mark() < frame * 5 && clock.elapsed() < 3000)
            waitMs(5);
        return mark() >= frame * 5;
    }
    qsizetype mark() {
        m_pending += m_parec.readAllStandardOutput();
        const qsizetype whole = m_pending.size() / 2;
        for (qsizetype i = 0; i < whole; ++i)
            m_samples.append(qFromLittleEndian<qint16>(m_pending.constData() + 2 * i));
        m_pending.remove(0, whole * 2);
        return m_samples.size();
    }
    bool sounds(qsizetype at) const {
        for (qsizetype i = at; i < at + frame && i < m_samples.size(); ++i)
            if (std::abs(int(m_samples[i])) > silenceThreshold)
                return true;
        return false;
    }
    qsizetype firstSoundAt(qsizetype from) const {
        for (qsizetype i = from; i + frame <= m_samples.size(); i += frame / 10)
            if (sounds(i))
                return i;
        return -1;
    }
    double soundSeconds(qsizetype from) const {
        int frames = 0;
        for (qsizetype i = from; i + frame <= m_samples.size(); i += frame)
            frames += sounds(i) ? 1 : 0;
        return frames / 100.0;
    }
    // Zero crossings over the 50 ms before the last sounding frame: 2 per cycle.
    int lastHz() const {
        qsizetype end = m_samples.size() - frame;
        while (end > 0 && !sounds(end))
            end -= frame;
        const qsizetype start = std::max<qsizetype>(1, end - 5 * frame);
        int crossings = 0;
        for (qsizetype i = start; i < end; ++i)
            crossings += (m_samples[i - 1] < 0) != (m_samples[i] < 0);
        return int(std::lround(crossings / 2.0 / (double(end - start) / rate) / 100.0)) * 100;
    }

private:
    QProcess m_parec;
    QByteArray m_pending;
    QVector<qint16> m_samples;
};

QString writeTone(const QTemporaryDir &dir, const QString &name, int hz, int ms) {
    const int n = rate * ms / 1000;
    QByteArray samples(n * 2, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        qToLittleEndian<qint16>(qint16(12000 * std::sin(2 * M_PI * hz * i / rate)),
                                samples.data() + 2 * i);
    auto le = [](auto v) {
        QByteArray b(sizeof v, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    const QByteArray fmt = le(quint16(1)) + le(quint16(1)) + le(quint32(rate)) +
                           le(quint32(rate * 2)) + le(quint16(2)) + le(quint16(16));
    const QByteArray body = "WAVE" + QByteArray("fmt ") + le(quint32(16)) + fmt + "data" +
                            le(quint32(samples.size())) + samples;
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RIFF" + le(quint32(body.size())) + body);
    return path;
}

class ShortSoundE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(capture.start()) << "no sound from the null sink's monitor";
        ASSERT_TRUE(dir.isValid());
    }
    Capture capture;
    QTemporaryDir dir;
    QtShortSoundPlayer player;
};

// A 10 ms click (shorter than any output stream's start-up) is heard, and soon.
TEST_F(ShortSoundE2E, AShortClickIsHeardAtOnce) {
    const qsizetype from = capture.mark();
    player.play(QStringLiteral(ORVESSA_TEST_DATA_DIR "/shortsound/s16_mono_44k.wav"));
    ASSERT_TRUE(player.hasOutput());
    waitMs(600);
    capture.mark();
    const qsizetype at = capture.firstSoundAt(from);
    ASSERT_GE(at, 0) << "the click was not heard";
    const double latencyMs = double(at - from) * 1000 / rate;
    std::cout << "[ measured ] first click heard " << latencyMs << " ms after play()\n";
    EXPECT_LT(latencyMs, 300);

    // Once the output is open, the next click comes quicker still.
    waitMs(200);
    const qsizetype again = capture.mark();
    player.play(QStringLiteral(ORVESSA_TEST_DATA_DIR "/shortsound/s16_mono_44k.wav"));
    waitMs(400);
    capture.mark();
    const qsizetype second = capture.firstSoundAt(again);
    ASSERT_GE(second, 0);
    const double warmMs = double(second - again) * 1000 / rate;
    std::cout << "[ measured ] next click heard " << warmMs << " ms after play()\n";
    EXPECT_LT(warmMs, 150);
}

TEST_F(ShortSoundE2E, ANewSoundCutsOffTheOnePlaying) {
    const QString longTone = writeTone(dir, QStringLiteral("long.wav"), 1000, 800);
    const QString shortTone = writeTone(dir, QStringLiteral("short.wav"), 2000, 150);
    player.preload({longTone, shortTone});
    const qsizetype from = capture.mark();
    player.play(longTone);
    waitMs(200);
    player.play(shortTone);
    waitMs(1200);
    capture.mark();
    const double heard = capture.soundSeconds(from);
    std::cout << "[ measured ] heard " << heard << " s of sound (200 ms + 150 ms asked)\n";
    EXPECT_GT(heard, 0.25);
    EXPECT_LT(heard, 0.5) << "the long tone must stop when the short one starts";
    EXPECT_EQ(capture.lastHz(), 2000);
}

TEST_F(ShortSoundE2E, AnIdleOutputRestsAndWakesForTheNextSound) {
    const QString click = QStringLiteral(ORVESSA_TEST_DATA_DIR "/shortsound/s16_mono_44k.wav");
    player.play(click);
    waitMs(QtShortSoundPlayer::idleMs + 500);
    EXPECT_EQ(player.outputState(), QAudio::SuspendedState);
    const qsizetype from = capture.mark();
    player.play(click);
    waitMs(500);
    capture.mark();
    const qsizetype at = capture.firstSoundAt(from);
    ASSERT_GE(at, 0) << "the click after the rest was not heard";
    std::cout << "[ measured ] click after a rest heard " << double(at - from) * 1000 / rate
              << " ms after play()\n";
    EXPECT_NE(player.outputState(), QAudio::SuspendedState);
}

} // namespace
