#include "platform/files/LockFile.h"

#include <QFile>

#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LockFile {

namespace {

// Between creating its file and flock()ing it, a new holder writes a few bytes.
constexpr time_t kSettleSeconds = 1;

// Removes the lock file at `path` when nobody holds it and it is not brand new. Our own flock
// on it is kept until the file is gone, so of two processes doing this at once only one
// removes it, and never the file that a third has made since.
bool removeIfAbandoned(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    bool removed = false;
    struct stat held {};
    struct stat now {};
    // flock() failing for any other reason than a holder (a file system without it) proves nothing.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        std::time(nullptr) - held.st_mtime >= kSettleSeconds && ::lstat(name.constData(), &now) == 0 &&
        now.st_dev == held.st_dev && now.st_ino == held.st_ino)
        removed = ::unlink(name.constData()) == 0;
    ::close(fd);  // releases our flock
    return removed;
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
    if (lock.error() != QLockFile::LockFailedError || !removeIfAbandoned(lock.fileName())) return false;
    return lock.tryLock(0);
}

}  // namespace LockFile
