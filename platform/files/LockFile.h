#pragma once

// Locks between processes (QLockFile), stale only when their process is gone.
//
// QLockFile takes over a lock whose process has ended, but a process killed between creating
// its lock file and writing its pid into it leaves a file that names nobody, which QLockFile
// would then honour for ever. Such a file is taken over too, once nobody holds it (QLockFile
// keeps the file flock()ed while locked) and it is older than the moment that writing takes.

#include <QLockFile>
#include <QString>

#include <memory>

namespace LockFile {

// A lock at `path` that no age makes stale.
std::unique_ptr<QLockFile> make(const QString& path);

// Takes the lock without waiting; false when a live process holds it (error()
// LockFailedError) or it cannot be made.
bool take(QLockFile& lock);

}  // namespace LockFile
