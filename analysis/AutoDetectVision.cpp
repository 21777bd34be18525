// The fallback: the generic rectangle detector's quadrilaterals as regions.

#include "analysis/AutoDetect.h"
#include "platform/vision/RectangleDetector.h"

#include <algorithm>
#include <cmath>

namespace AutoDetect {

namespace {

// The smallest quadrilateral taken for a print: each side and its area, in inches.
constexpr double minVisionSide = 1.0;
constexpr double minVisionArea = 1.6;

}  // namespace

std::vector<ScanRegion> detectVisionRectangles(const QImage& image, QSizeF bedSize)
{
    const std::vector<Vision::RectangleObservation> found = Vision::detectRectangles(image, {});
    const double bw = bedSize.width();
    const double bh = bedSize.height();
    auto inches = [&](QPointF p) { return QPointF(bw * p.x(), bh * (1 - p.y())); };

    std::vector<ScanRegion> regions;
    for (const auto& o : found) {
        const QPointF tl = inches(o.topLeft), tr = inches(o.topRight);
        const QPointF br = inches(o.bottomRight), bl = inches(o.bottomLeft);
        const double width = std::hypot(tr.x() - tl.x(), tr.y() - tl.y());
        const double height = std::hypot(bl.x() - tl.x(), bl.y() - tl.y());
        if (!(width > minVisionSide && height > minVisionSide && width * height > minVisionArea)) continue;
        ScanRegion region;
        region.name = QStringLiteral("Photo");
        region.center = (tl + tr + br + bl) / 4;
        region.size = QSizeF(width, height);
        region.angle = std::atan2(tr.y() - tl.y(), tr.x() - tl.x());
        regions.push_back(std::move(region));
    }
    sortByAreaDescending(regions);
    regions = suppressOverlapping(regions);
    sortReadingOrder(regions);
    return regions;
}

}  // namespace AutoDetect
