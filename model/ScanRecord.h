#pragma once

#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <vector>

// Seconds (with fraction) since 2001-01-01 00:00:00 UTC, the form timestamps take in files.
using Timestamp = double;

// Now, as a Timestamp.
Timestamp timestampNow();

// One front that has been saved, remembered so that later backs can pair with it.
struct ScanRecord {
    QUuid id = QUuid::createUuid();
    QString base;     // stem under which the front was saved, e.g. scan_0007
    QPointF center;   // where it lay on the bed, inches
    QSizeF size;      // inches
    double angle = 0; // radians
    Timestamp date = 0;
    std::int64_t session = 0;  // the scanning batch it was saved in

    friend bool operator==(const ScanRecord&, const ScanRecord&) = default;
};

// The highest session in `history`; none when it is empty.
std::optional<std::int64_t> latestSession(const std::vector<ScanRecord>& history);
// The session a new scan is saved in: one after the latest, and at least 1.
std::int64_t nextSession(const std::vector<ScanRecord>& history);
