#pragma once

// The bed view's geometry, apart from the widget: how the bed maps onto the view, what a point
// hits, and how a drag changes a region. Pure functions of their inputs.
//
// Positions on the bed are in inches, positions on screen in view points. A mapping with no
// scale (an empty view, an empty image or a bed without width) maps nothing back to the bed;
// every function here then answers "nothing" rather than dividing by zero, so that no gesture
// can produce a non-finite number.

#include "model/PendingLink.h"
#include "model/ScanRegion.h"

#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QUuid>

#include <array>
#include <optional>
#include <vector>

namespace Bed {

inline constexpr double hitR = 14;      // grab radius of handles and edges, points
inline constexpr double minInch = 0.2;  // smallest side a resize leaves
inline constexpr double maxZoom = 8;
inline constexpr double knobDistance = 30;  // rotate knob beyond the top edge, points
inline constexpr double snapTolerance = 0.006;  // radians
inline constexpr double fineRotateRatio = 0.125;

// ---- mapping ---------------------------------------------------------------------------

// The image fitted whole into the container, centred; zero when either is empty.
QRectF baseFit(QSizeF container, QSize imagePixels);

struct Zoom {
    double zoom = 1;  // 1 ≤ zoom ≤ maxZoom
    QSizeF pan{0, 0};  // offset of the picture's centre from the container's centre

    friend bool operator==(const Zoom&, const Zoom&) = default;
};

// The picture at the given zoom and pan.
QRectF fitRect(QRectF base, QSizeF container, const Zoom& zoom);

// Pan limited so that a zoomed picture cannot be pushed past the container; none at zoom 1.
QSizeF clampPan(QSizeF pan, QRectF base, double zoom, QSizeF container);

// The bed drawn in `fit`: one scale for both axes.
class Mapping {
public:
    Mapping() = default;
    Mapping(QRectF fit, QSizeF bed);

    const QRectF& fit() const { return fit_; }
    QSizeF bed() const { return bed_; }
    double pointsPerInch() const { return k_; }  // 0: nothing maps back to the bed
    bool valid() const { return k_ > 0; }

    QPointF toView(QPointF inch) const { return fit_.topLeft() + inch * k_; }
    std::array<QPointF, 4> cornersInView(const ScanRegion& r) const;
    std::optional<QPointF> toInch(QPointF view) const;
    // The view point clamped into the picture first, so a drag never leaves the bed.
    std::optional<QPointF> clampedInch(QPointF view) const;
    QPointF clampedToFit(QPointF view) const;

private:
    QRectF fit_;
    QSizeF bed_;
    double k_ = 0;
};

// The zoom after multiplying by `factor` about the view point `at`, keeping the bed point
// under it in place; unchanged when the factor changes nothing or the mapping has no scale.
Zoom zoomBy(const Zoom& current, double factor, QPointF at, QSizeF container, QRectF base, QSizeF bed);

// ---- hit testing -----------------------------------------------------------------------

struct Handle {
    enum Kind { corner, edge, move, rotate, create };
    Kind kind = move;
    int index = 0;  // corner or edge 0..3

    friend bool operator==(const Handle&, const Handle&) = default;
};

// Edges count as inside.
bool regionContains(const ScanRegion& r, QPointF inch);
// Indices into `regions` of every region containing the point, topmost (last) first.
std::vector<size_t> regionsAt(const std::vector<ScanRegion>& regions, QPointF inch);

struct HandlePoints {
    std::array<QPointF, 4> corners;  // corner order of the region
    std::array<QPointF, 4> edges;    // midpoint of edge i, from corner i to corner i+1
    QPointF knob;                    // rotate knob beyond the top edge
};
HandlePoints handlePts(const ScanRegion& r, const Mapping& map);

// The nearest edge (or corner) within hitR; the lower index on a tie.
std::optional<int> edgeAt(QPointF p, const std::array<QPointF, 4>& corners);
std::optional<int> nearestCorner(QPointF p, const std::array<QPointF, 4>& corners);

struct RegionHandle {
    size_t index;  // into regions
    Handle handle;
};
// Over all regions, topmost first: a corner within hitR, else an edge.
std::optional<RegionHandle> resizeHandleAt(const std::vector<ScanRegion>& regions, const Mapping& map, QPointF p);

// ---- gestures --------------------------------------------------------------------------

struct DragInfo {
    std::optional<QUuid> id;         // absent for create
    Handle handle;
    std::optional<ScanRegion> start;  // the region as it was; absent for create
    QPointF startPt;                 // view points
    QPointF startInch;
};

struct DragStart {
    DragInfo drag;
    bool selects = false;  // the grab selects drag.id (a handle of an unselected region)
};

// What a press at `p` grabs when it starts moving, in the order: the selected region's knob,
// corner, edge and inside; any region's corner or edge; else a new region inside the picture.
// Alt skips the first two. Nothing while a link is pending or when the mapping has no scale.
std::optional<DragStart> startDrag(const std::vector<ScanRegion>& regions, const std::optional<QUuid>& selectedID,
                                   bool linkPending, const Mapping& map, QPointF p, bool alt);

// The region as the drag leaves it with the pointer at `p`; absent for create or without a
// scale. `shift` turns rotation into fine rotation.
std::optional<ScanRegion> draggedRegion(const DragInfo& drag, const Mapping& map, QPointF p, bool shift);

// The rubber band of a create drag, clamped into the picture.
QRectF createRect(const DragInfo& drag, const Mapping& map, QPointF p);

// The bed rectangle a finished create drag adds; absent when the band is 6 points or less
// in either direction.
std::optional<QRectF> createdRect(const QRectF& band, const Mapping& map);

// Moves a region back onto the bed without changing its size or angle; along an axis on
// which it is larger than the bed its centre is clamped onto the bed.
ScanRegion translatedInsideBed(ScanRegion r, QSizeF bed);
// Shrinks a region larger than the bed (sides kept ≥ minInch), then moves it onto the bed,
// centring it along an axis on which it is still larger.
ScanRegion resizedInsideBed(ScanRegion r, QSizeF bed);

// θ in (−π, π], landing exactly on a multiple of π/2 within snapTolerance of it.
double snappedAngle(double theta);

// The region a click at `inch` selects: the one below the selected region in the stack
// (wrapping to the top), else the topmost; absent on empty bed.
std::optional<QUuid> clickSelection(const std::vector<ScanRegion>& regions, const std::optional<QUuid>& selectedID,
                                    QPointF inch);

// ---- what the pointer shows -------------------------------------------------------------

enum class Pointer { none, pointingHand, crosshair, drawFront, drawBack, resizeLeftRight, resizeUpDown, openHand };

struct PointerInputs {
    const std::vector<ScanRegion>* regions = nullptr;
    std::optional<QUuid> selectedID;
    std::optional<PendingLink> pendingLink;
    bool drawBack = false;
    bool alt = false;
    bool overControls = false;
};
Pointer pointerAt(const PointerInputs& in, const Mapping& map, QPointF p);

// ---- drawing geometry ------------------------------------------------------------------

// Parallel lines rising to the right at 45°, `spacing` apart, cut to a convex polygon.
std::vector<QLineF> hatchLines(const std::array<QPointF, 4>& polygon, double spacing);

// The control point of a cord hanging down between two points.
QPointF cordControl(QPointF from, QPointF to, double sag);

}  // namespace Bed
