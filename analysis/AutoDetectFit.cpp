// A rotated rectangle per blob: hull, minimum-area rectangle, fill test, tilt refinement,
// and the conversion to bed inches.

#include "analysis/AutoDetectSteps.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace AutoDetect::detail {

namespace {

constexpr double quarterTurn = std::numbers::pi / 2;
constexpr double eighthTurn = std::numbers::pi / 4;
// About this many of a blob's pixels are sampled for its hull.
constexpr double hullSamples = 6000.0;
// Tilt is refined from more boundary points than this, along bands this share of the
// shorter side wide (within the bounds, pixels), over this share of each side's length;
// an edge tilted this much (radians) or more is no evidence.
constexpr std::size_t minTiltBoundary = 40;
constexpr double tiltBandShare = 0.03;
constexpr double minTiltBand = 2.5;
constexpr double maxTiltBand = 6.0;
constexpr double tiltReachShare = 0.85;
constexpr double maxEdgeTilt = 0.05;
// A line is fitted to no fewer points than this.
constexpr std::size_t minLinePoints = 8;
// A slope is trusted over a span of at least this many pixels; points further off the first
// line than twice the residual at this rank (and at least the floor) are dropped for the refit.
constexpr double minSlopeSpan = 15.0;
constexpr double residualRank = 0.8;
constexpr double minResidualCut = 1.5;
// Inches added on each side of a fitted print.
constexpr double printMargin = 0.04;
// A smaller tilt than this (radians, about 0.15°) is taken for none.
constexpr double minTilt = 0.0026;
// The smallest print: each side and its area, in inches; and its sides' largest ratio.
constexpr double minPrintSide = 0.5;
constexpr double minPrintArea = 0.6;
constexpr double maxPrintAspect = 7;

double cross(QPointF o, QPointF a, QPointF p)
{
    return (a.x() - o.x()) * (p.y() - o.y()) - (a.y() - o.y()) * (p.x() - o.x());
}

}  // namespace

std::optional<OrientedRect> minimumAreaRect(const std::vector<QPointF>& hull)
{
    const size_t n = hull.size();
    double bestArea = std::numeric_limits<double>::max();
    std::optional<OrientedRect> best;
    for (size_t i = 0; i < n; ++i) {
        const QPointF d = hull[(i + 1) % n] - hull[i];
        const double length = std::hypot(d.x(), d.y());
        if (!(length > 1e-6)) continue;
        const double ux = d.x() / length;
        const double uy = d.y() / length;
        double minA = std::numeric_limits<double>::infinity(), maxA = -minA, minB = minA, maxB = -minA;
        for (const QPointF& p : hull) {
            const double a = p.x() * ux + p.y() * uy;
            const double b = p.y() * ux - p.x() * uy;
            minA = std::min(minA, a);
            maxA = std::max(maxA, a);
            minB = std::min(minB, b);
            maxB = std::max(maxB, b);
        }
        const double area = (maxA - minA) * (maxB - minB);
        if (area < bestArea) {
            bestArea = area;
            const double cA = (minA + maxA) / 2;
            const double cB = (minB + maxB) / 2;
            best = OrientedRect{ux * cA - uy * cB, uy * cA + ux * cB, maxA - minA, maxB - minB, std::atan2(uy, ux)};
        }
    }
    return best;
}

void normaliseAngle(OrientedRect& rect)
{
    while (rect.angle > eighthTurn) {
        rect.angle -= quarterTurn;
        std::swap(rect.width, rect.height);
    }
    while (rect.angle <= -eighthTurn) {
        rect.angle += quarterTurn;
        std::swap(rect.width, rect.height);
    }
}

std::vector<QPointF> convexHull(std::vector<QPointF> points)
{
    if (points.size() < 2) return points;
    auto before = [](QPointF a, QPointF b) { return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y()); };
    if (!std::is_sorted(points.begin(), points.end(), before)) std::sort(points.begin(), points.end(), before);
    auto chain = [](auto first, auto last) {
        std::vector<QPointF> out;
        for (auto it = first; it != last; ++it) {
            while (out.size() >= 2 && cross(out[out.size() - 2], out.back(), *it) <= 0) out.pop_back();
            out.push_back(*it);
        }
        out.pop_back();
        return out;
    };
    std::vector<QPointF> hull = chain(points.begin(), points.end());
    const std::vector<QPointF> upper = chain(points.rbegin(), points.rend());
    hull.insert(hull.end(), upper.begin(), upper.end());
    return hull;
}

std::optional<OrientedRect> fitRectangle(const PixelBox& box, const Mask& mask,
                                         const std::vector<std::int32_t>& labels, int width, int height)
{
    // About 6000 samples of the blob's own pixels; a neighbour reaching into the box is not ours.
    const int step = std::max(1, roundToInt(std::sqrt(double(box.width()) * box.height() / hullSamples)));
    // Column by column, so that the points come out already in the hull's order.
    std::vector<QPointF> points;
    for (int x = box.minX; x <= box.maxX; x += step)
        for (int y = box.minY; y <= box.maxY; y += step)
            if (labels[size_t(y) * width + x] == box.label) points.emplace_back(x, y);
    if (points.size() < minFitPoints) return std::nullopt;

    const std::vector<QPointF> hull = convexHull(points);
    OrientedRect rect;
    if (hull.size() > 2) {
        const std::optional<OrientedRect> fitted = minimumAreaRect(hull);
        if (!fitted) return std::nullopt;
        rect = *fitted;
        normaliseAngle(rect);
    } else {
        double minX = points[0].x(), maxX = minX, minY = points[0].y(), maxY = minY;
        for (const QPointF& p : points) {
            minX = std::min(minX, p.x());
            maxX = std::max(maxX, p.x());
            minY = std::min(minY, p.y());
            maxY = std::max(maxY, p.y());
        }
        rect = {(minX + maxX) / 2, (minY + maxY) / 2, maxX - minX, maxY - minY, 0.0};
    }

    const double covered = double(step) * step * double(points.size());
    const double area = rect.width * rect.height;
    const double fill = area >= 1 ? covered / area : covered;
    if (fill < minRectFill) return std::nullopt;

    refineTilt(rect, box, mask, labels, width, height);
    return rect;
}

void refineTilt(OrientedRect& rect, const PixelBox& box, const Mask& mask,
                const std::vector<std::int32_t>& labels, int width, int height)
{
    // The blob's own outline inside the box.
    std::vector<QPointF> boundary;
    const std::int32_t* const label = labels.data();
    const std::uint8_t* const m = mask.data();
    const std::int32_t own = box.label;
    for (int y = box.minY; y <= box.maxY; ++y) {
        const bool edgeRow = y == 0 || y == height - 1;
        const size_t rowStart = size_t(y) * width;
        for (int x = box.minX; x <= box.maxX; ++x) {
            const size_t i = rowStart + x;
            if (label[i] != own) continue;
            const bool edge = edgeRow || x == 0 || x == width - 1;
            if (edge || !m[i - 1] || !m[i + 1] || !m[i - size_t(width)] || !m[i + size_t(width)])
                boundary.emplace_back(x, y);
        }
    }
    refineTiltFromBoundary(rect, boundary);
}

void refineTiltFromBoundary(OrientedRect& rect, const std::vector<QPointF>& boundary)
{
    if (boundary.size() <= minTiltBoundary) return;

    const double c = std::cos(rect.angle);
    const double s = std::sin(rect.angle);
    std::vector<QPointF> local;  // (u, v) in the rectangle's frame
    local.reserve(boundary.size());
    for (const QPointF& p : boundary) {
        const double dx = p.x() - rect.cx;
        const double dy = p.y() - rect.cy;
        local.emplace_back(dx * c + dy * s, dy * c - dx * s);
    }

    const double band = std::min(std::max(std::min(rect.width, rect.height) * tiltBandShare, minTiltBand), maxTiltBand);
    double weighted = 0;
    double totalWeight = 0;
    auto record = [&](double angle, size_t weight) {
        if (!(std::abs(angle) < maxEdgeTilt)) return;
        weighted += angle * double(weight);
        totalWeight += double(weight);
    };
    // Top and bottom edges: v as a function of u.
    const double uReach = rect.width * 0.5 * tiltReachShare;
    for (const double edge : {-rect.height / 2, rect.height / 2}) {
        std::vector<QPointF> selected;
        for (const QPointF& q : local)
            if (std::abs(q.y() - edge) <= band && std::abs(q.x()) <= uReach) selected.push_back(q);
        if (const auto m = trimmedSlope(selected, uReach)) record(std::atan(*m), selected.size());
    }
    // Left and right edges: u as a function of v.
    const double vReach = rect.height * 0.5 * tiltReachShare;
    for (const double edge : {-rect.width / 2, rect.width / 2}) {
        std::vector<QPointF> selected;
        for (const QPointF& q : local)
            if (std::abs(q.x() - edge) <= band && std::abs(q.y()) <= vReach) selected.emplace_back(q.y(), q.x());
        if (const auto m = trimmedSlope(selected, vReach)) record(-std::atan(*m), selected.size());
    }
    if (!(totalWeight > 0)) return;

    const double angle = rect.angle + weighted / totalWeight;
    const double c2 = std::cos(angle);
    const double s2 = std::sin(angle);
    double minA = std::numeric_limits<double>::infinity(), maxA = -minA, minB = minA, maxB = -minA;
    for (const QPointF& p : boundary) {
        const double a = p.x() * c2 + p.y() * s2;
        const double b = p.y() * c2 - p.x() * s2;
        minA = std::min(minA, a);
        maxA = std::max(maxA, a);
        minB = std::min(minB, b);
        maxB = std::max(maxB, b);
    }
    const double cA = (minA + maxA) / 2;
    const double cB = (minB + maxB) / 2;
    rect = {c2 * cA - s2 * cB, c2 * cB + s2 * cA, maxA - minA, maxB - minB, angle};
}

std::optional<Line> fitLine(const std::vector<QPointF>& points)
{
    const double n = double(points.size());
    if (points.size() < minLinePoints) return std::nullopt;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const QPointF& p : points) {
        sx += p.x();
        sy += p.y();
        sxx += p.x() * p.x();
        sxy += p.x() * p.y();
    }
    const double denominator = n * sxx - sx * sx;
    if (std::abs(denominator) <= 1e-9) return std::nullopt;
    const double m = (n * sxy - sx * sy) / denominator;
    return Line{m, (sy - m * sx) / n};
}

std::optional<double> trimmedSlope(const std::vector<QPointF>& points, double minSpan)
{
    if (points.empty()) return std::nullopt;
    const auto [lo, hi] = std::minmax_element(points.begin(), points.end(),
                                              [](QPointF a, QPointF b) { return a.x() < b.x(); });
    if (hi->x() - lo->x() < std::max(minSlopeSpan, minSpan)) return std::nullopt;
    const std::optional<Line> first = fitLine(points);
    if (!first) return std::nullopt;

    auto residual = [&](QPointF p) { return std::abs(p.y() - (first->slope * p.x() + first->intercept)); };
    std::vector<double> residuals;
    residuals.reserve(points.size());
    for (const QPointF& p : points) residuals.push_back(residual(p));
    std::sort(residuals.begin(), residuals.end());
    const double threshold = std::max(minResidualCut, 2 * residuals[size_t(double(residuals.size()) * residualRank)]);

    std::vector<QPointF> kept;
    kept.reserve(points.size());
    for (const QPointF& p : points)
        if (residual(p) <= threshold) kept.push_back(p);
    const std::optional<Line> refit = fitLine(kept);
    return refit ? refit->slope : first->slope;
}

std::optional<ScanRegion> toRegion(const OrientedRect& rect, double pxPerInX, double pxPerInY)
{
    ScanRegion region;
    region.name = QStringLiteral("Photo");
    // Pixel i covers [i, i+1): its centre is at i + 0.5.
    region.center = QPointF((rect.cx + 0.5) / pxPerInX, (rect.cy + 0.5) / pxPerInY);
    region.size = QSizeF(rect.width / pxPerInX + 2 * printMargin, rect.height / pxPerInY + 2 * printMargin);
    region.angle = std::abs(rect.angle) >= minTilt ? rect.angle : 0.0;
    const double w = region.size.width();
    const double h = region.size.height();
    if (w < minPrintSide || h < minPrintSide || w * h < minPrintArea) return std::nullopt;
    if (std::max(w, h) / std::max(std::min(w, h), 0.001) > maxPrintAspect) return std::nullopt;
    return region;
}

}  // namespace AutoDetect::detail
