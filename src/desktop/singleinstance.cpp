#include "singleinstance.h"

#include <QDir>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString &name, const QString &folder) {
    const QString dir = folder.isEmpty()
                            ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                            : folder;
    if (dir.isEmpty() || !QDir().mkpath(dir))
        return;
    m_lock = std::make_unique<QLockFile>(dir + QLatin1Char('/') + name + QStringLiteral(".lock"));
    // A strip may run for days: only a lock whose process is gone counts as stale.
    m_lock->setStaleLockTime(0);
    m_claimed = m_lock->tryLock(0) || m_lock->error() != QLockFile::LockFailedError;
}

SingleInstance::~SingleInstance() = default;
