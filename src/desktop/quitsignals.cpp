#include "quitsignals.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
constexpr int watchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onUnixSignal(int) {
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}
} // namespace
#endif

QuitSignals::QuitSignals(std::function<void()> quitRequested, QObject *parent)
    : QObject(parent), m_quitRequested(std::move(quitRequested)) {
#ifdef Q_OS_UNIX
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        for (int fd : signalPipe) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    if (signalPipe[1] >= 0) {
        m_notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::onSignal);
        struct sigaction action = {};
        action.sa_handler = onUnixSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : watchedSignals)
            ::sigaction(signal, &action, nullptr);
    }
#endif
    // The session ending: the window closes and saves before the session manager goes on.
#ifndef QT_NO_SESSIONMANAGER
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager &) { onSignal(); });
    }
#endif
}

QuitSignals::~QuitSignals() {
#ifdef Q_OS_UNIX
    if (m_notifier) {
        for (int signal : watchedSignals)
            ::signal(signal, SIG_DFL);
    }
#endif
}

void QuitSignals::onSignal() {
#ifdef Q_OS_UNIX
    char bytes[16];
    while (signalPipe[1] >= 0 && ::read(signalPipe[1], bytes, sizeof bytes) > 0) {
    }
#endif
    if (m_quitRequested)
        m_quitRequested();
}
