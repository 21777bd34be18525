// Ordering and pruning of detected regions.

#include "analysis/AutoDetect.h"
#include "model/StableInsertionSort.h"

#include <algorithm>

namespace AutoDetect {

namespace {

constexpr double overlapShare = 0.45;
constexpr double rowTolerance = 0.5;

}  // namespace

std::vector<ScanRegion> suppressOverlapping(const std::vector<ScanRegion>& regions)
{
    std::vector<ScanRegion> kept;
    std::vector<QRectF> keptBounds;
    for (const ScanRegion& region : regions) {
        const QRectF a = region.aabbInches();
        const bool covered = std::any_of(keptBounds.begin(), keptBounds.end(), [&](const QRectF& b) {
            const double w = std::min(a.right(), b.right()) - std::max(a.left(), b.left());
            const double h = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
            if (!(w > 0 && h > 0)) return false;
            const double smaller = std::min(a.width() * a.height(), b.width() * b.height());
            return smaller > 0 && w * h / smaller > overlapShare;
        });
        if (covered) continue;
        kept.push_back(region);
        keptBounds.push_back(a);
    }
    return kept;
}

void sortByAreaDescending(std::vector<ScanRegion>& regions)
{
    std::stable_sort(regions.begin(), regions.end(), [](const ScanRegion& a, const ScanRegion& b) {
        return a.size.width() * a.size.height() > b.size.width() * b.size.height();
    });
}

bool readsBefore(const ScanRegion& a, const ScanRegion& b)
{
    if (std::abs(a.center.y() - b.center.y()) > rowTolerance) return a.center.y() < b.center.y();
    return a.center.x() < b.center.x();
}

void sortReadingOrder(std::vector<ScanRegion>& regions) { stableInsertionSort(regions, &readsBefore); }

}  // namespace AutoDetect
