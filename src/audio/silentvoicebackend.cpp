#include "silentvoicebackend.h"

#include "files/filebytes.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

SilentVoiceBackend::SilentVoiceBackend(std::function<qint64()> nowMs, QObject *parent)
    : VoiceBackend(parent), m_nowMs(std::move(nowMs)) {
    if (!m_nowMs) {
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        m_nowMs = [clock] { return clock->elapsed(); };
    }
}

double SilentVoiceBackend::positionAt(qint64 now) const {
    if (!m_playing)
        return m_anchorPosition;
    return m_anchorPosition + double(now - m_anchorTime) * m_rate;
}

void SilentVoiceBackend::open(const QString &path) {
    const QFileInfo info(path);
    m_open = !path.isEmpty() && fileKind(path) == FileKind::Regular && info.isReadable();
    m_playing = false;
    m_anchorPosition = 0;
}

void SilentVoiceBackend::play() {
    if (!m_open || m_playing)
        return;
    m_anchorTime = m_nowMs();
    m_playing = true;
}

void SilentVoiceBackend::pause() {
    if (!m_playing)
        return;
    m_anchorPosition = positionAt(m_nowMs());
    m_playing = false;
}

void SilentVoiceBackend::setPosition(double pos) {
    if (!m_open || std::isnan(pos))
        return;
    m_anchorPosition = std::max(0.0, std::round(pos));
    m_anchorTime = m_nowMs();
}

double SilentVoiceBackend::position() {
    return std::floor(positionAt(m_nowMs()));
}

void SilentVoiceBackend::setRate(double rate) {
    if (!(rate > 0))
        return;
    const qint64 now = m_nowMs();
    m_anchorPosition = positionAt(now);
    m_anchorTime = now;
    m_rate = std::clamp(rate, 0.25, 4.0);
}
