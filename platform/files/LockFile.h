#pragma once

// Locks between processes (QLockFile), stale only when nobody holds them.
//
// QLockFile keeps its file flock()ed while it holds the lock, and the kernel drops that the
// moment the holder dies, however it dies. The pid written in the file is only a hint: a
// process killed before writing it leaves a file that names nobody, and a killed process's pid
// may already belong to another user's process, which QLockFile then takes for the holder.
// So a lock file that nobody has flock()ed, and that is older than the moment a new holder
// takes between creating it and locking it, is taken over whatever it names.

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
