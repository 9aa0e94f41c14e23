#pragma once

// A second connection to the session bus, as a panel widget or playerctl has one, and ways to
// wait for the answers without blocking the player that answers them in the same thread.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <functional>

namespace busclient {

inline const QString service = QStringLiteral("org.mpris.MediaPlayer2.orvessa");
inline const QString path = QStringLiteral("/org/mpris/MediaPlayer2");
inline const QString rootInterface = QStringLiteral("org.mpris.MediaPlayer2");
inline const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
inline const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

inline QDBusConnection client() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                         QStringLiteral("orvessa-test-client"));
}

// Whether the test runs on a session bus (the CMake test starts a private one).
inline bool haveBus() {
    return QDBusConnection::sessionBus().isConnected() && client().isConnected();
}

inline bool waitFor(const std::function<bool()> &done, int ms = 5000) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

inline QDBusMessage call(const QString &interface, const QString &method,
                         const QVariantList &args = {}, const QString &to = service) {
    QDBusMessage message = QDBusMessage::createMethodCall(to, path, interface, method);
    message.setArguments(args);
    return client().call(message, QDBus::BlockWithGui, 5000);
}

// A property read over the bus; a{sv} comes back as a QVariantMap.
inline QVariant property(const QString &interface, const QString &name,
                         const QString &to = service) {
    const QDBusMessage reply =
        call(propertiesInterface, QStringLiteral("Get"), {interface, name}, to);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const QVariant value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value;
}

inline QString playerctlPath() {
    return QStandardPaths::findExecutable(QStringLiteral("playerctl"));
}

// Runs playerctl with args while the event loop answers it; its output, trimmed.
inline QString playerctl(const QStringList &args) {
    QProcess process;
    process.start(playerctlPath(), args);
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
        process.kill();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace busclient
