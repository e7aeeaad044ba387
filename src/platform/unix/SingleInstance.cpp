#include "platform/unix/SingleInstance.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kelvo {

SingleInstanceLock::SingleInstanceLock(QString lockPath)
    : path_(lockPath.isEmpty() ? defaultLockPath() : std::move(lockPath))
{
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_); // releases the lock; the file stays for the next start
}

QString SingleInstanceLock::defaultLockPath()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
        return QString::fromLocal8Bit(runtime) + QStringLiteral("/kelvo.lock");
    return QDir::tempPath() + QStringLiteral("/kelvo-%1.lock").arg(::getuid());
}

bool SingleInstanceLock::tryLock()
{
    if (fd_ >= 0)
        return true;
    const QByteArray native = QFile::encodeName(path_);
    int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        ssize_t written = ::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
        (void)written; // the pid is informational only
    }
    fd_ = fd;
    return true;
}

qint64 SingleInstanceLock::holderPid() const
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const qint64 pid = file.read(32).trimmed().toLongLong(&ok);
    return ok ? pid : 0;
}

} // namespace kelvo
