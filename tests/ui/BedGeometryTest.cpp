#include "ui/BedGeometry.h"

#include "support/Make.h"
#include "support/Near.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace Bed;

namespace {

constexpr double pi = std::numbers::pi;
const QSizeF bed(8, 10);
// A 400×500 view showing an 80×100-pixel overview of the 8×10-inch bed: 50 points per inch.
const QSizeF view(400, 500);
const QRectF fit(0, 0, 400, 500);

ScanRegion region(QPointF c, QSizeF s, double angle = 0) { return makeRegion(c, s, {}, {}, angle); }

bool finite(const ScanRegion& r)
{
    return std::isfinite(r.center.x()) && std::isfinite(r.center.y()) && std::isfinite(r.size.width()) &&
           std::isfinite(r.size.height()) && std::isfinite(r.angle);
}

DragInfo grab(const ScanRegion& r, Handle h, QPointF startPt)
{
    const Mapping map(fit, bed);
    return DragInfo{r.id, h, r, startPt, *map.clampedInch(startPt)};
}

}  // namespace

TEST(BedMapping, FitsZoomsAboutThePointerAndClampsThePan)
{
    EXPECT_EQ(baseFit(QSizeF(600, 500), QSize(80, 100)), QRectF(100, 0, 400, 500));
    const QRectF base = baseFit(view, QSize(80, 100));
    const Mapping map(fitRect(base, view, {}), bed);
    EXPECT_DOUBLE_EQ(map.pointsPerInch(), 50);
    EXPECT_EQ(map.toView(QPointF(2, 3)), QPointF(100, 150));
    EXPECT_EQ(*map.clampedInch(QPointF(-40, 900)), QPointF(0, 10));

    // The bed point under the pointer stays under it; zoom stops at its limits.
    const Zoom z = zoomBy({}, 2, QPointF(100, 150), view, base, bed);
    EXPECT_DOUBLE_EQ(z.zoom, 2);
    EXPECT_TRUE(near(Mapping(fitRect(base, view, z), bed).toView(QPointF(2, 3)), QPointF(100, 150)));
    EXPECT_DOUBLE_EQ(zoomBy(z, 100, QPointF(0, 0), view, base, bed).zoom, maxZoom);
    EXPECT_EQ(zoomBy({}, 0.5, QPointF(10, 10), view, base, bed), Zoom{}) << "at zoom 1 zooming out changes nothing";

    // Pushed towards a corner, the picture stops with its edge at the container's edge.
    const Zoom atCorner = zoomBy({}, 2, QPointF(0, 0), view, base, bed);
    EXPECT_EQ(atCorner.pan, QSizeF(200, 250));
    EXPECT_EQ(clampPan(QSizeF(900, -900), base, 2, view), QSizeF(200, -250));
    EXPECT_EQ(clampPan(QSizeF(30, 30), base, 1, view), QSizeF(0, 0));
}

TEST(BedMapping, NoScaleMeansNoGestureAndNoNonFiniteNumber)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const ScanRegion r = region(QPointF(2, 2), QSizeF(2, 2));
    struct Case { const char* name; QSizeF container; QSize image; QSizeF bed; } cases[] = {
        {"empty container", QSizeF(0, 0), QSize(80, 100), bed},
        {"empty image", view, QSize(0, 0), bed},
        {"zero bed width", view, QSize(80, 100), QSizeF(0, 10)},
        {"zero bed height", view, QSize(80, 100), QSizeF(8, 0)},
        {"infinite bed", view, QSize(80, 100), QSizeF(inf, 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QRectF base = baseFit(c.container, c.image);
        const Mapping map(fitRect(base, c.container, {}), c.bed);
        EXPECT_FALSE(map.valid());
        EXPECT_FALSE(map.toInch(QPointF(10, 10)));
        EXPECT_FALSE(map.clampedInch(QPointF(10, 10)));
        EXPECT_EQ(zoomBy({}, 2, QPointF(10, 10), c.container, base, c.bed), Zoom{});
        EXPECT_FALSE(startDrag({r}, r.id, false, map, QPointF(100, 100), false));
        EXPECT_FALSE(draggedRegion(grab(r, {Handle::move}, QPointF(100, 100)), map, QPointF(150, 150), false));
        EXPECT_FALSE(createdRect(QRectF(0, 0, 50, 50), map));
        EXPECT_FALSE(resizeHandleAt({r}, map, QPointF(50, 50)));
        EXPECT_EQ(pointerAt({}, map, QPointF(10, 10)), Pointer::none);
    }
    const QRectF base = baseFit(view, QSize(80, 100));
    const Mapping map(fit, bed);
    for (double factor : {nan, inf, -1.0, 0.0}) EXPECT_EQ(zoomBy({}, factor, QPointF(9, 9), view, base, bed), Zoom{});
    EXPECT_EQ(zoomBy({}, 2, QPointF(nan, 9), view, base, bed), Zoom{});
    EXPECT_FALSE(map.clampedInch(QPointF(nan, 1)));
    EXPECT_FALSE(startDrag({}, std::nullopt, false, map, QPointF(inf, 1), false));
    EXPECT_EQ(clampPan(QSizeF(nan, inf), base, 2, view), QSizeF(0, 0));
}

TEST(BedHitTesting, RegionsHandlesAndEdges)
{
    const Mapping map(fit, bed);
    const ScanRegion turned = region(QPointF(4, 5), QSizeF(4, 2), pi / 2);  // 2 wide, 4 tall on screen
    EXPECT_TRUE(regionContains(turned, QPointF(4.9, 6.9)));
    EXPECT_TRUE(regionContains(turned, QPointF(5, 7))) << "edges count as inside";
    EXPECT_FALSE(regionContains(turned, QPointF(5.5, 5)));

    // The knob lies 30 points beyond the top edge, along the line from the centre.
    EXPECT_TRUE(near(handlePts(turned, map).knob, QPointF(200 + 50 + 30, 250)));

    // Equally near two edges (or corners): the lower index wins; beyond hitR: none.
    const std::array<QPointF, 4> square{QPointF(0, 0), QPointF(100, 0), QPointF(100, 100), QPointF(0, 100)};
    EXPECT_EQ(edgeAt(QPointF(5, 5), square), 0);
    EXPECT_EQ(edgeAt(QPointF(95, 50), square), 1);
    EXPECT_EQ(edgeAt(QPointF(50, 50), square), std::nullopt);
    EXPECT_EQ(nearestCorner(QPointF(50, 0), square), std::nullopt);
    EXPECT_EQ(nearestCorner(QPointF(50, -100), square), std::nullopt);
    EXPECT_EQ(nearestCorner(QPointF(110, 105), square), 2);

    // Stacked regions answer topmost (last) first.
    const std::vector<ScanRegion> stack{region(QPointF(2, 2), QSizeF(2, 2)), region(QPointF(2.5, 2), QSizeF(2, 2))};
    EXPECT_EQ(regionsAt(stack, QPointF(2, 2)), (std::vector<size_t>{1, 0}));
    const auto hit = resizeHandleAt(stack, map, QPointF(75, 100));  // region 1's left edge, inside region 0
    ASSERT_TRUE(hit);
    EXPECT_EQ(std::pair(hit->index, hit->handle), std::pair(size_t(1), Handle{Handle::edge, 3}));
}

TEST(BedDragging, ResizesMovesAndRotationsFollowTheRules)
{
    const Mapping map(fit, bed);
    const ScanRegion a = region(QPointF(2, 2), QSizeF(2, 2));
    const auto turnedA = [](double angle) { return region(QPointF(2, 2), QSizeF(2, 2), angle); };
    struct Case { const char* name; Handle handle; QPointF from, to; bool shift; ScanRegion expected; } cases[] = {
        {"a corner past the opposite corner leaves minInch there", {Handle::corner, 2}, {150, 150}, {10, 10}, false, region({1.1, 1.1}, {minInch, minInch})},
        {"the left edge changes the width only", {Handle::edge, 3}, {50, 100}, {0, 140}, false, region({1.5, 2}, {3, 2})},
        {"a move stops flush with the bed edge", {Handle::move}, {100, 100}, {-300, 100}, false, region({1, 2}, {2, 2})},
        {"near a right angle rotation lands on it", {Handle::rotate}, {100, 20}, {300, 100.8}, false, turnedA(pi / 2)},
        {"snapping works from both sides of the left quarter", {Handle::rotate}, {100, 20}, {-100, 100.8}, false, turnedA(-pi / 2)},
        {"outside the tolerance the angle follows the pointer", {Handle::rotate}, {100, 20}, {300, 102}, false, turnedA(pi / 2 + std::atan2(2, 200))},
        {"fine rotation turns an eighth of the pointer's quarter turn", {Handle::rotate}, {100, 20}, {300, 100}, true, turnedA(pi / 16)},
    };
    for (const Case& c : cases) {
        const auto r = draggedRegion(grab(a, c.handle, c.from), map, c.to, c.shift);
        ASSERT_TRUE(r) << c.name;
        EXPECT_TRUE(near(*r, c.expected, 1e-12)) << c.name;
    }
    // A corner of a turned region keeps the opposite corner still.
    const ScanRegion turned = region(QPointF(4, 5), QSizeF(3, 2), 0.4);
    const QPointF corner2 = map.cornersInView(turned)[2];
    const auto r = draggedRegion(grab(turned, {Handle::corner, 2}, corner2), map, corner2 + QPointF(20, 35), false);
    ASSERT_TRUE(r && finite(*r));
    EXPECT_TRUE(near(r->corners()[0], turned.corners()[0]));
    EXPECT_GT(r->size.width(), turned.size.width());
}

TEST(BedDragging, RegionsStayOnTheBedOrAreCentredWhenLarger)
{
    struct Case { const char* name; ScanRegion in; bool resize; QPointF center; QSizeF size; } cases[] = {
        {"past the right edge", region(QPointF(7.5, 5), QSizeF(2, 2)), false, QPointF(7, 5), QSizeF(2, 2)},
        {"past the top edge", region(QPointF(3, -1), QSizeF(2, 2)), false, QPointF(3, 1), QSizeF(2, 2)},
        {"wider than the bed: centre clamped", region(QPointF(9, 5), QSizeF(10, 2)), false, QPointF(8, 5), QSizeF(10, 2)},
        {"a resize wider than the bed shrinks to it", region(QPointF(6, 5), QSizeF(10, 2)), true, QPointF(4, 5),
         QSizeF(8, 1.6)},
        {"a resize keeps minInch", region(QPointF(6, 5), QSizeF(80, 0.21)), true, QPointF(4, 5), QSizeF(8, minInch)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScanRegion r = c.resize ? resizedInsideBed(c.in, bed) : translatedInsideBed(c.in, bed);
        EXPECT_TRUE(near(r, makeRegion(c.center, c.size, {}, {}, c.in.angle)));
    }
}

TEST(BedDrawingGeometry, HatchLinesLieInsideSevenPointsApart)
{
    const std::array<QPointF, 4> square{QPointF(0, 0), QPointF(70, 0), QPointF(70, 70), QPointF(0, 70)};
    const auto lines = hatchLines(square, 7);
    ASSERT_EQ(lines.size(), 14u);  // x + y = c for every multiple c of 7√2 in (0, 140)
    for (const QLineF& l : lines) {
        EXPECT_NEAR(l.p1().x() + l.p1().y(), l.p2().x() + l.p2().y(), 1e-9) << "rises to the right at 45°";
        for (QPointF p : {l.p1(), l.p2()}) EXPECT_TRUE(QRectF(-1e-9, -1e-9, 70 + 2e-9, 70 + 2e-9).contains(p)) << p.x() << "," << p.y();
    }
    const double gap = (lines[1].p1().x() + lines[1].p1().y() - lines[0].p1().x() - lines[0].p1().y()) / std::numbers::sqrt2;
    EXPECT_NEAR(gap, 7, 1e-9);
}
