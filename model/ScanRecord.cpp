#include "model/ScanRecord.h"

#include <QDateTime>

namespace {
// 2001-01-01T00:00:00Z as seconds since the Unix epoch.
constexpr qint64 kReferenceDateUnixSeconds = 978307200;
}

Timestamp timestampNow()
{
    const qint64 ms = QDateTime::currentMSecsSinceEpoch() - kReferenceDateUnixSeconds * 1000;
    return static_cast<double>(ms) / 1000.0;
}
