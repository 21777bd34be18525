#pragma once

// Scratch space in the system temporary folder: the master scan and the fallback overview pass
// through it. Each process has one folder of its own, "bivara-scratch-<pid>-XXXXXX", made on
// first use and held by a lock file inside it ("lock") for as long as the process lives; it is
// removed when the process ends normally. A process that is killed leaves its folder behind,
// with a lock no live process holds, and the next start-up removes it.

#include <QString>

namespace ScratchFolder {

// How our scratch folders are named in the temporary folder.
inline constexpr const char* prefix = "bivara-scratch-";

// This process's scratch folder; the temporary folder itself when one cannot be made.
QString path();

// Removes the scratch folders in `temporaryFolder` that no live process holds, and returns how
// many went. A folder without its lock file (its process was killed before it took it, or is
// about to take it) goes once the process its name tells is gone.
int removeAbandoned(const QString& temporaryFolder);

}  // namespace ScratchFolder
