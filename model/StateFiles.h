#pragma once

// The state an output folder carries about itself, in four dot-files:
//   .bivara-history.json   the remembered fronts (JSON array of records)
//   .bivara-session.json   the regions on the bed (JSON array of regions)
//   .bivara-prev.png       the overview of the previous scan
//   .bivara-prev.json      the bed size of the previous scan, {"w": inches, "h": inches}
//
// Reads fall back silently (nullopt, a null image). A state file is read only when it lies in
// the folder: a symbolic link to anywhere outside it counts as no file. The previous overview
// is decoded only when the size its file declares is one an overview can have.
//
// Writes are whole or nothing (WholeFile): a crash, a full disk or a read-only folder leaves
// the previous file whole, and a symbolic link of that name is replaced, never written
// through. A history or session file that exists but does not decode is kept beside it as
// "<name>.bad" before it is first overwritten.

#include "model/ScanRecord.h"
#include "model/ScanRegion.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>
#include <vector>

namespace StateFiles {

inline constexpr const char* historyName = ".bivara-history.json";
inline constexpr const char* sessionName = ".bivara-session.json";
inline constexpr const char* prevImageName = ".bivara-prev.png";
inline constexpr const char* prevBedName = ".bivara-prev.json";
inline constexpr const char* badSuffix = ".bad";
// Held (QLockFile) by the one process that works in the folder.
inline constexpr const char* lockName = ".bivara.lock";

// The largest overview picture read back: a bed at low resolution is far smaller (a 75-dpi
// A3 bed is 878×1238), and 4096×4096 pixels already takes 64 MB.
inline constexpr QSize largestOverview{4096, 4096};

// `folder` / `name`.
QString path(const QString& folder, const char* name);

std::optional<std::vector<ScanRecord>> readHistory(const QString& folder);
bool writeHistory(const QString& folder, const std::vector<ScanRecord>& history);

std::optional<std::vector<ScanRegion>> readSession(const QString& folder);
bool writeSession(const QString& folder, const std::vector<ScanRegion>& regions);

QImage readPrevImage(const QString& folder);
bool writePrevImage(const QString& folder, const QImage& image);

// Both "w" and "h" must be present, finite and positive; other keys are ignored.
std::optional<QSizeF> readPrevBedSize(const QString& folder);
bool writePrevBedSize(const QString& folder, QSizeF bed);

// Renames files left by the earlier ".harlune-" version to the current names. An existing
// current file is never overwritten; the legacy one then stays where it is.
void migrateLegacyDotfiles(const QString& folder);

}  // namespace StateFiles
