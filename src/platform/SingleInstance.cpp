#include "platform/SingleInstance.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstance::SingleInstance(QString key) {
    if (key.isEmpty())
        key = qEnvironmentVariable("VORN_INSTANCE_KEY", QStringLiteral("vorn"));
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    m_path = QDir(dir).filePath(key + QStringLiteral(".lock"));
}

SingleInstance::~SingleInstance() {
    // The file stays: removing it could let a desk starting at this moment
    // lock a file no one else finds.
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstance::acquire() {
    if (m_fd >= 0)
        return true;
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // Which process holds it, for whoever looks (only a note: the lock is
    // what counts).
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        const ssize_t written = ::write(fd, pid.constData(), size_t(pid.size()));
        (void)written;
    }
    m_fd = fd;
    return true;
}
