// The photo-detection pipeline: background flood, blobs, rectangles, and the decisions
// around one large region or none.

#include "analysis/AutoDetect.h"
#include "analysis/AutoDetectSteps.h"

#include <QPolygonF>

#include <algorithm>
#include <functional>
#include <cmath>
#include <mutex>

namespace AutoDetect {

using namespace detail;

namespace {

// One print covering more than this share of the bed may be several prints seen as one.
constexpr double largeShare = 0.55;
// What re-detection inside a large region must cover to replace it.
constexpr double insideCoverShare = 0.5;
// Less of the bitmap than this reached by the flood means the border band was mostly photo.
constexpr double minFloodCoverage = 0.02;
// The smallest blob that may be a print: this many square inches, and at least this many
// pixels; the paper flood (at half size) takes blobs a quarter that size, down to its own floor.
constexpr double minBlobSquareInches = 0.06;
constexpr int minBlobPx = 60;
constexpr int minPaperBlobPx = 15;
// A paper-flood rectangle this much inside a print already found, both ways, is that print.
constexpr double samePrintShare = 0.95;
// The smallest crop, in pixels each way, worth re-detecting inside a large region.
constexpr int minInsideCropPx = 40;
// A region re-detected inside another that covers this share of it is that region again.
constexpr double wholeCropShare = 0.9;

std::mutex& hookMutex()
{
    static std::mutex m;
    return m;
}

DebugHook& hookSlot()
{
    static DebugHook hook;
    return hook;
}

double areaOf(const ScanRegion& r) { return r.size.width() * r.size.height(); }

// The foreground mask: everything the background flood did not reach, cleaned up.
Mask foregroundMask(const WorkingBitmap& bitmap, double pxPerInX, double pxPerInY, const DebugHook& hook,
                    BackgroundEstimate& lid)
{
    const int w = bitmap.width;
    const int h = bitmap.height;

    Flood flood;
    {
        const std::vector<float> gradient = gradientPlane(bitmap);
        const int bandX = std::max(minBorderBandPx, roundToInt(pxPerInX * borderBandInches));
        const int bandY = std::max(minBorderBandPx, roundToInt(pxPerInY * borderBandInches));
        const BackgroundEstimate estimate = backgroundColor(bitmap, gradient, bandX, bandY);
        flood = floodBackground(bitmap, gradient, estimate, pxPerInX, pxPerInY, hook);
        lid = estimate;
        if (flood.coverage < minFloodCoverage) {
            // The border band may be mostly photo: estimate from the whole picture instead.
            const BackgroundEstimate whole = backgroundColor(bitmap, gradient, std::nullopt, std::nullopt);
            Flood second = floodBackground(bitmap, gradient, whole, pxPerInX, pxPerInY, hook);
            if (second.coverage > flood.coverage) {
                flood = std::move(second);
                lid = whole;
            }
        }
    }
    Mask mask = foregroundOf(std::move(flood.background), w, h, pxPerInX, pxPerInY);
    if (hook) showMask(hook, mask, w, h, "mask");
    return mask;
}

// Rectangles of the blobs of the overview, biggest first, overlaps dropped; nothing when
// no blob is big enough.
std::optional<std::vector<ScanRegion>> ownRegions(WorkingBitmap& bitmap, double pxPerInX, double pxPerInY,
                                                  const DebugHook& hook, Pipeline pipeline, const QImage& image,
                                                  std::optional<std::vector<ScanRegion>>& vision)
{
    const int w = bitmap.width;
    const int h = bitmap.height;
    BackgroundEstimate lid;
    const Mask mask = foregroundMask(bitmap, pxPerInX, pxPerInY, hook, lid);
    // The paper flood runs at half size: it only has to find the prints' outlines roughly,
    // as every side is snapped on the full bitmap afterwards.
    std::optional<WorkingBitmap> half;
    std::optional<Mask> paper;
    if (pipeline == Pipeline::full) {
        half = halfBitmap(bitmap);
        if (half) paper = paperMask(*half, lid, pxPerInX / 2, pxPerInY / 2);
        if (paper && hook) showMask(hook, *paper, half->width, half->height, "paper");
    }
    bitmap.pixels = QImage();  // only the luminance is needed from here on
    const float lidLuminance = luminanceOf(float(lid.color.r), float(lid.color.g), float(lid.color.b));
    const double pxPerIn = std::sqrt(pxPerInX * pxPerInY);

    const int minArea = std::max(minBlobPx, roundToInt(pxPerInX * pxPerInY * minBlobSquareInches));
    const Components components = labelComponents(mask, w, h, minArea);
    if (components.boxes.empty() && pipeline == Pipeline::core) return std::nullopt;


    std::vector<ScanRegion> regions;
    if (pipeline == Pipeline::core) {
        for (const PixelBox& blob : components.boxes)
            for (const PixelBox& box : splitBox(blob, bitmap, pxPerInX, pxPerInY, 0))
                if (const std::optional<OrientedRect> rect = fitRectangle(box, mask, components.labels, w, h))
                    if (std::optional<ScanRegion> region = toRegion(*rect, pxPerInX, pxPerInY))
                        regions.push_back(std::move(*region));
        sortByAreaDescending(regions);
        return suppressOverlapping(regions);
    }

    // The full detector fits each blob whole and splits it along seams parallel to its own
    // sides; only a blob too ragged to fit whole goes through the straight-row split first.
    auto rectangles = [](const WorkingBitmap& image, const Mask& foreground, const Components& blobs, double sx,
                         double sy, bool rowSplits, const std::function<bool(const PixelBox&)>& known) {
        std::vector<OrientedRect> out;
        const int iw = image.width, ih = image.height;
        for (const PixelBox& blob : blobs.boxes) {
            if (known && known(blob)) continue;
            std::vector<PixelBox> boxes{blob};
            const std::optional<OrientedRect> whole = fitRectangle(blob, foreground, blobs.labels, iw, ih);
            if (!whole) {
                if (!rowSplits) continue;
                boxes = splitBox(blob, image, sx, sy, 0);
            }
            for (const PixelBox& box : boxes) {
                const std::optional<OrientedRect> rect = whole ? whole : fitRectangle(box, foreground, blobs.labels, iw, ih);
                if (!rect) continue;
                const std::vector<OrientedRect> parts = splitAtSeams(*rect, box, blobs.labels, image, std::sqrt(sx * sy));
                out.insert(out.end(), parts.begin(), parts.end());
            }
        }
        return out;
    };
    std::vector<SnappedRect> snapped;
    std::vector<OrientedRect> found = rectangles(bitmap, mask, components, pxPerInX, pxPerInY, true, {});
    for (const OrientedRect& rect : found) snapped.push_back(snapSides(rect, bitmap, pxPerIn, lidLuminance));
    // Where the first flood gives no print at all, the rectangle detector's finds (snapped like
    // the flood's) come first, and the paper flood adds to them.
    const bool none = std::none_of(snapped.begin(), snapped.end(), [&](const SnappedRect& r) {
        return toRegion(r.rect, pxPerInX, pxPerInY).has_value();
    });
    if (none && paper) {
        vision = detectVisionRectangles(image, QSizeF(w / pxPerInX, h / pxPerInY));
        for (const ScanRegion& v : *vision) {
            const OrientedRect rect{v.center.x() * pxPerInX - 0.5, v.center.y() * pxPerInY - 0.5,
                                    v.size.width() * pxPerInX, v.size.height() * pxPerInY, v.angle};
            snapped.push_back(snapSides(rect, bitmap, pxPerIn, lidLuminance));
        }
    }
    if (paper) {
        const int paperMinArea = std::max(minPaperBlobPx, minArea / 4);
        // A paper blob over the same pixels as a print already found needs no fitting.
        std::vector<QRectF> bounds;
        for (const OrientedRect& f : found) {
            const std::array<QPointF, 4> c = corners(f);
            bounds.push_back(QPolygonF(QList<QPointF>(c.begin(), c.end())).boundingRect());
        }
        auto alreadyFound = [&](const PixelBox& blob) {
            constexpr double slack = 4;  // full-size pixels
            const QRectF b(QPointF(2.0 * blob.minX, 2.0 * blob.minY), QPointF(2.0 * blob.maxX + 1, 2.0 * blob.maxY + 1));
            return std::any_of(bounds.begin(), bounds.end(), [&](const QRectF& f) {
                return std::abs(f.left() - b.left()) <= slack && std::abs(f.right() - b.right()) <= slack &&
                       std::abs(f.top() - b.top()) <= slack && std::abs(f.bottom() - b.bottom()) <= slack;
            });
        };
        std::vector<SnappedRect> sheets;
        for (OrientedRect rect : rectangles(*half, *paper, labelComponents(*paper, half->width, half->height, paperMinArea),
                                            pxPerInX / 2, pxPerInY / 2, false, alreadyFound)) {
            // Half-size pixel j covers full pixels 2j and 2j + 1.
            rect = {rect.cx * 2 + 0.5, rect.cy * 2 + 0.5, rect.width * 2, rect.height * 2, rect.angle};
            // A print both floods found alike needs no second look.
            const bool known = std::any_of(found.begin(), found.end(), [&](const OrientedRect& f) {
                return shareInside(f, rect) >= samePrintShare && shareInside(rect, f) >= samePrintShare;
            });
            if (!known) sheets.push_back(snapSides(rect, bitmap, pxPerIn, lidLuminance));
        }
        snapped = mergePaper(std::move(snapped), sheets);
    }
    for (const OrientedRect& rect : withBorders(snapped))
        if (std::optional<ScanRegion> region = toRegion(rect, pxPerInX, pxPerInY)) regions.push_back(std::move(*region));
    sortByAreaDescending(regions);
    return suppressOverlapping(regions);
}

}  // namespace

void setDebugHook(DebugHook hook)
{
    const std::lock_guard lock(hookMutex());
    hookSlot() = std::move(hook);
}

DebugHook debugHook()
{
    const std::lock_guard lock(hookMutex());
    return hookSlot();
}

std::vector<ScanRegion> detect(const QImage& image, QSizeF bedSize) { return detect(image, bedSize, 0); }

std::vector<ScanRegion> detectCore(const QImage& image, QSizeF bedSize) { return detect(image, bedSize, 0, Pipeline::core); }

std::vector<ScanRegion> detect(const QImage& image, QSizeF bedSize, int depth, Pipeline pipeline)
{
    if (!(bedSize.width() > 0) || !(bedSize.height() > 0)) return {};
    if (image.isNull() || image.width() < 1 || image.height() < 1) return {};
    const DebugHook hook = debugHook();

    std::optional<std::vector<ScanRegion>> own;
    std::optional<std::vector<ScanRegion>> vision;  // the rectangle detector's answer, once asked
    {
        std::optional<WorkingBitmap> bitmap = makeWorkingBitmap(image);
        if (!bitmap) return {};
        // Too small to hold a print's outline and the border cleared around it.
        if (bitmap->width < 3 || bitmap->height < 3) return {};
        own = ownRegions(*bitmap, bitmap->width / bedSize.width(), bitmap->height / bedSize.height(), hook, pipeline, image, vision);
    }
    if (!own) return detectVisionRectangles(image, bedSize);

    std::vector<ScanRegion>& regions = *own;

    if (regions.empty()) return vision ? *vision : detectVisionRectangles(image, bedSize);

    const double bedArea = bedSize.width() * bedSize.height();
    if (regions.size() == 1 && areaOf(regions[0]) > bedArea * largeShare) {
        if (depth == 0) {
            // Several prints seen as one, or one big print? Only prints that together make up
            // a good part of the region replace it; a detail of one big photo does not.
            std::vector<ScanRegion> inside = detectInsideRegion(regions[0], image, bedSize, pipeline);
            double covered = 0;
            for (const ScanRegion& r : inside) covered += areaOf(r);
            if (!inside.empty() && covered >= areaOf(regions[0]) * insideCoverShare) return inside;
        }
        if (!vision) vision = detectVisionRectangles(image, bedSize);
        if (vision->size() > 1) return *vision;
        return regions;
    }

    sortReadingOrder(regions);
    return regions;
}

std::vector<ScanRegion> detectInsideRegion(const ScanRegion& region, const QImage& image, QSizeF bedSize,
                                           Pipeline pipeline)
{
    const double bw = bedSize.width();
    const double bh = bedSize.height();
    if (!(bw > 0) || !(bh > 0) || image.isNull()) return {};
    const QRectF bounds = region.aabbInches();
    const double left = std::max(bounds.left(), 0.0);
    const double top = std::max(bounds.top(), 0.0);
    const double right = std::min(bounds.right(), bw);
    const double bottom = std::min(bounds.bottom(), bh);
    if (!(right > left) || !(bottom > top)) return {};

    const double sx = image.width() / bw;
    const double sy = image.height() / bh;
    const int px = int(std::floor(left * sx));
    const int py = int(std::floor(top * sy));
    const int pw = int(std::floor((right - left) * sx));
    const int ph = int(std::floor((bottom - top) * sy));
    if (!(pw > minInsideCropPx && ph > minInsideCropPx)) return {};
    if (px < 0 || py < 0 || px + pw > image.width() || py + ph > image.height()) return {};
    const QImage crop = image.copy(px, py, pw, ph);
    if (crop.isNull()) return {};

    const QSizeF subBed(pw / sx, ph / sy);
    const double subArea = subBed.width() * subBed.height();
    std::vector<ScanRegion> found = detect(crop, subBed, 1, pipeline);
    std::vector<ScanRegion> out;
    for (ScanRegion& r : found) {
        if (areaOf(r) >= subArea * wholeCropShare) continue;
        r.center += QPointF(px / sx, py / sy);
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace AutoDetect
