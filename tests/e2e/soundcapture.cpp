#include "soundcapture.h"

#include "e2ehelpers.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
// The fixtures' tones peak near 16000; decoder noise stays far below this.
constexpr int silenceThreshold = 600;
} // namespace

SoundCapture::~SoundCapture() {
    if (m_parec.state() != QProcess::NotRunning) {
        m_parec.kill();
        m_parec.waitForFinished(2000);
    }
}

bool SoundCapture::start() {
    m_parec.setProgram(QStringLiteral(ORVESSA_PAREC));
    m_parec.setArguments({QStringLiteral("--device=orvessa_capture"), QStringLiteral("--raw"),
                          QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                          QStringLiteral("--rate=44100"), QStringLiteral("--latency-msec=20")});
    QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, [this] { readAvailable(); });
    m_parec.start();
    if (!m_parec.waitForStarted(3000))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (m_samples.size() < frameSamples * 5 && clock.elapsed() < 3000)
        waitMs(10);
    return m_samples.size() >= frameSamples * 5;
}

void SoundCapture::readAvailable() {
    m_pending += m_parec.readAllStandardOutput();
    const qsizetype whole = m_pending.size() / 2;
    const auto *bytes = reinterpret_cast<const uchar *>(m_pending.constData());
    for (qsizetype i = 0; i < whole; ++i)
        m_samples.append(qint16(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    m_pending.remove(0, whole * 2);
}

qsizetype SoundCapture::mark() {
    readAvailable();
    return m_samples.size();
}

void SoundCapture::stop() {
    readAvailable();
    m_parec.terminate();
    m_parec.waitForFinished(2000);
    readAvailable();
}

bool SoundCapture::frameSounds(qsizetype start) const {
    int peak = 0;
    for (qsizetype i = start; i < start + frameSamples && i < m_samples.size(); ++i)
        peak = std::max(peak, std::abs(int(m_samples[i])));
    return peak > silenceThreshold;
}

// Zero crossings over some frames: a sine of f Hz crosses 2f times a second.
int SoundCapture::hzAt(qsizetype start, qsizetype frames) const {
    const qsizetype end = std::min<qsizetype>(start + frames * frameSamples, m_samples.size());
    int crossings = 0;
    for (qsizetype i = start + 1; i < end; ++i) {
        if ((m_samples[i - 1] < 0) != (m_samples[i] < 0))
            ++crossings;
    }
    const double seconds = double(end - start) / rate;
    if (seconds <= 0)
        return 0;
    return int(std::lround(crossings / 2.0 / seconds / 100.0)) * 100;
}

double SoundCapture::soundSeconds(qsizetype from, qsizetype to) const {
    if (to < 0 || to > m_samples.size())
        to = m_samples.size();
    int frames = 0;
    for (qsizetype i = from; i + frameSamples <= to; i += frameSamples)
        frames += frameSounds(i) ? 1 : 0;
    return frames / 100.0;
}

qsizetype SoundCapture::firstSoundAt(qsizetype from) const {
    for (qsizetype i = from; i + frameSamples <= m_samples.size(); i += frameSamples) {
        if (frameSounds(i))
            return i;
    }
    return -1;
}

qsizetype SoundCapture::lastSoundEnd(qsizetype from, qsizetype to) const {
    const qsizetype end = to < 0 ? m_samples.size() : std::min(to, m_samples.size());
    qsizetype last = -1;
    for (qsizetype i = from; i + frameSamples <= end; i += frameSamples) {
        if (frameSounds(i))
            last = i + frameSamples;
    }
    return last;
}

double SoundCapture::secondsAtHz(int hz, qsizetype from) const {
    int frames = 0;
    for (qsizetype i = from; i + frameSamples <= m_samples.size(); i += frameSamples)
        frames += frameSounds(i) && hzAt(i, 1) == hz ? 1 : 0;
    return frames / 100.0;
}

int SoundCapture::firstSoundHz(qsizetype from) const {
    const qsizetype at = firstSoundAt(from);
    // Skip the onset frame: the tone is steady from the next one.
    return at < 0 ? 0 : hzAt(at + frameSamples);
}

int SoundCapture::lastSoundHz(qsizetype to) const {
    if (to < 0 || to > m_samples.size())
        to = m_samples.size();
    for (qsizetype i = to - frameSamples; i >= 0; i -= frameSamples) {
        if (frameSounds(i))
            return hzAt(std::max<qsizetype>(0, i - 5 * frameSamples));
    }
    return 0;
}
