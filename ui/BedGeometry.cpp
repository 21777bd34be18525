#include "ui/BedGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Bed {

namespace {

bool finite(double v) { return std::isfinite(v); }
bool finite(QPointF p) { return finite(p.x()) && finite(p.y()); }

double length(QPointF v) { return std::hypot(v.x(), v.y()); }

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const double len = length(ab);
    if (len < 0.01) return length(p - a);
    const double t = std::clamp(QPointF::dotProduct(p - a, ab) / (len * len), 0.0, 1.0);
    return length(p - (a + ab * t));
}

// The index of the smallest distance within hitR; the lower index on a tie.
template <class Distance>
std::optional<int> nearestWithin(Distance distance)
{
    std::optional<int> best;
    double bestD = hitR;
    for (int i = 0; i < 4; ++i) {
        const double d = distance(i);
        if (d <= bestD && (!best || d < bestD)) {
            best = i;
            bestD = d;
        }
    }
    return best;
}

// Turns a vector given in the region's own frame into bed coordinates, and back.
QPointF fromRegionFrame(QPointF v, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return {v.x() * c - v.y() * s, v.x() * s + v.y() * c};
}
QPointF toRegionFrame(QPointF v, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return {v.x() * c + v.y() * s, v.y() * c - v.x() * s};
}

// Shift along one axis that brings [lo, hi] inside [0, extent]; when it is larger, the shift
// that either clamps the centre (`centre`) or centres the span.
double axisShift(double lo, double hi, double extent, double centre, bool centreWhenLarger)
{
    if (hi - lo <= extent) {
        if (lo < 0) return -lo;
        if (hi > extent) return extent - hi;
        return 0;
    }
    if (centreWhenLarger) return extent / 2 - (lo + hi) / 2;
    return std::clamp(centre, 0.0, extent) - centre;
}

ScanRegion shiftedInsideBed(ScanRegion r, QSizeF bed, bool centreWhenLarger)
{
    const QRectF b = r.aabbInches();
    const double dx = axisShift(b.left(), b.right(), bed.width(), r.center.x(), centreWhenLarger);
    const double dy = axisShift(b.top(), b.bottom(), bed.height(), r.center.y(), centreWhenLarger);
    r.center += QPointF(dx, dy);
    return r;
}

bool regionFinite(const ScanRegion& r)
{
    return finite(r.center) && finite(r.size.width()) && finite(r.size.height()) && finite(r.angle);
}

}  // namespace

// ---- mapping ---------------------------------------------------------------------------

QRectF baseFit(QSizeF container, QSize imagePixels)
{
    const double cw = container.width(), ch = container.height();
    const double iw = imagePixels.width(), ih = imagePixels.height();
    if (!(cw > 0 && ch > 0 && iw > 0 && ih > 0) || !finite(cw) || !finite(ch)) return {};
    const double s = std::min(cw / iw, ch / ih);
    return {(cw - s * iw) / 2, (ch - s * ih) / 2, s * iw, s * ih};
}

QRectF fitRect(QRectF base, QSizeF container, const Zoom& zoom)
{
    const double w = base.width() * zoom.zoom, h = base.height() * zoom.zoom;
    return {container.width() / 2 + zoom.pan.width() - w / 2, container.height() / 2 + zoom.pan.height() - h / 2, w, h};
}

QSizeF clampPan(QSizeF pan, QRectF base, double zoom, QSizeF container)
{
    const double limitX = std::max(0.0, (base.width() * zoom - container.width()) / 2);
    const double limitY = std::max(0.0, (base.height() * zoom - container.height()) / 2);
    const double x = finite(pan.width()) ? pan.width() : 0, y = finite(pan.height()) ? pan.height() : 0;
    return {std::clamp(x, -limitX, limitX), std::clamp(y, -limitY, limitY)};
}

Mapping::Mapping(QRectF fit, QSizeF bed) : fit_(fit), bed_(bed)
{
    const double k = fit.width() / bed.width();
    const bool usable = fit.width() > 0 && fit.height() > 0 && bed.width() > 0 && bed.height() > 0 &&
                        finite(fit.x()) && finite(fit.y()) && finite(bed.height()) && finite(k) && k > 0;
    k_ = usable ? k : 0;
}

std::array<QPointF, 4> Mapping::cornersInView(const ScanRegion& r) const
{
    auto pts = r.corners();
    for (QPointF& p : pts) p = toView(p);
    return pts;
}

std::optional<QPointF> Mapping::toInch(QPointF view) const
{
    if (!valid() || !finite(view)) return std::nullopt;
    return (view - fit_.topLeft()) / k_;
}

QPointF Mapping::clampedToFit(QPointF view) const
{
    return {std::clamp(view.x(), fit_.left(), fit_.right()), std::clamp(view.y(), fit_.top(), fit_.bottom())};
}

std::optional<QPointF> Mapping::clampedInch(QPointF view) const
{
    if (!finite(view)) return std::nullopt;
    return toInch(clampedToFit(view));
}

Zoom zoomBy(const Zoom& current, double factor, QPointF at, QSizeF container, QRectF base, QSizeF bed)
{
    if (!finite(factor) || !(factor > 0) || !finite(at)) return current;
    const double z = std::min(maxZoom, std::max(1.0, factor * current.zoom));
    if (z == current.zoom) return current;
    const Mapping map(fitRect(base, container, current), bed);
    const auto uv = map.toInch(at);
    if (!uv) return current;
    const double k = base.width() * z / bed.width();
    Zoom next{z, QSizeF(at.x() - k * uv->x() + base.width() * z / 2 - container.width() / 2,
                        at.y() - k * uv->y() + base.height() * z / 2 - container.height() / 2)};
    next.pan = clampPan(next.pan, base, z, container);
    return next;
}

// ---- hit testing -----------------------------------------------------------------------

bool regionContains(const ScanRegion& r, QPointF inch)
{
    const QPointF d = toRegionFrame(inch - r.center, r.angle);
    return std::abs(d.x()) <= r.size.width() / 2 && std::abs(d.y()) <= r.size.height() / 2;
}

std::vector<size_t> regionsAt(const std::vector<ScanRegion>& regions, QPointF inch)
{
    std::vector<size_t> hits;
    for (size_t i = regions.size(); i-- > 0;)
        if (regionContains(regions[i], inch)) hits.push_back(i);
    return hits;
}

HandlePoints handlePts(const ScanRegion& r, const Mapping& map)
{
    HandlePoints h;
    h.corners = map.cornersInView(r);
    for (int i = 0; i < 4; ++i) h.edges[i] = (h.corners[i] + h.corners[(i + 1) % 4]) / 2;
    const QPointF centre = map.toView(r.center);
    const QPointF out = h.edges[0] - centre;
    h.knob = h.edges[0] + out / std::max(length(out), 0.0001) * knobDistance;
    return h;
}

std::optional<int> edgeAt(QPointF p, const std::array<QPointF, 4>& corners)
{
    return nearestWithin([&](int i) { return distanceToSegment(p, corners[i], corners[(i + 1) % 4]); });
}

std::optional<int> nearestCorner(QPointF p, const std::array<QPointF, 4>& corners)
{
    return nearestWithin([&](int i) { return length(p - corners[i]); });
}

std::optional<RegionHandle> resizeHandleAt(const std::vector<ScanRegion>& regions, const Mapping& map, QPointF p)
{
    if (!map.valid()) return std::nullopt;
    for (size_t i = regions.size(); i-- > 0;) {
        const auto corners = map.cornersInView(regions[i]);
        if (auto c = nearestCorner(p, corners)) return RegionHandle{i, {Handle::corner, *c}};
        if (auto e = edgeAt(p, corners)) return RegionHandle{i, {Handle::edge, *e}};
    }
    return std::nullopt;
}

// ---- gestures --------------------------------------------------------------------------

std::optional<DragStart> startDrag(const std::vector<ScanRegion>& regions, const std::optional<QUuid>& selectedID,
                                   bool linkPending, const Mapping& map, QPointF p, bool alt)
{
    if (linkPending || !map.valid() || !finite(p)) return std::nullopt;
    const QPointF startInch = *map.clampedInch(p);
    const auto grab = [&](const ScanRegion& r, Handle handle, bool selects) {
        return DragStart{DragInfo{r.id, handle, r, p, startInch}, selects};
    };
    if (!alt && selectedID) {
        const auto it = std::find_if(regions.begin(), regions.end(), [&](const ScanRegion& r) { return r.id == *selectedID; });
        if (it != regions.end()) {
            const HandlePoints h = handlePts(*it, map);
            if (length(p - h.knob) <= hitR) return grab(*it, {Handle::rotate}, false);
            if (auto c = nearestCorner(p, h.corners)) return grab(*it, {Handle::corner, *c}, false);
            if (auto e = edgeAt(p, h.corners)) return grab(*it, {Handle::edge, *e}, false);
            if (regionContains(*it, *map.toInch(p))) return grab(*it, {Handle::move}, false);
        }
    }
    if (!alt)
        if (auto hit = resizeHandleAt(regions, map, p)) return grab(regions[hit->index], hit->handle, true);
    if (!map.fit().contains(p)) return std::nullopt;
    return DragStart{DragInfo{std::nullopt, {Handle::create}, std::nullopt, map.clampedToFit(p), startInch}, false};
}

double snappedAngle(double theta)
{
    const double t = std::remainder(theta, 2 * std::numbers::pi);
    for (double target : {-std::numbers::pi, -std::numbers::pi / 2, 0.0, std::numbers::pi / 2, std::numbers::pi})
        if (std::abs(t - target) <= snapTolerance) return target;
    return t;
}

std::optional<ScanRegion> draggedRegion(const DragInfo& drag, const Mapping& map, QPointF p, bool shift)
{
    if (!drag.start || drag.handle.kind == Handle::create || !map.valid()) return std::nullopt;
    const auto now = map.clampedInch(p);
    if (!now) return std::nullopt;
    const ScanRegion& r0 = *drag.start;
    const QSizeF bed = map.bed();
    const QPointF d = *now - drag.startInch;
    ScanRegion r = r0;
    switch (drag.handle.kind) {
    case Handle::move:
        r.center = r0.center + d;
        r = translatedInsideBed(r, bed);
        break;
    case Handle::corner:
    case Handle::edge: {
        static constexpr std::array<QPointF, 4> cornerSigns{QPointF(-1, -1), QPointF(1, -1), QPointF(1, 1), QPointF(-1, 1)};
        static constexpr std::array<QPointF, 4> edgeSigns{QPointF(0, -1), QPointF(1, 0), QPointF(0, 1), QPointF(-1, 0)};
        const int i = std::clamp(drag.handle.index, 0, 3);
        const QPointF sign = drag.handle.kind == Handle::corner ? cornerSigns[i] : edgeSigns[i];
        const QPointF du = toRegionFrame(d, r0.angle);
        const double w = sign.x() ? std::max(minInch, r0.size.width() + sign.x() * du.x()) : r0.size.width();
        const double h = sign.y() ? std::max(minInch, r0.size.height() + sign.y() * du.y()) : r0.size.height();
        const QPointF shiftLocal(sign.x() * (w - r0.size.width()) / 2, sign.y() * (h - r0.size.height()) / 2);
        r.size = QSizeF(w, h);
        r.center = r0.center + fromRegionFrame(shiftLocal, r0.angle);
        r = resizedInsideBed(r, bed);
        break;
    }
    case Handle::rotate: {
        const QPointF c = map.toView(r0.center);
        const double theta = std::atan2(p.y() - c.y(), p.x() - c.x()) + std::numbers::pi / 2;
        if (shift) {
            const QPointF s = drag.startPt;
            const double theta0 = std::atan2(s.y() - c.y(), s.x() - c.x()) + std::numbers::pi / 2;
            r.angle = r0.angle + std::remainder(theta - theta0, 2 * std::numbers::pi) * fineRotateRatio;
        } else {
            r.angle = snappedAngle(theta);
        }
        r.center = QPointF(std::clamp(r0.center.x(), 0.0, bed.width()), std::clamp(r0.center.y(), 0.0, bed.height()));
        break;
    }
    case Handle::create:
        return std::nullopt;
    }
    if (!regionFinite(r)) return std::nullopt;
    return r;
}

QRectF createRect(const DragInfo& drag, const Mapping& map, QPointF p)
{
    if (!finite(p)) p = drag.startPt;
    return QRectF(map.clampedToFit(drag.startPt), map.clampedToFit(p)).normalized();
}

std::optional<QRectF> createdRect(const QRectF& band, const Mapping& map)
{
    if (!(band.width() > 6 && band.height() > 6)) return std::nullopt;
    const auto a = map.clampedInch(band.topLeft());
    const auto b = map.clampedInch(band.bottomRight());
    if (!a || !b) return std::nullopt;
    return QRectF(*a, *b);
}

ScanRegion translatedInsideBed(ScanRegion r, QSizeF bed) { return shiftedInsideBed(std::move(r), bed, false); }

ScanRegion resizedInsideBed(ScanRegion r, QSizeF bed)
{
    const QRectF b = r.aabbInches();
    if (b.width() > bed.width() || b.height() > bed.height()) {
        const double f = std::min({1.0, bed.width() / std::max(b.width(), 0.0001), bed.height() / std::max(b.height(), 0.0001)});
        r.size = QSizeF(std::max(minInch, r.size.width() * f), std::max(minInch, r.size.height() * f));
    }
    return shiftedInsideBed(std::move(r), bed, true);
}

std::optional<QUuid> clickSelection(const std::vector<ScanRegion>& regions, const std::optional<QUuid>& selectedID,
                                    QPointF inch)
{
    const auto hits = regionsAt(regions, inch);
    if (hits.empty()) return std::nullopt;
    for (size_t i = 0; i < hits.size(); ++i)
        if (selectedID && regions[hits[i]].id == *selectedID) return regions[hits[(i + 1) % hits.size()]].id;
    return regions[hits.front()].id;
}

// ---- what the pointer shows -------------------------------------------------------------

Pointer pointerAt(const PointerInputs& in, const Mapping& map, QPointF p)
{
    if (!map.valid() || in.overControls || !map.fit().contains(p) || !in.regions) return Pointer::none;
    const auto& regions = *in.regions;
    const QPointF inch = *map.toInch(p);
    const Pointer draw = in.drawBack ? Pointer::drawBack : Pointer::drawFront;
    if (in.pendingLink) {
        const auto hits = regionsAt(regions, inch);
        return !hits.empty() && regions[hits.front()].id != in.pendingLink->sourceID ? Pointer::pointingHand
                                                                                     : Pointer::crosshair;
    }
    if (in.alt) return draw;
    if (auto hit = resizeHandleAt(regions, map, p)) {
        if (hit->handle.kind == Handle::corner) return Pointer::crosshair;
        const auto corners = map.cornersInView(regions[hit->index]);
        const QPointF dir = corners[(hit->handle.index + 1) % 4] - corners[hit->handle.index];
        const double a = std::fmod(std::atan2(dir.y(), dir.x()) + 2 * std::numbers::pi, std::numbers::pi);
        const bool nearVertical = a >= std::numbers::pi / 4 && a <= 3 * std::numbers::pi / 4;
        return nearVertical ? Pointer::resizeLeftRight : Pointer::resizeUpDown;
    }
    if (in.selectedID)
        for (const ScanRegion& r : regions)
            if (r.id == *in.selectedID) {
                if (regionContains(r, inch)) return Pointer::openHand;
                break;
            }
    return draw;
}

// ---- drawing geometry ------------------------------------------------------------------

std::vector<QLineF> hatchLines(const std::array<QPointF, 4>& polygon, double spacing)
{
    // Lines x + y = c; cut each against the polygon's edges (convex, either winding).
    std::vector<QLineF> lines;
    if (!(spacing > 0)) return lines;
    double lo = polygon[0].x() + polygon[0].y(), hi = lo;
    for (const QPointF& q : polygon) {
        if (!finite(q)) return lines;
        lo = std::min(lo, q.x() + q.y());
        hi = std::max(hi, q.x() + q.y());
    }
    const double step = spacing * std::numbers::sqrt2;
    if ((hi - lo) / step > 100000) return lines;
    for (double c = std::ceil(lo / step) * step; c <= hi; c += step) {
        // Where edge a→b crosses the line: points whose x + y equals c.
        std::array<QPointF, 2> ends;
        int found = 0;
        for (int i = 0; i < 4 && found < 2; ++i) {
            const QPointF a = polygon[i], b = polygon[(i + 1) % 4];
            const double fa = a.x() + a.y() - c, fb = b.x() + b.y() - c;
            if ((fa < 0) == (fb < 0) || fa == fb) continue;
            const QPointF q = a + (b - a) * (fa / (fa - fb));
            if (found == 1 && length(q - ends[0]) < 1e-9) continue;
            ends[found++] = q;
        }
        if (found == 2) lines.emplace_back(ends[0], ends[1]);
    }
    return lines;
}

QPointF cordControl(QPointF from, QPointF to, double sag)
{
    return {(from.x() + to.x()) / 2, std::max(from.y(), to.y()) + sag};
}

}  // namespace Bed
