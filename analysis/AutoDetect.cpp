// The photo-detection pipeline: background flood, blobs, rectangles, and the decisions
// around one large region or none.

#include "analysis/AutoDetect.h"
#include "analysis/AutoDetectSteps.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace AutoDetect {

using namespace detail;

namespace {

// One print covering more than this share of the bed may be several prints seen as one.
constexpr double largeShare = 0.55;
// What re-detection inside a large region must cover to replace it.
constexpr double insideCoverShare = 0.5;

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

void sortByAreaDescending(std::vector<ScanRegion>& regions)
{
    std::stable_sort(regions.begin(), regions.end(),
                     [](const ScanRegion& a, const ScanRegion& b) { return areaOf(a) > areaOf(b); });
}

// The foreground mask: everything the background flood did not reach, cleaned up.
Mask foregroundMask(const WorkingBitmap& bitmap, double pxPerInX, double pxPerInY, const DebugHook& hook,
                    BackgroundEstimate& lid)
{
    const int w = bitmap.width;
    const int h = bitmap.height;
    const double minPx = std::min(pxPerInX, pxPerInY);

    Flood flood;
    {
        const std::vector<float> gradient = gradientPlane(bitmap);
        const int bandX = std::max(4, roundToInt(pxPerInX * 0.55));
        const int bandY = std::max(4, roundToInt(pxPerInY * 0.55));
        const BackgroundEstimate estimate = backgroundColor(bitmap, gradient, bandX, bandY);
        flood = floodBackground(bitmap, gradient, estimate, pxPerInX, pxPerInY, hook);
        lid = estimate;
        if (flood.coverage < 0.02) {
            // The border band may be mostly photo: estimate from the whole picture instead.
            const BackgroundEstimate whole = backgroundColor(bitmap, gradient, std::nullopt, std::nullopt);
            Flood second = floodBackground(bitmap, gradient, whole, pxPerInX, pxPerInY, hook);
            if (second.coverage > flood.coverage) {
                flood = std::move(second);
                lid = whole;
            }
        }
    }
    Mask mask = std::move(flood.background);

    const int r = std::max(1, roundToInt(minPx * 0.035));
    dilate(mask, w, h, r);
    erode(mask, w, h, r);
    for (auto& m : mask) m = m ? 0 : 1;

    const int marginX = std::min(std::max(1, roundToInt(pxPerInX * 0.06)), w / 2);
    const int marginY = std::min(std::max(1, roundToInt(pxPerInY * 0.06)), h / 2);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = mask.data() + size_t(y) * w;
        if (y < marginY || y >= h - marginY) {
            std::fill(row, row + w, 0);
            continue;
        }
        std::fill(row, row + marginX, 0);
        std::fill(row + w - marginX, row + w, 0);
    }

    const int r2 = std::max(1, roundToInt(minPx * 0.03));
    erode(mask, w, h, r2);
    dilate(mask, w, h, r2);
    const int r3 = std::max(1, roundToInt(minPx * 0.02));
    dilate(mask, w, h, r3);
    erode(mask, w, h, r3);
    if (hook) showMask(hook, mask, w, h, "mask");
    return mask;
}

// Rectangles of the blobs of the overview, biggest first, overlaps dropped; nothing when
// no blob is big enough.
std::optional<std::vector<ScanRegion>> ownRegions(WorkingBitmap& bitmap, double pxPerInX, double pxPerInY,
                                                  const DebugHook& hook, Pipeline pipeline)
{
    const int w = bitmap.width;
    const int h = bitmap.height;
    BackgroundEstimate lid;
    const Mask mask = foregroundMask(bitmap, pxPerInX, pxPerInY, hook, lid);
    bitmap.pixels = QImage();  // only the luminance is needed from here on
    const float lidLuminance = 0.299f * float(lid.color.r) + 0.587f * float(lid.color.g) + 0.114f * float(lid.color.b);
    const double pxPerIn = std::sqrt(pxPerInX * pxPerInY);

    const int minArea = std::max(60, roundToInt(pxPerInX * pxPerInY * 0.06));
    const Components components = labelComponents(mask, w, h, minArea);
    if (components.boxes.empty()) return std::nullopt;

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
    std::vector<SnappedRect> snapped;
    for (const PixelBox& blob : components.boxes) {
        std::vector<PixelBox> boxes{blob};
        std::optional<OrientedRect> whole = fitRectangle(blob, mask, components.labels, w, h);
        if (!whole) boxes = splitBox(blob, bitmap, pxPerInX, pxPerInY, 0);
        for (const PixelBox& box : boxes) {
            const std::optional<OrientedRect> rect = whole ? whole : fitRectangle(box, mask, components.labels, w, h);
            if (!rect) continue;
            for (const OrientedRect& part : splitAtSeams(*rect, box, components.labels, bitmap, pxPerIn))
                snapped.push_back(snapSides(part, bitmap, pxPerIn, lidLuminance));
        }
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
    {
        std::optional<WorkingBitmap> bitmap = makeWorkingBitmap(image);
        if (!bitmap) return {};
        // Too small to hold a print's outline and the border cleared around it.
        if (bitmap->width < 3 || bitmap->height < 3) return {};
        own = ownRegions(*bitmap, bitmap->width / bedSize.width(), bitmap->height / bedSize.height(), hook, pipeline);
    }
    if (!own) return detectVisionRectangles(image, bedSize);
    std::vector<ScanRegion>& regions = *own;

    if (regions.empty()) return detectVisionRectangles(image, bedSize);

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
        std::vector<ScanRegion> vision = detectVisionRectangles(image, bedSize);
        if (vision.size() > 1) return vision;
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
    if (!(pw > 40 && ph > 40)) return {};
    if (px < 0 || py < 0 || px + pw > image.width() || py + ph > image.height()) return {};
    const QImage crop = image.copy(px, py, pw, ph);
    if (crop.isNull()) return {};

    const QSizeF subBed(pw / sx, ph / sy);
    const double subArea = subBed.width() * subBed.height();
    std::vector<ScanRegion> found = detect(crop, subBed, 1, pipeline);
    std::vector<ScanRegion> out;
    for (ScanRegion& r : found) {
        if (areaOf(r) >= subArea * 0.9) continue;
        r.center += QPointF(px / sx, py / sy);
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace AutoDetect
