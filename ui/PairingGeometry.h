#pragma once

// Where the pairing workspace draws: the previous scan fitted into its half, the remembered
// fronts on it, the corner brackets and the hanging cords. Pure geometry, in view points.

#include "model/ScanRecord.h"

#include <QLineF>
#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>

#include <optional>
#include <vector>

namespace PairingGeometry {

// `content` scaled to fit whole into `view`, keeping its aspect ratio, centred; empty when
// either size is empty.
QRectF fitRect(QSizeF content, QSizeF view);

// A bed point (inches) on the picture drawn in `fit`: one scale for both axes, from the bed's
// width (1 when the width is unknown).
QPointF mapBedPoint(QPointF inches, const QRectF& fit, QSizeF bedSize);

// A rotated rectangle on the bed, mapped as above, corners in the regions' corner order.
QPolygonF shapePolygon(QPointF center, QSizeF size, double angle, const QRectF& fit, QSizeF bedSize);
inline QPolygonF recordPolygon(const ScanRecord& record, const QRectF& fit, QSizeF bedSize)
{
    return shapePolygon(record.center, record.size, record.angle, fit, bedSize);
}

// The topmost (last) polygon containing `p`.
std::optional<std::size_t> polygonAt(QPointF p, const std::vector<QPolygonF>& polygons);

// How far a cord hangs below its lower end, for the distance between its ends.
double linkCordSag(double distance);
double connectorSag(double distance);

// A quadratic curve from `from` to `to` that hangs `sag` below the lower end.
QPainterPath cordPath(QPointF from, QPointF to, double sag);

// The short strokes that mark each corner of a polygon along its two sides.
std::vector<QLineF> bracketArms(const QPolygonF& polygon);

}  // namespace PairingGeometry
