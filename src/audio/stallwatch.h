#pragma once

#include <QtGlobal>

// Tells when an engine that says it is playing has stopped moving its position. It is
// fed by a periodic check with a monotonic clock in milliseconds, so a test can drive it
// by hand. After restart() the engine gets a grace period for its start latency (about
// 180 ms for Qt's GStreamer player on PulseAudio); after that, a position that has not
// changed for the stall time counts as a freeze.
class StallWatch {
public:
    explicit StallWatch(qint64 graceMs = 800, qint64 stallMs = 600);

    // Playback was started, resumed or sought at nowMs.
    void restart(qint64 nowMs);
    // One check. shouldMove: the engine reports that it is playing. Returns true once
    // per freeze; the caller recovers and calls restart().
    bool check(qint64 nowMs, qint64 position, bool shouldMove);

private:
    qint64 m_graceMs;
    qint64 m_stallMs;
    qint64 m_restartedAt = 0;
    qint64 m_lastMoveAt = 0;
    qint64 m_lastPosition = -1;
    bool m_reported = false;
    bool m_wasMoving = true; // the last check was told the engine plays
};
