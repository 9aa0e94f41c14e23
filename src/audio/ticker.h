#pragma once

#include <QObject>

class QTimer;

// A window timer as the handlers see it: an interval in milliseconds and an enabled flag.
// Enabling (start) or changing the interval of an enabled timer restarts its countdown.
// The program uses QtTicker; tests hand the state machines ManualTicker and tick by hand.
class Ticker : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void start() = 0; // Enabled = True
    virtual void stop() = 0;  // Enabled = False
    virtual bool isActive() const = 0;
    void setEnabled(bool enabled) { enabled ? start() : stop(); }

Q_SIGNALS:
    void timeout();
};

class QtTicker : public Ticker {
    Q_OBJECT
public:
    explicit QtTicker(int intervalMs, QObject *parent = nullptr);

    void setInterval(int ms) override;
    int interval() const override;
    void start() override;
    void stop() override;
    bool isActive() const override;

private:
    QTimer *m_timer;
};

// Fires only when a test calls tick(), and only while enabled.
class ManualTicker : public Ticker {
    Q_OBJECT
public:
    explicit ManualTicker(int intervalMs = 0, QObject *parent = nullptr);

    void setInterval(int ms) override;
    int interval() const override { return m_interval; }
    void start() override;
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    // Emits timeout() if enabled; returns whether it fired.
    bool tick();
    int starts = 0; // how often the countdown was (re)started

private:
    int m_interval;
    bool m_active = false;
};
