#include "platform/files/ScratchFolder.h"

#include "platform/files/LockFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <memory>
#include <unistd.h>

namespace ScratchFolder {

namespace {

constexpr const char* lockName = "lock";

std::unique_ptr<QLockFile> lockIn(const QString& folder)
{
    return LockFile::make(QDir(folder).filePath(QString::fromLatin1(lockName)));
}

struct Own {
    QTemporaryDir dir{QDir::temp().filePath(QString::fromLatin1(prefix) + QString::number(::getpid()) +
                                            QStringLiteral("-XXXXXX"))};
    std::unique_ptr<QLockFile> lock;

    Own();
    ~Own() { remove(); }

    void remove()
    {
        // Unlocked before the folder goes; when something removed the folder already, there
        // is no lock file left to remove.
        if (lock && !QFileInfo::exists(lock->fileName())) (void)lock.release();
        lock.reset();
        if (dir.isValid()) dir.remove();
    }
};

Own& own()
{
    static Own folder;
    return folder;
}

Own::Own()
{
    if (!dir.isValid()) return;
    lock = lockIn(dir.path());
    if (!LockFile::take(*lock)) {
        dir.remove();
        return;
    }
    // A process ended by quick_exit runs no destructors: the folder goes all the same.
    std::at_quick_exit([] { own().remove(); });
}

// The process named in "bivara-scratch-<pid>-…" is gone (a reused pid only keeps a folder).
bool ownerIsGone(const QString& name)
{
    const QString rest = name.mid(qsizetype(std::strlen(prefix)));
    bool ok = false;
    const qint64 pid = rest.left(rest.indexOf(u'-')).toLongLong(&ok);
    return ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

QString path()
{
    const Own& o = own();
    return o.dir.isValid() ? o.dir.path() : QDir::tempPath();
}

int removeAbandoned(const QString& temporaryFolder)
{
    int removed = 0;
    const QDir temp(temporaryFolder);
    const auto entries =
        temp.entryInfoList({QString::fromLatin1(prefix) + QStringLiteral("*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink()) continue;
        const QString folder = entry.absoluteFilePath();
        const bool hasLock = QFileInfo(QDir(folder).filePath(QString::fromLatin1(lockName))).exists();
        // Without its lock file the folder is taken only once its process is gone (it may be
        // about to lock it), or, when the name tells no process, after a minute.
        if (!hasLock && !ownerIsGone(entry.fileName()) &&
            entry.lastModified().secsTo(QDateTime::currentDateTime()) < 60)
            continue;
        const auto lock = lockIn(folder);
        if (!LockFile::take(*lock)) continue;  // a live process holds it
        lock->unlock();
        if (QDir(folder).removeRecursively()) ++removed;
    }
    return removed;
}

}  // namespace ScratchFolder
