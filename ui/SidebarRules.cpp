#include "ui/SidebarRules.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace SidebarRules {

QString scanButtonTitle(int regionCount)
{
    return QStringLiteral("Scan %1 Region%2").arg(regionCount).arg(regionCount == 1 ? "" : "s");
}

QString scanCaption(int dpi, ColorMode mode, const QString& baseName)
{
    return QStringLiteral("%1 dpi · %2 · %3").arg(dpi).arg(label(mode), baseName);
}

bool scanEnabled(bool busy, bool scannerBusy, int regionCount, bool hasOverview)
{
    return !busy && !scannerBusy && regionCount > 0 && hasOverview;
}

QString resolutionLabel(int dpi) { return QStringLiteral("%1 dpi").arg(dpi); }

QString drawHint(DrawSide side)
{
    return side == DrawSide::front ? QStringLiteral("drag on bed → front · Space flips")
                                   : QStringLiteral("drag on bed → back · auto-pairs · Space flips");
}

RegionCounts countRegions(const std::vector<ScanRegion>& regions)
{
    RegionCounts counts;
    for (const ScanRegion& r : regions) ++(r.isBack() ? counts.backs : counts.fronts);
    return counts;
}

double chipTextOpacity(int count) { return count > 0 ? 1.0 : 0.55; }

QString plannedName(const AppModel::StemMap& plan, const QUuid& id)
{
    const auto it = plan.constFind(id);
    return it == plan.cend() ? QStringLiteral("—") : *it;
}

std::optional<QString> backTargetLabel(const ScanRegion& region, const std::vector<ScanRegion>& regions,
                                       const AppModel::StemMap& plan)
{
    if (!region.back) return std::nullopt;
    const BackTarget& target = *region.back;
    switch (target.kind) {
    case BackTarget::Kind::Auto: return QStringLiteral("auto-pairs by area");
    case BackTarget::Kind::History: return QStringLiteral("back of ") + target.base;
    case BackTarget::Kind::Region: {
        if (const auto it = plan.constFind(target.regionID); it != plan.cend()) return QStringLiteral("back of ") + *it;
        const auto front = std::find_if(regions.begin(), regions.end(),
                                        [&](const ScanRegion& r) { return r.id == target.regionID; });
        return QStringLiteral("back of ") + (front != regions.end() ? front->name : QStringLiteral("front"));
    }
    }
    return std::nullopt;
}

std::optional<QString> angleLabel(double angleRadians)
{
    if (!std::isfinite(angleRadians) || std::abs(angleRadians) <= 0.0008) return std::nullopt;
    const double degrees = qRadiansToDegrees(angleRadians);
    if (std::abs(degrees) < 9.95) return QString::asprintf("↻%.1f°", degrees);
    return QStringLiteral("↻%1°").arg(std::llround(degrees));
}

QString sizeLabel(QSizeF inches) { return QString::asprintf("%.1f×%.1f\"", inches.width(), inches.height()); }

std::vector<BadgeMenuEntry> badgeMenuEntries(const ScanRegion& region, const std::vector<ScanRegion>& regions,
                                             const AppModel::StemMap& plan, const std::vector<ScanRecord>& history)
{
    std::vector<BadgeMenuEntry> entries{
        {QStringLiteral("Front side"), std::nullopt},
        {QStringLiteral("Back — auto (same area)"), BackTarget::automatic()},
    };
    bool first = true;
    for (const ScanRegion& front : regions) {
        if (front.id == region.id || front.isBack()) continue;
        const auto it = plan.constFind(front.id);
        entries.push_back({QStringLiteral("Back of ") + (it != plan.cend() ? *it : front.name),
                           BackTarget::region(front.id), first});
        first = false;
    }

    std::vector<const ScanRecord*> newestFirst;
    for (const ScanRecord& r : history) newestFirst.push_back(&r);
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [](const ScanRecord* a, const ScanRecord* b) { return a->date > b->date; });
    first = true;
    for (std::size_t i = 0; i < std::min<std::size_t>(newestFirst.size(), 8); ++i) {
        const QString& base = newestFirst[i]->base;
        entries.push_back({QStringLiteral("Back of ") + base, BackTarget::history(base), first});
        first = false;
    }
    return entries;
}

double savedAreaHeight(int lastSavedCount, int historyCount, double blockHeight)
{
    double h = 28;
    for (int count : {lastSavedCount, historyCount})
        if (count > 0) h += 110 * ((count + 1) / 2) + 26;
    return std::min({h, 220.0, 0.4 * blockHeight});
}

double springProgress(double progress, double response, double damping, double duration)
{
    if (progress >= 1) return 1;
    if (progress <= 0) return 0;
    const double t = progress * duration;
    const double omega = 2 * M_PI / response;
    const double zeta = std::clamp(damping, 0.0, 0.999);
    const double omegaD = omega * std::sqrt(1 - zeta * zeta);
    const double envelope = std::exp(-zeta * omega * t);
    return 1 - envelope * (std::cos(omegaD * t) + zeta * omega / omegaD * std::sin(omegaD * t));
}

}  // namespace SidebarRules
