#include "model/ScanRecord.h"

#include <QDateTime>

#include <algorithm>

namespace {
// 2001-01-01T00:00:00Z as seconds since the Unix epoch.
constexpr qint64 kReferenceDateUnixSeconds = 978307200;
}

Timestamp timestampNow()
{
    const qint64 ms = QDateTime::currentMSecsSinceEpoch() - kReferenceDateUnixSeconds * 1000;
    return static_cast<double>(ms) / 1000.0;
}

std::optional<std::int64_t> latestSession(const std::vector<ScanRecord>& history)
{
    if (history.empty()) return std::nullopt;
    std::int64_t latest = history.front().session;
    for (const ScanRecord& r : history) latest = std::max(latest, r.session);
    return latest;
}

std::int64_t nextSession(const std::vector<ScanRecord>& history)
{
    const auto latest = latestSession(history);
    return latest ? std::max<std::int64_t>(1, *latest + 1) : 1;
}
