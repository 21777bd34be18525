#include "ui/PairingGeometry.h"

#include "model/ScanRegion.h"
#include "ui/PairingRules.h"

#include <algorithm>
#include <cmath>

namespace PairingGeometry {

QRectF fitRect(QSizeF content, QSizeF view)
{
    if (content.width() <= 0 || content.height() <= 0 || view.width() <= 0 || view.height() <= 0) return {};
    const double s = std::min(view.width() / content.width(), view.height() / content.height());
    const QSizeF size = content * s;
    return QRectF(QPointF((view.width() - size.width()) / 2, (view.height() - size.height()) / 2), size);
}

QPointF mapBedPoint(QPointF inches, const QRectF& fit, QSizeF bedSize)
{
    const double k = bedSize.width() > 0 ? fit.width() / bedSize.width() : 1.0;
    return QPointF(fit.left() + inches.x() * k, fit.top() + inches.y() * k);
}

QPolygonF shapePolygon(QPointF center, QSizeF size, double angle, const QRectF& fit, QSizeF bedSize)
{
    ScanRegion shape;
    shape.center = center;
    shape.size = size;
    shape.angle = angle;
    QPolygonF polygon;
    for (const QPointF& corner : shape.corners()) polygon << mapBedPoint(corner, fit, bedSize);
    return polygon;
}

std::optional<std::size_t> polygonAt(QPointF p, const std::vector<QPolygonF>& polygons)
{
    for (std::size_t i = polygons.size(); i-- > 0;)
        if (PairingRules::pointInPolygon(p, polygons[i])) return i;
    return std::nullopt;
}

double linkCordSag(double distance) { return std::clamp(0.18 * distance, 18.0, 70.0); }
double connectorSag(double distance) { return std::clamp(0.14 * distance, 12.0, 54.0); }

QPainterPath cordPath(QPointF from, QPointF to, double sag)
{
    QPainterPath path(from);
    path.quadTo(QPointF((from.x() + to.x()) / 2, std::max(from.y(), to.y()) + sag), to);
    return path;
}

std::vector<QLineF> bracketArms(const QPolygonF& polygon)
{
    const qsizetype n = polygon.size();
    if (n < 3) return {};
    const double shorter = std::min(QLineF(polygon[0], polygon[1]).length(), QLineF(polygon[1], polygon[2]).length());
    const double arm = std::clamp(0.28 * shorter, 6.0, 15.0);
    std::vector<QLineF> arms;
    for (qsizetype i = 0; i < n; ++i) {
        const QPointF corner = polygon[i];
        for (const QPointF& neighbour : {polygon[(i + n - 1) % n], polygon[(i + 1) % n]}) {
            const QPointF d = neighbour - corner;
            const double length = std::hypot(d.x(), d.y());
            if (length < 0.0001) continue;
            arms.emplace_back(corner, corner + d * (arm / length));
        }
    }
    return arms;
}

}  // namespace PairingGeometry
