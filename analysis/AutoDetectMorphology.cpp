// Square dilation and erosion as two one-dimensional passes, rows first, then columns.

#include "analysis/AutoDetectSteps.h"

#include <algorithm>
#include <cstring>

namespace AutoDetect::detail {

namespace {

// Masks hold 0 or 1 per byte, so OR and AND work on eight pixels at a time.
struct Or {
    static std::uint64_t apply(std::uint64_t a, std::uint64_t b) { return a | b; }
};
struct And {
    static std::uint64_t apply(std::uint64_t a, std::uint64_t b) { return a & b; }
};

// out[i] = out[i] op in[i] for n bytes; the two lines never overlap.
template <typename Op>
void combineLine(std::uint8_t* __restrict out, const std::uint8_t* __restrict in, size_t n)
{
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        std::uint64_t a[2], b[2];
        std::memcpy(a, out + i, 16);
        std::memcpy(b, in + i, 16);
        a[0] = Op::apply(a[0], b[0]);
        a[1] = Op::apply(a[1], b[1]);
        std::memcpy(out + i, a, 16);
    }
    for (; i < n; ++i) out[i] = std::uint8_t(Op::apply(out[i], in[i]));
}

// Dilation ORs the window together, erosion ANDs it; window parts outside the mask are left
// out. Each pass combines whole shifted lines; radii are a few pixels.
template <typename Op>
void windowed(Mask& mask, int w, int h, int r)
{
    if (r <= 0 || w <= 0 || h <= 0) return;
    const size_t width = size_t(w);

    // Along rows: each pixel with its neighbours k to the left and k to the right.
    std::vector<std::uint8_t> line(width, 0);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* out = mask.data() + size_t(y) * width;
        std::copy(out, out + width, line.begin());
        for (size_t k = 1; k <= std::min(size_t(r), width - 1); ++k) {
            combineLine<Op>(out + k, line.data(), width - k);
            combineLine<Op>(out, line.data() + k, width - k);
        }
    }

    // Along columns, from the result of the row pass. Rows above the current one are already
    // overwritten, so the last r of them are kept as they were in a ring.
    const size_t ringRows = size_t(r) + 1;
    std::vector<std::uint8_t> ring(ringRows * width);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* out = mask.data() + size_t(y) * width;
        std::copy(out, out + width, ring.begin() + std::ptrdiff_t((size_t(y) % ringRows) * width));
        for (int k = 1; k <= r; ++k) {
            if (y - k >= 0) combineLine<Op>(out, ring.data() + (size_t(y - k) % ringRows) * width, width);
            if (y + k < h) combineLine<Op>(out, mask.data() + size_t(y + k) * width, width);
        }
    }
}

}  // namespace

void dilate(Mask& mask, int width, int height, int radius) { windowed<Or>(mask, width, height, radius); }

void erode(Mask& mask, int width, int height, int radius) { windowed<And>(mask, width, height, radius); }

// The foreground's clean-up, radii in inches: a closing of the background (thin lines across
// the lid are no prints), the frame cleared along the edges, an opening of the foreground
// (drops specks) and a closing (fills pinholes).
constexpr double backgroundClosingInches = 0.035;
constexpr double edgeFrameInches = 0.06;
constexpr double speckOpeningInches = 0.03;
constexpr double pinholeClosingInches = 0.02;

Mask foregroundOf(Mask mask, int w, int h, double pxPerInX, double pxPerInY)
{
    const double minPx = std::min(pxPerInX, pxPerInY);
    const int r = std::max(1, roundToInt(minPx * backgroundClosingInches));
    dilate(mask, w, h, r);
    erode(mask, w, h, r);
    for (auto& m : mask) m = m ? 0 : 1;

    const int marginX = std::min(std::max(1, roundToInt(pxPerInX * edgeFrameInches)), w / 2);
    const int marginY = std::min(std::max(1, roundToInt(pxPerInY * edgeFrameInches)), h / 2);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = mask.data() + size_t(y) * w;
        if (y < marginY || y >= h - marginY) {
            std::fill(row, row + w, 0);
            continue;
        }
        std::fill(row, row + marginX, 0);
        std::fill(row + w - marginX, row + w, 0);
    }

    const int r2 = std::max(1, roundToInt(minPx * speckOpeningInches));
    erode(mask, w, h, r2);
    dilate(mask, w, h, r2);
    const int r3 = std::max(1, roundToInt(minPx * pinholeClosingInches));
    dilate(mask, w, h, r3);
    erode(mask, w, h, r3);
    return mask;
}

}  // namespace AutoDetect::detail
