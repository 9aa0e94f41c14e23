#include "stallwatch.h"

#include <algorithm>

StallWatch::StallWatch(qint64 graceMs, qint64 stallMs) : m_graceMs(graceMs), m_stallMs(stallMs) {}

void StallWatch::restart(qint64 nowMs) {
    m_restartedAt = nowMs;
    m_lastMoveAt = nowMs;
    m_lastPosition = -1;
    m_reported = false;
    m_wasMoving = true;
}

bool StallWatch::check(qint64 nowMs, qint64 position, bool shouldMove) {
    // The engine started playing on its own (after a reload, say): it has its start
    // latency like after any restart.
    if (shouldMove && !m_wasMoving)
        restart(nowMs);
    m_wasMoving = shouldMove;
    if (!shouldMove || position != m_lastPosition) {
        m_lastPosition = position;
        m_lastMoveAt = nowMs;
        m_reported = false;
        return false;
    }
    if (m_reported || nowMs - m_restartedAt < m_graceMs)
        return false;
    if (nowMs - std::max(m_lastMoveAt, m_restartedAt) < m_stallMs)
        return false;
    m_reported = true;
    return true;
}
