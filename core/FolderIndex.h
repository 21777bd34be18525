#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// The largest running index of "<prefix><digits>.<ext>" files in one folder, without listing
// a large folder on every call.
//
// The listing is kept with the folder's modification time and reused only while that time is
// unchanged and lies safely before the moment of the listing: a file created in the same
// clock tick as the listing changes nothing the cache could miss, because such a listing is
// never trusted. Anything written later moves the folder's time and forces a new listing.
class FolderIndex {
public:
    // The largest index among the folder's names that start with `prefix` followed by digits
    // only (extension dropped) and have a successor; nullopt when there is none or the folder
    // cannot be listed.
    std::optional<std::int64_t> largestIndex(const QString& folder, const QString& prefix);

private:
    void refresh(const QString& folder);

    QString folder_;
    std::optional<std::int64_t> modifiedNs_;  // the folder's time when listed
    std::chrono::system_clock::time_point listedAt_;
    std::vector<QString> stems_;  // names without their extensions
    std::map<QString, std::optional<std::int64_t>> byPrefix_;
};

// The index that "<rest>" names when it is all digits and fits a signed 64-bit integer.
std::optional<std::int64_t> parseIndex(QStringView rest);
