#include "platform/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

SingleInstance::SingleInstance(QString key) {
    if (key.isEmpty())
        key = qEnvironmentVariable("VORN_INSTANCE_KEY", QStringLiteral("vorn"));
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    m_path = QDir(dir).filePath(key + QStringLiteral(".lock"));
}

bool SingleInstance::acquire() {
    m_lock = std::make_unique<QLockFile>(m_path);
    // A lock left by a crashed desk is taken over (QLockFile checks the pid).
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    m_lock.reset();
    return false;
}
