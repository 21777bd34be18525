// Blobs of the foreground mask, and splitting blobs where two prints touch.

#include "analysis/AutoDetectRunFill.h"
#include "analysis/AutoDetectSteps.h"

#include <algorithm>
#include <cmath>

namespace AutoDetect::detail {

Components labelComponents(const Mask& mask, int width, int height, int minArea)
{
    const size_t n = size_t(width) * height;
    Components out;
    // −1 marks a foreground pixel not reached yet, so one look decides whether to take it.
    out.labels.resize(n);
    std::int32_t* labels = out.labels.data();
    for (size_t i = 0; i < n; ++i) labels[i] = mask[i] ? -1 : 0;

    // Grown with 8-connectivity. Labels, bounds and areas do not depend on the order runs are
    // taken.
    std::vector<RunSeed> stack;
    stack.reserve(1024);
    std::int32_t next = 0;
    for (int sy = 0; sy < height; ++sy) {
        std::int32_t* seedRow = labels + size_t(sy) * width;
        for (int sx = 0; sx < width; ++sx) {
            if (seedRow[sx] >= 0) continue;
            const std::int32_t label = ++next;
            PixelBox box{width, height, -1, -1, 0, label};
            fillRuns(labels, width, height, sx, sy, true, [](std::int32_t c) { return c < 0; }, label, stack,
                     [&](int left, int right, int y) {
                         box.minX = std::min(box.minX, left);
                         box.maxX = std::max(box.maxX, right);
                         box.minY = std::min(box.minY, y);
                         box.maxY = std::max(box.maxY, y);
                         box.area += right - left + 1;
                     });
            if (box.area >= minArea) out.boxes.push_back(box);
        }
    }
    return out;
}

namespace {

struct Seam {
    bool found = false;
    int position = 0;
    double mean = 0;
    double strong = 0;
};

constexpr double seamMean = 42.0;
constexpr double seamStrongShare = 0.68;
constexpr float strongStep = 20.0f;
// About this many samples are taken along a candidate seam.
constexpr int seamSamples = 260;
// Boxes are split this many times over at the most.
constexpr int maxSplitDepth = 6;
// A seam stays this far from the box's edges: inches, and at least this many pixels.
constexpr double seamMarginInches = 1.2;
constexpr int minSeamMarginPx = 12;
// Only a box longer than this (inches) that way is looked at for a seam across it.
constexpr double minSplitInches = 5.0;

// The candidate line (row when `rows`, else column) across which luminance jumps most on
// average. Samples run along the line, about 260 of them at most.
Seam findSeam(const PixelBox& box, const WorkingBitmap& bitmap, bool rows, int margin)
{
    const int w = bitmap.width;
    const int h = bitmap.height;
    const int along = rows ? box.width() : box.height();
    const int stride = along >= seamSamples ? along / seamSamples : 1;
    const int alongFrom = rows ? box.minX : box.minY;
    const int alongTo = rows ? box.maxX : box.maxY;
    const int from = (rows ? box.minY : box.minX) + margin;
    const int to = (rows ? box.maxY : box.maxX) - margin - 1;
    Seam best;
    for (int s = from; s <= to; ++s) {
        double sum = 0;
        int strong = 0;
        int count = 0;
        for (int t = alongFrom; t <= alongTo; t += stride) {
            float step;
            if (rows) {
                const int x = std::clamp(t, 0, w - 1);
                step = std::abs(bitmap.lum(x, std::clamp(s + 1, 0, h - 1)) - bitmap.lum(x, std::clamp(s - 1, 0, h - 1)));
            } else {
                const int y = std::clamp(t, 0, h - 1);
                step = std::abs(bitmap.lum(std::clamp(s + 1, 0, w - 1), y) - bitmap.lum(std::clamp(s - 1, 0, w - 1), y));
            }
            sum += step;
            strong += step > strongStep;
            ++count;
        }
        if (count == 0) continue;
        const double mean = sum / count;
        if (!best.found || mean > best.mean) best = {true, s, mean, double(strong) / count};
    }
    return best;
}

bool splits(const Seam& seam) { return seam.found && seam.mean > seamMean && seam.strong > seamStrongShare; }

}  // namespace

std::vector<PixelBox> splitBox(const PixelBox& box, const WorkingBitmap& bitmap, double pxPerInX,
                               double pxPerInY, int depth)
{
    if (depth >= maxSplitDepth) return {box};
    const int marginX = std::max(minSeamMarginPx, roundToInt(pxPerInX * seamMarginInches));
    const int marginY = std::max(minSeamMarginPx, roundToInt(pxPerInY * seamMarginInches));

    Seam row, column;
    if (box.height() / pxPerInY > minSplitInches && box.height() > 2 * marginY) row = findSeam(box, bitmap, true, marginY);
    if (box.width() / pxPerInX > minSplitInches && box.width() > 2 * marginX) column = findSeam(box, bitmap, false, marginX);

    PixelBox first = box, second = box;
    first.area = second.area = box.area / 2;
    if (column.found && (!row.found || column.mean > row.mean)) {
        if (!splits(column)) return {box};
        first.maxX = column.position;
        second.minX = column.position + 1;
    } else if (splits(row)) {
        first.maxY = row.position;
        second.minY = row.position + 1;
    } else {
        return {box};
    }
    std::vector<PixelBox> out = splitBox(first, bitmap, pxPerInX, pxPerInY, depth + 1);
    std::vector<PixelBox> rest = splitBox(second, bitmap, pxPerInX, pxPerInY, depth + 1);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

}  // namespace AutoDetect::detail
