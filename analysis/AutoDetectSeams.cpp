// Splitting a blob where two prints touch, along a seam parallel to the blob's own fitted
// sides.
//
// Prints that touch lie at the same angle, so their seam runs straight across the fitted
// rectangle, parallel to one of its sides, and at least a short print side in from either
// end. Across the seam the picture changes all along its length, far more than on the lines
// beside it; a line inside one picture rarely does. Each half is then fitted again from its
// own pixels, so neither keeps a sliver of its neighbour.

#include "analysis/AutoDetectSteps.h"

#include <algorithm>
#include <cmath>

namespace AutoDetect::detail {

namespace {

// A print's shortest side is 2.5 inches; a seam leaves at least this much on either side.
constexpr double minPartInches = 2.2;
// The step across the seam against the lines a few pixels to either side.
constexpr double minSeamContrast = 2.5;
constexpr double minSeamStep = 6.0;
constexpr int maxSeamDepth = 3;
constexpr double sliverInches = 0.06;
// A notch in the outline where the seam meets it, and what a seam without one must show.
constexpr double notchInches = 0.1;
constexpr double clearSeamContrast = 7.5;
constexpr double clearSeamStep = 20.0;
constexpr double clearSeamStepping = 0.75;
// Lines across the rectangle are sampled over this share of their length, one sample per
// pixel within the bounds (a measured seam takes at least the larger floor).
constexpr double seamLineShare = 0.9;
constexpr int minSeamSamples = 8;
constexpr int minMeasuredSamples = 16;
constexpr int maxSeamSamples = 400;
// A line is compared with the lines this many pixels to either side of it (the scan runs
// the larger distance beyond the parts' limits, so that every line has them).
constexpr int nearBeside = 4;
constexpr int farBeside = 12;
// A stretch of a seam steps when it shows this share of the whole seam's step.
constexpr double stretchStepShare = 0.35;
// Each part keeps this share of a print's shortest side.
constexpr double minPartShare = 0.9;
// Or a seam that steps evenly along its whole length.
constexpr double evenSeamContrast = 5.0;
constexpr double evenSeamStep = 40.0;
constexpr double evenSeamStepping = 0.95;
constexpr double clearPartInches = 2.4;
constexpr double maxPartAspect = 1.6;

}  // namespace

std::optional<AxisSeam> findAxisSeam(const OrientedRect& rect, const WorkingBitmap& bitmap, double pxPerIn)
{
    if (!std::isfinite(rect.cx) || !std::isfinite(rect.cy) || !std::isfinite(rect.angle)) return std::nullopt;
    const double c = std::cos(rect.angle);
    const double s = std::sin(rect.angle);
    const double minPart = minPartInches * pxPerIn;
    std::optional<AxisSeam> best;
    double bestContrast = 0;
    for (int axis = 0; axis < 2; ++axis) {
        // Lines across the rectangle at offset o along `n`, running along `t`.
        const double extent = axis == 0 ? rect.width : rect.height;
        const double span = axis == 0 ? rect.height : rect.width;
        if (!(extent >= 2 * minPart) || !(extent < 1e6) || !(span < 1e6)) continue;
        const double nx = axis == 0 ? c : -s, ny = axis == 0 ? s : c;
        const double tx = -ny, ty = nx;
        const int along = std::clamp(roundToInt(span * seamLineShare), minSeamSamples, maxSeamSamples);
        const int lo = int(std::floor(-extent / 2 + minPart)) - farBeside;
        const int hi = int(std::ceil(extent / 2 - minPart)) + farBeside;
        std::vector<double> score;
        score.reserve(size_t(hi - lo + 1));
        for (int o = lo; o <= hi; ++o) {
            double sum = 0;
            for (int k = 0; k < along; ++k) {
                const double t = (double(k) / (along - 1) - 0.5) * span * seamLineShare;
                const double x = rect.cx + nx * o + tx * t;
                const double y = rect.cy + ny * o + ty * t;
                sum += std::abs(luminanceAt(bitmap, x + nx, y + ny) - luminanceAt(bitmap, x - nx, y - ny));
            }
            score.push_back(sum / along);
        }
        for (int o = lo + farBeside; o <= hi - farBeside; ++o) {
            const double here = score[size_t(o - lo)];
            if (here < minSeamStep) continue;
            std::vector<double> beside;
            for (int d = nearBeside; d <= farBeside; ++d) {
                beside.push_back(score[size_t(o - d - lo)]);
                beside.push_back(score[size_t(o + d - lo)]);
            }
            const double contrast = here / std::max(1.0, median(beside));
            if (contrast >= minSeamContrast && contrast > bestContrast) {
                bestContrast = contrast;
                best = AxisSeam{axis, double(o), here, contrast, 0};
            }
        }
    }
    if (best) measureSeam(*best, rect, bitmap);
    return best;
}

void measureSeam(AxisSeam& seam, const OrientedRect& rect, const WorkingBitmap& bitmap)
{
    // Along eight stretches of the seam: whether each steps at all.
    const double c = std::cos(rect.angle), s = std::sin(rect.angle);
    const double nx = seam.axis == 0 ? c : -s, ny = seam.axis == 0 ? s : c;
    const double tx = -ny, ty = nx;
    const double span = seam.axis == 0 ? rect.height : rect.width;
    constexpr int stretches = 8;
    const int along = std::clamp(roundToInt(span * seamLineShare), minMeasuredSamples, maxSeamSamples);
    double sharp[stretches] = {};
    int counts[stretches] = {};
    for (int k = 0; k < along; ++k) {
        const double t = (double(k) / (along - 1) - 0.5) * span * seamLineShare;
        const double x = rect.cx + nx * seam.offset + tx * t;
        const double y = rect.cy + ny * seam.offset + ty * t;
        const int i = std::min(stretches - 1, k * stretches / along);
        sharp[i] += std::abs(luminanceAt(bitmap, x + nx, y + ny) - luminanceAt(bitmap, x - nx, y - ny));
        ++counts[i];
    }
    int stepping = 0;
    for (int i = 0; i < stretches; ++i)
        if (counts[i] && sharp[i] / counts[i] >= stretchStepShare * seam.step) ++stepping;
    seam.stepping = double(stepping) / stretches;
}

std::optional<OrientedRect> fitPixels(const std::vector<QPointF>& pixels, const std::vector<QPointF>& boundary)
{
    if (pixels.size() < minFitPoints) return std::nullopt;
    const std::vector<QPointF> hull = convexHull(boundary.empty() ? pixels : boundary);
    if (hull.size() <= 2) return std::nullopt;
    std::optional<OrientedRect> rect = minimumAreaRect(hull);
    if (!rect) return std::nullopt;
    normaliseAngle(*rect);
    const double area = (rect->width + 1) * (rect->height + 1);
    if (double(pixels.size()) / area < minRectFill) return std::nullopt;
    refineTiltFromBoundary(*rect, boundary);
    return rect;
}

std::vector<OrientedRect> splitAtSeams(const OrientedRect& rect, const PixelBox& box,
                                       const std::vector<std::int32_t>& labels, const WorkingBitmap& bitmap,
                                       double pxPerIn)
{
    // A half-plane a piece keeps: nx·x + ny·y ≥ d.
    struct Cut {
        double nx = 0;
        double ny = 0;
        double d = 0;
    };
    struct Piece {
        OrientedRect rect;
        std::vector<Cut> cuts;
        int depth = 0;
    };
    std::vector<OrientedRect> done;
    std::vector<Piece> work{{rect, {}, 0}};
    const int w = bitmap.width;
    while (!work.empty()) {
        Piece piece = std::move(work.back());
        work.pop_back();
        const std::optional<AxisSeam> seam =
            piece.depth < maxSeamDepth ? findAxisSeam(piece.rect, bitmap, pxPerIn) : std::nullopt;
        if (!seam) {
            done.push_back(piece.rect);
            continue;
        }
        const double c = std::cos(piece.rect.angle), s = std::sin(piece.rect.angle);
        const double nx = seam->axis == 0 ? c : -s, ny = seam->axis == 0 ? s : c;
        const double d = nx * piece.rect.cx + ny * piece.rect.cy + seam->offset;

        // The blob's pixels in this piece on each side of the seam (0 before it, 1 after), and
        // the outline of each side.
        auto sideOf = [&](int x, int y) -> int {
            if (x < box.minX || x > box.maxX || y < box.minY || y > box.maxY) return -1;
            if (labels[size_t(y) * w + x] != box.label) return -1;
            for (const Cut& cut : piece.cuts)
                if (cut.nx * x + cut.ny * y < cut.d) return -1;
            return nx * x + ny * y >= d ? 1 : 0;
        };
        // Each side as a mask of the box, opened so that a sliver of the neighbour left by a
        // seam a pixel or two off does not widen it.
        const int bw = box.width(), bh = box.height();
        const int sliver = std::max(1, roundToInt(pxPerIn * sliverInches));
        std::vector<QPointF> pixels[2], outline[2];
        for (int side = 0; side < 2; ++side) {
            Mask part(size_t(bw) * bh, 0);
            for (int y = 0; y < bh; ++y)
                for (int x = 0; x < bw; ++x) part[size_t(y) * bw + x] = sideOf(box.minX + x, box.minY + y) == side;
            erode(part, bw, bh, sliver);
            dilate(part, bw, bh, sliver);
            auto on = [&](int x, int y) { return x >= 0 && y >= 0 && x < bw && y < bh && part[size_t(y) * bw + x]; };
            for (int y = 0; y < bh; ++y)
                for (int x = 0; x < bw; ++x) {
                    if (!on(x, y)) continue;
                    pixels[side].emplace_back(box.minX + x, box.minY + y);
                    if (!on(x - 1, y) || !on(x + 1, y) || !on(x, y - 1) || !on(x, y + 1))
                        outline[side].emplace_back(box.minX + x, box.minY + y);
                }
        }
        std::optional<OrientedRect> parts[2];
        bool ok = true;
        for (int side = 0; side < 2 && ok; ++side) {
            parts[side] = fitPixels(pixels[side], outline[side]);
            ok = parts[side] && std::min(parts[side]->width, parts[side]->height) >= minPartInches * pxPerIn * minPartShare;
        }
        if (ok) {
            // Prints offset along the seam leave a notch in the outline: strong evidence of two.
            // Without one the seam itself must be clear: a sharp step between two different
            // levels (not a thin line in one picture) along the seam's whole length.
            const double tx = -ny, ty = nx;
            auto tangentBounds = [&](const OrientedRect& r) {
                double lo = 1e18, hi = -1e18;
                for (const QPointF& p : corners(r)) {
                    lo = std::min(lo, tx * p.x() + ty * p.y());
                    hi = std::max(hi, tx * p.x() + ty * p.y());
                }
                return std::pair{lo, hi};
            };
            const auto [lo0, hi0] = tangentBounds(*parts[0]);
            const auto [lo1, hi1] = tangentBounds(*parts[1]);
            const bool notch = std::max(std::abs(lo0 - lo1), std::abs(hi0 - hi1)) >= notchInches * pxPerIn;
            const bool clearStep = (seam->contrast >= clearSeamContrast && seam->step >= clearSeamStep &&
                                    seam->stepping >= clearSeamStepping) ||
                                   (seam->contrast >= evenSeamContrast && seam->step >= evenSeamStep &&
                                    seam->stepping >= evenSeamStepping);
            // Without a notch, each half must also have a photo's proportions (square to 3:2,
            // a little over): a horizon a third of the way down leaves a strip that has not.
            auto photoShaped = [](const OrientedRect& r) {
                return std::max(r.width, r.height) <= maxPartAspect * std::min(r.width, r.height);
            };
            const bool clear = clearStep && photoShaped(*parts[0]) && photoShaped(*parts[1]) &&
                               std::min({parts[0]->width, parts[0]->height, parts[1]->width, parts[1]->height}) >=
                                   clearPartInches * pxPerIn;
            ok = notch || clear;
        }
        if (!ok) {
            done.push_back(piece.rect);
            continue;
        }
        for (int side = 0; side < 2; ++side) {
            Piece next{*parts[side], piece.cuts, piece.depth + 1};
            next.cuts.push_back(side ? Cut{nx, ny, d} : Cut{-nx, -ny, -d});
            work.push_back(std::move(next));
        }
    }
    return done;
}

}  // namespace AutoDetect::detail
