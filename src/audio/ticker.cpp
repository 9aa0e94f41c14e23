#include "ticker.h"

#include <QTimer>

QtTicker::QtTicker(int intervalMs, QObject *parent) : Ticker(parent), m_timer(new QTimer(this)) {
    // The sentence-end watch and the repeat pause are heard: coarse timers would add up to
    // 5% of the interval.
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(intervalMs);
    connect(m_timer, &QTimer::timeout, this, &Ticker::timeout);
}

void QtTicker::setInterval(int ms) {
    m_timer->setInterval(ms);
}
int QtTicker::interval() const {
    return m_timer->interval();
}
void QtTicker::start() {
    m_timer->start();
}
void QtTicker::stop() {
    m_timer->stop();
}
bool QtTicker::isActive() const {
    return m_timer->isActive();
}

ManualTicker::ManualTicker(int intervalMs, QObject *parent)
    : Ticker(parent), m_interval(intervalMs) {}

void ManualTicker::setInterval(int ms) {
    m_interval = ms;
    if (m_active)
        ++starts;
}

void ManualTicker::start() {
    m_active = true;
    ++starts;
}

bool ManualTicker::tick() {
    if (!m_active)
        return false;
    Q_EMIT timeout();
    return true;
}
