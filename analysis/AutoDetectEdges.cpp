// Putting each side of a fitted rectangle on the print's real outline.
//
// The flood stops where pixels stop being passable, which is a pixel or two outside a
// print's edge, and it runs straight through a white or cream border that looks like the lid.
// Both show in the luminance profile across a side, averaged along the side's middle: the
// print's edge is the steepest step near the fitted side, and a border's cut edge is a
// second, fainter step further out (paper, then the lid or the thin shadow the paper casts),
// with flat paper before it and flat lid after it.

#include "analysis/AutoDetectSteps.h"

#include <algorithm>
#include <cmath>

namespace AutoDetect::detail {

namespace {

constexpr double sampleStep = 0.5;  // pixels between profile samples
// Samples along a side for each profile value: one per this many pixels of its length,
// within the bounds, spread over its middle share.
constexpr double alongPerPixel = 0.25;
constexpr int minAlong = 8;
constexpr int maxAlong = 40;
constexpr double middleShare = 0.7;
// Fewer profile values (or noise samples) than this make no fit.
constexpr std::size_t minProfileSamples = 8;
// Where either half of a side must step too, around the edge found on the whole, in pixels.
constexpr double halfEdgeReach = 1.5;
// A border's cut is looked for this far beyond the print's edge, in inches.
constexpr double cutNearInches = 0.06;
constexpr double cutFarInches = 0.45;
// The paper's shadow beyond the cut (inches, at least this many pixels), and the lid looked at
// beyond it (inches; fewer pixels than the floor make no fit).
constexpr double shadowInches = 0.06;
constexpr double minShadowPx = 3.0;
constexpr double lidDepthInches = 0.08;
constexpr double minLidDepthPx = 3.0;
// The cut's step must stand this many noise levels above the steps around it (the noise is
// the median step scaled to a standard deviation), and at least one grey level.
constexpr float medianToDeviation = 1.4826f;
constexpr double cutOverNoise = 4.0;
// Paper ends this many pixels before the cut; the fall beyond it starts this many before it.
constexpr double paperBeforeCut = 2.0;
constexpr double fallBeforeCut = 1.0;
// The lid beyond a cut is within this many grey levels of the lid's own luminance.
constexpr double lidLuminanceReach = 30;
// Either half of a side falls at the cut too (within this many pixels), by this share of the
// whole side's fall.
constexpr double halfCutReach = 2.0;
constexpr double halfFallShare = 0.4;
// The profile across each side: from this many pixels inside it to this many inches (plus
// pixels) beyond.
constexpr double profileInsidePx = -6.0;
constexpr double profileBeyondInches = 0.6;
constexpr double profileBeyondPx = 2.0;
// Sides never move in so far that less than this share of the print is left.
constexpr double minKeptShare = 0.5;
// A border is checked for other prints at this many steps outwards and this many along.
constexpr int borderStepsOut = 4;
constexpr int borderStepsAlong = 10;

// The luminance at a point; nothing off the bitmap.
std::optional<float> lumAt(const WorkingBitmap& bitmap, double x, double y)
{
    if (!(x >= 0) || !(y >= 0) || x > bitmap.width - 1 || y > bitmap.height - 1) return std::nullopt;
    return luminanceAt(bitmap, x, y);
}

}  // namespace

float luminanceAt(const WorkingBitmap& bitmap, double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y)) return bitmap.lum(0, 0);
    const double cx = std::clamp(x, 0.0, double(bitmap.width - 1));
    const double cy = std::clamp(y, 0.0, double(bitmap.height - 1));
    const int x0 = int(cx), y0 = int(cy);
    const int x1 = std::min(x0 + 1, bitmap.width - 1), y1 = std::min(y0 + 1, bitmap.height - 1);
    const float fx = float(cx - x0), fy = float(cy - y0);
    const float top = bitmap.lum(x0, y0) * (1 - fx) + bitmap.lum(x1, y0) * fx;
    const float bottom = bitmap.lum(x0, y1) * (1 - fx) + bitmap.lum(x1, y1) * fx;
    return top * (1 - fy) + bottom * fy;
}

SideFrame sideFrame(const OrientedRect& rect, int side)
{
    const double c = std::cos(rect.angle);
    const double s = std::sin(rect.angle);
    switch (side) {
    case 0: return {c, s, -s, c, rect.width / 2, rect.height};      // right
    case 1: return {-c, -s, -s, c, rect.width / 2, rect.height};    // left
    case 2: return {-s, c, c, s, rect.height / 2, rect.width};      // bottom
    default: return {s, -c, c, s, rect.height / 2, rect.width};     // top
    }
}

SideProfile profileAcross(const WorkingBitmap& bitmap, const OrientedRect& rect, int side, double from, double to)
{
    const SideFrame f = sideFrame(rect, side);
    SideProfile profile;
    profile.from = from;
    const int count = std::max(0, int(std::floor((to - from) / sampleStep)) + 1);
    const int along = std::clamp(roundToInt(f.length * alongPerPixel), minAlong, maxAlong);
    std::vector<float> first, second;
    first.reserve(size_t(along));
    second.reserve(size_t(along));
    for (int i = 0; i < count; ++i) {
        const double o = from + i * sampleStep;
        first.clear();
        second.clear();
        for (int k = 0; k < along; ++k) {
            const double t = (double(k) / (along - 1) - 0.5) * f.length * middleShare;
            const double x = rect.cx + f.nx * (f.half + o) + f.tx * t;
            const double y = rect.cy + f.ny * (f.half + o) + f.ty * t;
            if (const std::optional<float> v = lumAt(bitmap, x, y)) (2 * k < along ? first : second).push_back(*v);
        }
        if (first.size() * 4 < size_t(along) || second.size() * 4 < size_t(along)) break;
        const float a = median(first), b = median(second);
        profile.whole.push_back((a + b) / 2);
        profile.firstHalf.push_back(a);
        profile.secondHalf.push_back(b);
    }
    return profile;
}

std::optional<double> steepestStep(const std::vector<float>& p, double from, double lo, double hi, int sign)
{
    // D(i) = P(i+1) − P(i−1): the change per pixel going outwards.
    std::optional<double> best;
    double bestValue = 0;
    size_t bestIndex = 0;
    for (size_t i = 1; i + 1 < p.size(); ++i) {
        const double o = from + double(i) * sampleStep;
        if (o < lo || o > hi) continue;
        const double d = double(p[i + 1] - p[i - 1]);
        const double v = sign == 0 ? std::abs(d) : sign * d;
        if (v > bestValue) {
            bestValue = v;
            bestIndex = i;
            best = o;
        }
    }
    if (!best) return std::nullopt;
    // A parabola through the neighbouring steps puts the edge between samples.
    if (bestIndex >= 2 && bestIndex + 2 < p.size()) {
        auto value = [&](size_t i) {
            const double d = double(p[i + 1] - p[i - 1]);
            return sign == 0 ? std::abs(d) : sign * d;
        };
        const double a = value(bestIndex - 1), b = value(bestIndex), c = value(bestIndex + 1);
        const double denominator = a - 2 * b + c;
        if (denominator < 0) *best += std::clamp(0.5 * (a - c) / denominator, -0.5, 0.5) * sampleStep;
    }
    return best;
}

double stepAt(const std::vector<float>& p, double from, double o)
{
    const double at = std::round((o - from) / sampleStep);
    if (!(at >= 1) || !(at + 1 < double(p.size()))) return 0;
    const auto i = size_t(at);
    return double(p[i + 1] - p[i - 1]);
}

SideFit fitSide(const SideProfile& profile, double pxPerIn, float lidLuminance)
{
    SideFit fit;
    const std::vector<float>& p = profile.whole;
    const double from = profile.from;
    if (p.size() < minProfileSamples) return fit;

    // The print's own edge: the steepest step within a few pixels of the fitted side.
    constexpr double snapReach = 5.0;
    constexpr double minEdgeStep = 2.5;
    double edge = 0;
    if (const std::optional<double> o = steepestStep(p, from, -snapReach, snapReach, 0)) {
        if (std::abs(stepAt(p, from, *o)) >= minEdgeStep) {
            edge = *o;
            // A straight edge steps at the same place along both halves of the side; the
            // ragged line where a flood leaked into a picture does not.
            const int sign = stepAt(p, from, *o) < 0 ? -1 : 1;
            fit.straight = true;
            for (const std::vector<float>* half : {&profile.firstHalf, &profile.secondHalf}) {
                const std::optional<double> h = steepestStep(*half, from, edge - halfEdgeReach, edge + halfEdgeReach, sign);
                fit.straight = fit.straight && h && sign * stepAt(*half, from, *h) >= minEdgeStep;
            }
        }
    }
    fit.offset = edge;
    fit.edge = edge;

    // A border's cut edge: the strongest fall further out, between a flat band of paper and
    // flat lid, seen in both halves of the side.
    const double near = edge + cutNearInches * pxPerIn;
    const double far = edge + cutFarInches * pxPerIn;
    const double last = from + double(p.size() - 1) * sampleStep;
    // The paper's shadow may darken the first few hundredths of an inch beyond the cut.
    const double shadow = std::max(minShadowPx, shadowInches * pxPerIn);
    const double lidDepth = std::min(lidDepthInches * pxPerIn, last - far - shadow);
    if (lidDepth < minLidDepthPx) return fit;
    // Paper may be brighter than the lid (a fall, often into the paper's shadow) or darker (a
    // rise, cream paper on a white lid).
    const std::optional<double> cut = steepestStep(p, from, near, far, 0);
    if (!cut) return fit;
    const int sign = stepAt(p, from, *cut) < 0 ? -1 : 1;
    const double fall = std::abs(stepAt(p, from, *cut));

    std::vector<float> steps;
    for (size_t i = 1; i + 1 < p.size(); ++i) {
        const double o = from + double(i) * sampleStep;
        if (o >= near && o <= far) steps.push_back(std::abs(p[i + 1] - p[i - 1]));
    }
    if (steps.size() < minProfileSamples) return fit;
    const float noise = median(steps) * medianToDeviation;
    if (!(fall >= std::max(1.0, cutOverNoise * noise))) return fit;

    struct Span {
        double range = 1e9;
        double mean = 0;
        double low = 0;
    };
    auto span = [&](double lo, double hi) {
        Span out;
        float mn = 1e9f, mx = -1e9f, sum = 0;
        int n = 0;
        for (size_t i = 0; i < p.size(); ++i) {
            const double o = from + double(i) * sampleStep;
            if (o < lo || o > hi) continue;
            mn = std::min(mn, p[i]);
            mx = std::max(mx, p[i]);
            sum += p[i];
            ++n;
        }
        if (n) out = {double(mx - mn), sum / double(n), double(mn)};
        return out;
    };
    constexpr double flatRange = 10.0;
    constexpr double minDrop = 3.0;
    const Span paper = span(near, *cut - paperBeforeCut);
    const Span outside = span(*cut - fallBeforeCut, *cut + shadow);
    const Span lid = span(*cut + shadow, *cut + shadow + lidDepth);
    if (paper.range > flatRange || lid.range > flatRange) return fit;
    if (sign < 0 ? paper.mean - outside.low < minDrop : lid.mean - paper.mean < minDrop) return fit;
    if (std::abs(lid.mean - lidLuminance) > lidLuminanceReach) return fit;

    // The same fall, at the same place, along both halves: a straight cut, not a speck.
    for (const std::vector<float>* half : {&profile.firstHalf, &profile.secondHalf}) {
        const std::optional<double> o = steepestStep(*half, from, *cut - halfCutReach, *cut + halfCutReach, sign);
        if (!o || sign * stepAt(*half, from, *o) < halfFallShare * fall) return fit;
    }
    fit.offset = *cut;
    fit.border = true;
    return fit;
}

void moveSide(OrientedRect& rect, int side, double offset)
{
    const SideFrame f = sideFrame(rect, side);
    if (side < 2) rect.width += offset;
    else rect.height += offset;
    rect.cx += f.nx * offset / 2;
    rect.cy += f.ny * offset / 2;
}

SnappedRect snapSides(const OrientedRect& rect, const WorkingBitmap& bitmap, double pxPerIn, float lidLuminance)
{
    const double from = profileInsidePx;
    const double to = profileBeyondInches * pxPerIn + profileBeyondPx;
    SnappedRect out{rect, {0, 0, 0, 0}};
    if (!std::isfinite(rect.cx) || !std::isfinite(rect.cy) || !std::isfinite(rect.angle) ||
        !(rect.width >= 0 && rect.width < 1e6) || !(rect.height >= 0 && rect.height < 1e6))
        return out;
    double edges[4] = {0, 0, 0, 0};
    for (int side = 0; side < 4; ++side) {
        const SideFit fit = fitSide(profileAcross(bitmap, rect, side, from, to), pxPerIn, lidLuminance);
        if (fit.straight || fit.border) ++out.cleanSides;
        // The print's own edge is where the picture ends; a border lies beyond it.
        edges[side] = fit.edge;
        if (fit.border) out.border[side] = fit.offset - fit.edge;
    }
    // A side never moves in so far that the print would vanish.
    if (rect.width + edges[0] + edges[1] < rect.width * minKeptShare) edges[0] = edges[1] = 0;
    if (rect.height + edges[2] + edges[3] < rect.height * minKeptShare) edges[2] = edges[3] = 0;
    for (int side = 0; side < 4; ++side) moveSide(out.rect, side, edges[side]);
    return out;
}

bool contains(const OrientedRect& rect, double x, double y, double inset)
{
    const double c = std::cos(rect.angle), s = std::sin(rect.angle);
    const double dx = x - rect.cx, dy = y - rect.cy;
    const double u = dx * c + dy * s, v = dy * c - dx * s;
    return std::abs(u) <= rect.width / 2 - inset && std::abs(v) <= rect.height / 2 - inset;
}

std::vector<OrientedRect> withBorders(const std::vector<SnappedRect>& snapped)
{
    std::vector<OrientedRect> out;
    out.reserve(snapped.size());
    for (size_t i = 0; i < snapped.size(); ++i) {
        OrientedRect rect = snapped[i].rect;
        for (int side = 0; side < 4; ++side) {
            const double border = snapped[i].border[side];
            if (!(border > 0)) continue;
            // A border that would reach over another print belongs to that print's picture.
            const SideFrame f = sideFrame(snapped[i].rect, side);
            bool clear = true;
            for (int a = 1; a <= borderStepsOut && clear; ++a)
                for (int b = 0; b <= borderStepsAlong && clear; ++b) {
                    const double o = f.half + border * a / borderStepsOut;
                    const double t = (b / double(borderStepsAlong) - 0.5) * f.length;
                    const double x = rect.cx + f.nx * o + f.tx * t;
                    const double y = rect.cy + f.ny * o + f.ty * t;
                    for (size_t j = 0; j < snapped.size() && clear; ++j)
                        if (j != i && contains(snapped[j].rect, x, y, 1.0)) clear = false;
                }
            if (clear) moveSide(rect, side, border);
        }
        out.push_back(rect);
    }
    return out;
}

}  // namespace AutoDetect::detail
