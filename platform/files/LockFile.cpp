#include "platform/files/LockFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace LockFile {

namespace {

// A lock file that names no process, that no process holds, and that is not being written.
bool isBroken(QLockFile& lock)
{
    qint64 pid = 0;
    QString host, app;
    if (lock.getLockInfo(&pid, &host, &app)) return false;
    const QFileInfo info(lock.fileName());
    if (!info.exists() || info.lastModified().msecsTo(QDateTime::currentDateTime()) < 1000) return false;
    const int fd = ::open(QFile::encodeName(lock.fileName()).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);  // releases our flock again
    return free;
}

}  // namespace

std::unique_ptr<QLockFile> make(const QString& path)
{
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    return lock;
}

bool take(QLockFile& lock)
{
    if (lock.tryLock(0)) return true;
    if (lock.error() != QLockFile::LockFailedError || !isBroken(lock)) return false;
    lock.removeStaleLockFile();
    return lock.tryLock(0);
}

}  // namespace LockFile
