#pragma once

// The sidebar's texts and sizes as functions of the model's values, kept apart from the
// widgets so that they are tested on their own.

#include "core/AppModel.h"
#include "model/BackTarget.h"
#include "model/DrawSide.h"
#include "model/ScanRecord.h"
#include "model/ScanRegion.h"
#include "model/ScanSettings.h"

#include <QString>

#include <optional>
#include <vector>

namespace SidebarRules {

// "Scan 1 Region", "Scan 3 Regions".
QString scanButtonTitle(int regionCount);
// "600 dpi · Color · scan".
QString scanCaption(int dpi, ColorMode mode, const QString& baseName);
bool scanEnabled(bool busy, bool scannerBusy, int regionCount, bool hasOverview);
// "600 dpi".
QString resolutionLabel(int dpi);
// The first hint under the draw-side bar.
QString drawHint(DrawSide side);

struct RegionCounts {
    int fronts = 0;
    int backs = 0;
};
RegionCounts countRegions(const std::vector<ScanRegion>& regions);
// A count chip's text is faded while its number is 0.
double chipTextOpacity(int count);

// The region's stem from the plan, "—" when the plan has none.
QString plannedName(const AppModel::StemMap& plan, const QUuid& id);
// "back of …" under a back's name; none for a front.
std::optional<QString> backTargetLabel(const ScanRegion& region, const std::vector<ScanRegion>& regions,
                                       const AppModel::StemMap& plan);
// "↻5.7°", "↻29°"; none when the region is as good as straight.
std::optional<QString> angleLabel(double angleRadians);
// "6.0×4.0\"".
QString sizeLabel(QSizeF inches);

// One entry of a side badge's menu; `target` absent makes the region a front.
struct BadgeMenuEntry {
    QString text;
    std::optional<BackTarget> target;
    bool dividerBefore = false;
};
std::vector<BadgeMenuEntry> badgeMenuEntries(const ScanRegion& region, const std::vector<ScanRegion>& regions,
                                             const AppModel::StemMap& plan, const std::vector<ScanRecord>& history);

// Height of the saved-files area for the numbers of thumbnails in its two grids, within a
// regions block `blockHeight` high.
double savedAreaHeight(int lastSavedCount, int historyCount, double blockHeight);

// Progress 0..1 → 0..1 of a damped spring (response in seconds, damping fraction) settled
// within `duration` seconds; ends exactly at 1.
double springProgress(double progress, double response, double damping, double duration);

}  // namespace SidebarRules
