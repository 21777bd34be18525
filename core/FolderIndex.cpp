#include "core/FolderIndex.h"

#include <QFile>

#include <dirent.h>

#include <limits>
#include <sys/stat.h>

namespace {

// A listing taken this long after the folder's last change can be trusted until it changes
// again, on any file system's time granularity (FAT's is two seconds).
constexpr auto kSettled = std::chrono::seconds(3);

std::optional<std::int64_t> modifiedNanoseconds(const QString& folder)
{
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

}  // namespace

std::optional<std::int64_t> parseIndex(QStringView rest)
{
    if (rest.isEmpty()) return std::nullopt;
    for (QChar c : rest)
        if (c < u'0' || c > u'9') return std::nullopt;
    bool ok = false;
    const qlonglong value = rest.toLongLong(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

void FolderIndex::refresh(const QString& folder)
{
    const auto before = modifiedNanoseconds(folder);
    const auto now = std::chrono::system_clock::now();
    const bool sameFolder = folder == folder_;
    if (sameFolder && before && before == modifiedNs_) {
        const auto changed = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(*before)));
        if (listedAt_ - changed >= kSettled) return;  // the listing is current
    }
    folder_ = folder;
    modifiedNs_ = before;
    listedAt_ = now;
    stems_.clear();
    byPrefix_.clear();
    if (!before) return;  // not a folder we can read: treated as empty
    // readdir directly: no sorting and no stat per entry, for folders of many thousand files.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name == "." || name == "..") continue;
        const qsizetype dot = name.lastIndexOf('.');
        stems_.push_back(dot < 0 ? name : name.left(dot));
    }
    ::closedir(dir);
}

std::optional<std::int64_t> FolderIndex::largestIndex(const QString& folder, const QString& prefix)
{
    refresh(folder);
    if (const auto it = byPrefix_.find(prefix); it != byPrefix_.end()) return it->second;
    std::optional<std::int64_t> largest;
    for (const QString& stem : stems_) {
        if (!stem.startsWith(prefix)) continue;
        const auto index = parseIndex(QStringView(stem).mid(prefix.size()));
        // The largest 64-bit value has no successor: such a name cannot be continued from.
        if (!index || *index == std::numeric_limits<std::int64_t>::max()) continue;
        if (!largest || *index > *largest) largest = index;
    }
    byPrefix_.emplace(prefix, largest);
    return largest;
}
