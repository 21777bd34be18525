#include "platform/files/ScratchFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>

#include <memory>

namespace ScratchFolder {

namespace {

constexpr const char* lockName = "lock";

// Only a lock whose process is gone is stale, however old it is.
std::unique_ptr<QLockFile> lockIn(const QString& folder)
{
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QString::fromLatin1(lockName)));
    lock->setStaleLockTime(0);
    return lock;
}

struct Own {
    QTemporaryDir dir{QDir::temp().filePath(QString::fromLatin1(prefix) + QStringLiteral("XXXXXX"))};
    std::unique_ptr<QLockFile> lock;

    Own()
    {
        if (!dir.isValid()) return;
        lock = lockIn(dir.path());
        if (!lock->tryLock(0)) dir.remove();
    }
    ~Own()
    {
        // Unlocked before the folder goes; when something removed the folder already, there
        // is no lock file left to remove.
        if (lock && !QFileInfo::exists(lock->fileName())) (void)lock.release();
        lock.reset();
    }
};

}  // namespace

QString path()
{
    static Own own;
    return own.dir.isValid() ? own.dir.path() : QDir::tempPath();
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
        if (!hasLock && entry.lastModified().secsTo(QDateTime::currentDateTime()) < 60) continue;
        const auto lock = lockIn(folder);
        if (!lock->tryLock(0)) continue;  // a live process holds it
        lock->unlock();
        if (QDir(folder).removeRecursively()) ++removed;
    }
    return removed;
}

}  // namespace ScratchFolder
