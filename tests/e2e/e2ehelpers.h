#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QString>
#include <QTimer>
#include <functional>

// Lets the event loop run for ms milliseconds (players report through queued events).
inline void waitMs(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Polls until done() or the timeout; returns the milliseconds waited, or -1.
inline qint64 waitUntil(const std::function<bool()> &done, int timeoutMs, int stepMs = 5) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (done())
            return clock.elapsed();
        waitMs(stepMs);
    }
    return done() ? clock.elapsed() : -1;
}

// Lets the event loop run without spinning: the timing under test shares two cores with
// the engines' threads and the sound server.
inline void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

inline bool runUntil(const std::function<bool()> &done, int timeoutMs) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(5);
    if (!done())
        loop.exec();
    return done();
}

inline QString fixture(const char *name) {
    return QStringLiteral(ORVESSA_TEST_DATA_DIR "/audio/") + QString::fromUtf8(name);
}

// The demo lesson's audio when the demo content has been built, else the tone fixture.
inline QString lessonAudio() {
    const QString demo = QStringLiteral(ORVESSA_BIN_DIR) + QStringLiteral("/Sound/英语900句/1.mp3");
    return QFileInfo(demo).isFile() ? demo : fixture("tone.mp3");
}

inline bool usingDemoAudio() {
    return lessonAudio() != fixture("tone.mp3");
}
