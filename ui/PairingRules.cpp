#include "ui/PairingRules.h"

#include <algorithm>
#include <cmath>

namespace PairingRules {

bool pointInPolygon(QPointF p, const QPolygonF& polygon)
{
    const qsizetype n = polygon.size();
    if (n < 3) return false;
    bool inside = false;
    for (qsizetype i = 0, j = n - 1; i < n; j = i++) {
        const QPointF a = polygon[i];
        const QPointF b = polygon[j];
        // Exactly one end above p.y, so the edge is not horizontal and the division is safe.
        if ((a.y() > p.y()) != (b.y() > p.y())
            && p.x() < a.x() + (p.y() - a.y()) * (b.x() - a.x()) / (b.y() - a.y()))
            inside = !inside;
    }
    return inside;
}

bool isDrag(QPointF start, QPointF now)
{
    return std::hypot(now.x() - start.x(), now.y() - start.y()) >= dragThreshold;
}

AppModel::StemMap backStems(const AppModel& model, const AppModel::StemMap& plan)
{
    AppModel::StemMap fronts;
    for (const ScanRegion& r : model.regions()) {
        const auto stem = plan.constFind(r.id);
        if (!r.isBack() && stem != plan.constEnd()) fronts.insert(r.id, *stem);
    }
    return model.backBases(fronts);
}

RegionColors pairColorIndex(const std::vector<ScanRegion>& regions, const AppModel::StemMap& backStems,
                            const ColorByBase& colorByBase)
{
    RegionColors result;
    for (const ScanRegion& r : regions) {
        if (!r.isBack()) continue;
        const auto stem = backStems.constFind(r.id);
        if (stem == backStems.constEnd()) continue;
        const auto color = colorByBase.constFind(*stem);
        if (color != colorByBase.constEnd()) result.insert(r.id, *color);
    }
    return result;
}

PairMap pairMap(const std::vector<ScanRegion>& regions, const AppModel::StemMap& backStems)
{
    PairMap result;
    for (const ScanRegion& r : regions) {
        const auto stem = backStems.constFind(r.id);
        if (stem != backStems.constEnd()) result.insert(*stem, r.id);
    }
    return result;
}

std::optional<Connector> cord(const QString& base, bool emphatic, const LinkScene& scene)
{
    const auto back = scene.pairMap.constFind(base);
    if (back == scene.pairMap.constEnd()) return std::nullopt;
    const auto prev = std::find_if(scene.prevFrames.begin(), scene.prevFrames.end(),
                                   [&](const PrevFrame& f) { return f.base == base; });
    const auto current = std::find_if(scene.currentFrames.begin(), scene.currentFrames.end(),
                                      [&](const PairFrame& f) { return f.id == *back; });
    if (prev == scene.prevFrames.end() || current == scene.currentFrames.end()) return std::nullopt;
    return Connector{prev->center, current->center, scene.colorByBase.value(base, 0), emphatic};
}

std::vector<Connector> connectors(const LinkScene& scene)
{
    std::vector<Connector> result;
    if (!scene.showAllLinks) {
        if (scene.linkDrag || !scene.hoveredBase) return result;
        if (auto c = cord(*scene.hoveredBase, true, scene)) result.push_back(*c);
        return result;
    }
    // In colour order (reading order of the previous scan), so that the cords overlap the
    // same way on every redraw.
    std::vector<std::pair<int, QString>> bases;
    for (auto it = scene.colorByBase.constBegin(); it != scene.colorByBase.constEnd(); ++it)
        bases.emplace_back(it.value(), it.key());
    std::sort(bases.begin(), bases.end());
    for (const auto& [index, base] : bases)
        if (auto c = cord(base, base == scene.hoveredBase, scene)) result.push_back(*c);
    return result;
}

std::optional<QUuid> frameAt(QPointF p, const PairFrames& frames)
{
    for (const PairFrame& f : frames)
        if (pointInPolygon(p, f.corners)) return f.id;
    return std::nullopt;
}

std::optional<QString> prevFrameAt(QPointF p, const PrevFrames& frames)
{
    for (const PrevFrame& f : frames)
        if (pointInPolygon(p, f.corners)) return f.base;
    return std::nullopt;
}

std::optional<QUuid> linkTargetID(const std::optional<LinkDrag>& linkDrag, bool pendingActive,
                                  const std::optional<QPointF>& linkCursor, const PairFrames& currentFrames)
{
    if (linkDrag) return frameAt(linkDrag->to, currentFrames);
    if (pendingActive && linkCursor) return frameAt(*linkCursor, currentFrames);
    return std::nullopt;
}

std::optional<QString> highlightBase(bool pendingActive, const std::optional<QPointF>& linkCursor,
                                     const PrevFrames& prevFrames)
{
    if (!pendingActive || !linkCursor) return std::nullopt;
    return prevFrameAt(*linkCursor, prevFrames);
}

std::optional<LinkDrag> pendingCord(const std::optional<PendingLink>& pending, const PairFrames& currentFrames,
                                    const RegionColors& pairColorIndex, const std::optional<QPointF>& linkCursor)
{
    if (!pending || !linkCursor) return std::nullopt;
    const auto source = std::find_if(currentFrames.begin(), currentFrames.end(),
                                     [&](const PairFrame& f) { return f.id == pending->sourceID; });
    if (source == currentFrames.end()) return std::nullopt;
    return LinkDrag{QString(), pairColorIndex.value(pending->sourceID, 0), source->center, *linkCursor};
}

QSizeF previousBedSize(const std::optional<QSizeF>& prevBedSize, const std::optional<ScannerInfo>& info)
{
    const auto usable = [](const QSizeF& s) { return s.width() > 0 && s.height() > 0; };
    if (prevBedSize && usable(*prevBedSize)) return *prevBedSize;
    if (info && usable(info->bedSizeInches)) return info->bedSizeInches;
    return fallbackBedSize;
}

int backCount(const std::vector<ScanRegion>& regions)
{
    return static_cast<int>(std::count_if(regions.begin(), regions.end(), [](const ScanRegion& r) { return r.isBack(); }));
}

QString frontsDetail(int records)
{
    return QStringLiteral("%1 front%2").arg(records).arg(records == 1 ? QString() : QStringLiteral("s"));
}

QString matchedDetail(int matched, int backs) { return QStringLiteral("%1/%2 matched").arg(matched).arg(backs); }

bool allMatched(int matched, int backs) { return backs > 0 && matched == backs; }

}  // namespace PairingRules
