// Blobs of the foreground mask, and splitting blobs where two prints touch.

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

    // Grown a row run at a time: a run is taken whole, then the rows above and below are
    // searched from one pixel left of it to one pixel right of it (8-connectivity) for runs
    // not reached yet. Labels, bounds and areas do not depend on the order runs are taken.
    struct Seed {
        int x;
        int y;
    };
    std::vector<Seed> stack;
    stack.reserve(1024);
    std::int32_t next = 0;
    for (int sy = 0; sy < height; ++sy) {
        std::int32_t* seedRow = labels + size_t(sy) * width;
        for (int sx = 0; sx < width; ++sx) {
            if (seedRow[sx] >= 0) continue;
            const std::int32_t label = ++next;
            PixelBox box{width, height, -1, -1, 0, label};
            stack.push_back({sx, sy});
            while (!stack.empty()) {
                const Seed s = stack.back();
                stack.pop_back();
                std::int32_t* row = labels + size_t(s.y) * width;
                if (row[s.x] >= 0) continue;
                int left = s.x;
                while (left > 0 && row[left - 1] < 0) --left;
                int right = s.x;
                while (right + 1 < width && row[right + 1] < 0) ++right;
                for (int x = left; x <= right; ++x) row[x] = label;
                box.minX = std::min(box.minX, left);
                box.maxX = std::max(box.maxX, right);
                box.minY = std::min(box.minY, s.y);
                box.maxY = std::max(box.maxY, s.y);
                box.area += right - left + 1;
                const int from = std::max(left - 1, 0);
                const int to = std::min(right + 1, width - 1);
                for (const int ny : {s.y - 1, s.y + 1}) {
                    if (ny < 0 || ny >= height) continue;
                    const std::int32_t* other = labels + size_t(ny) * width;
                    for (int x = from; x <= to; ++x) {
                        if (other[x] >= 0) continue;
                        stack.push_back({x, ny});
                        while (x + 1 <= to && other[x + 1] < 0) ++x;
                    }
                }
            }
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

// The candidate line (row when `rows`, else column) across which luminance jumps most on
// average. Samples run along the line, about 260 of them at most.
Seam findSeam(const PixelBox& box, const WorkingBitmap& bitmap, bool rows, int margin)
{
    const int w = bitmap.width;
    const int h = bitmap.height;
    const int along = rows ? box.width() : box.height();
    const int stride = along >= 260 ? along / 260 : 1;
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
    if (depth >= 6) return {box};
    const int marginX = std::max(12, roundToInt(pxPerInX * 1.2));
    const int marginY = std::max(12, roundToInt(pxPerInY * 1.2));

    Seam row, column;
    if (box.height() / pxPerInY > 5.0 && box.height() > 2 * marginY) row = findSeam(box, bitmap, true, marginY);
    if (box.width() / pxPerInX > 5.0 && box.width() > 2 * marginX) column = findSeam(box, bitmap, false, marginX);

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
