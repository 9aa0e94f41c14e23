#pragma once

// What the benchmarks that listen to a PulseAudio null sink share: the event loop run
// without spinning, a private sink for the run, and a recording of what the sink plays.

#include "../tests/e2e/soundedges.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace sinkbench {

constexpr int captureRate = 44100;

inline QString sourceDir() {
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/..");
}

// Runs the event loop for ms milliseconds without spinning: the engines' threads and the
// sound server share two cores with this process.
inline void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() (checked every stepMs) or timeoutMs; returns done().
inline bool runUntil(const std::function<bool()> &done, int timeoutMs, int stepMs = 5) {
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(stepMs);
    if (!done())
        loop.exec();
    return done();
}

// A private null sink for the run, unless one is given in PULSE_SERVER.
class NullSink {
public:
    // name: part of the sink's folder under /tmp, one per benchmark.
    bool ensure(const char *name) {
        if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            return true;
        m_dir = QStringLiteral("/tmp/orvessa-%1-%2")
                    .arg(QString::fromLatin1(name))
                    .arg(QCoreApplication::applicationPid());
        const int rc = QProcess::execute(script(), {QStringLiteral("start"), m_dir});
        if (rc != 0) {
            m_dir.clear();
            return false;
        }
        qputenv("PULSE_SERVER", ("unix:" + m_dir + "/native").toUtf8());
        return true;
    }
    ~NullSink() {
        if (!m_dir.isEmpty())
            QProcess::execute(script(), {QStringLiteral("stop"), m_dir});
    }

private:
    static QString script() { return sourceDir() + QStringLiteral("/tests/support/nullsink.sh"); }
    QString m_dir;
};

// Records the sink's monitor (the remapped source "orvessa_capture") as 16-bit mono.
class Capture {
public:
    bool start() {
        const QString parec = QStandardPaths::findExecutable(QStringLiteral("parec"));
        if (parec.isEmpty())
            return false;
        m_parec.setProgram(parec);
        m_parec.setArguments({QStringLiteral("--device=orvessa_capture"), QStringLiteral("--raw"),
                              QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                              QStringLiteral("--rate=%1").arg(captureRate),
                              QStringLiteral("--latency-msec=10")});
        QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, [this] { read(); });
        m_parec.start();
        if (!m_parec.waitForStarted(3000))
            return false;
        return runUntil([this] { return samples.size() > captureRate / 20; }, 3000);
    }
    std::size_t mark() {
        read();
        return samples.size();
    }
    ~Capture() {
        m_parec.kill();
        m_parec.waitForFinished(2000);
    }

    soundedges::Samples samples;

private:
    void read() {
        m_pending += m_parec.readAllStandardOutput();
        const qsizetype whole = m_pending.size() / 2;
        const auto *b = reinterpret_cast<const unsigned char *>(m_pending.constData());
        for (qsizetype i = 0; i < whole; ++i)
            samples.push_back(std::int16_t(b[2 * i] | (b[2 * i + 1] << 8)));
        m_pending.remove(0, whole * 2);
    }

    QProcess m_parec;
    QByteArray m_pending;
};

} // namespace sinkbench
