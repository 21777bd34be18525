#include "model/ScanRegion.h"

#include <algorithm>
#include <cmath>

std::array<QPointF, 4> ScanRegion::corners() const
{
    const double hw = size.width() / 2;
    const double hh = size.height() / 2;
    const double s = std::sin(angle);
    const double c = std::cos(angle);
    const std::array<QPointF, 4> local{QPointF(-hw, -hh), QPointF(hw, -hh), QPointF(hw, hh), QPointF(-hw, hh)};
    std::array<QPointF, 4> out;
    for (size_t i = 0; i < local.size(); ++i) {
        const double lx = local[i].x();
        const double ly = local[i].y();
        out[i] = QPointF(center.x() + lx * c - ly * s, center.y() + lx * s + ly * c);
    }
    return out;
}

QRectF ScanRegion::aabbInches() const
{
    const auto pts = corners();
    double minX = pts[0].x(), maxX = minX, minY = pts[0].y(), maxY = minY;
    for (const QPointF& p : pts) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    return QRectF(minX, minY, maxX - minX, maxY - minY);
}
