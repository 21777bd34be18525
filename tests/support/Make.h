#pragma once

// One-line regions and records for tests.

#include "model/ScanRecord.h"
#include "model/ScanRegion.h"

#include <optional>

inline ScanRegion makeRegion(QPointF center, QSizeF size, std::optional<BackTarget> back = std::nullopt,
                             const QString& name = {}, double angle = 0)
{
    ScanRegion r;
    r.name = name;
    r.center = center;
    r.size = size;
    r.angle = angle;
    r.back = back;
    return r;
}

inline ScanRecord makeRecord(const QString& base, Timestamp date, QPointF center = {}, QSizeF size = {}, std::int64_t session = 0)
{
    ScanRecord r;
    r.base = base;
    r.date = date;
    r.center = center;
    r.size = size;
    r.session = session;
    return r;
}
