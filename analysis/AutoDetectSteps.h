#pragma once

// The stages of photo detection, each a plain function of its inputs. Only the detection
// sources and their tests include this header.
//
// Planes are W·H, row-major, index = y·W + x, row 0 at the top. Masks hold 0 or 1.

#include "analysis/AutoDetect.h"

#include <QImage>
#include <QPointF>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace AutoDetect::detail {

using Mask = std::vector<std::uint8_t>;

// The band along the bed's edges the lid's colour is estimated from: inches wide, and at
// least this many pixels.
inline constexpr double borderBandInches = 0.55;
inline constexpr int minBorderBandPx = 4;
// How far in from the bitmap's edge the floods start, in inches (at least one pixel): the
// outermost pixels may be the scanner's frame.
inline constexpr double floodInsetInches = 0.05;

// A rectangle is fitted to no fewer sampled pixels than this, and only when they fill at
// least this share of it.
inline constexpr std::size_t minFitPoints = 13;
inline constexpr double minRectFill = 0.62;

// The luminance of a colour: 0.299·R + 0.587·G + 0.114·B.
inline float luminanceOf(float r, float g, float b) { return 0.299f * r + 0.587f * g + 0.114f * b; }

// Half away from zero, as every rounding in detection.
inline int roundToInt(double x) { return static_cast<int>(std::lround(x)); }

// The median of `values` (the upper middle one of an even count), which are partly reordered;
// 0 when there are none.
template <class T>
T median(std::vector<T>& values)
{
    if (values.empty()) return T(0);
    const auto mid = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

// The downscaled working copy of the overview: premultiplied pixels (QRgb, 0xAARRGGBB) and the
// luminance 0.299·R + 0.587·G + 0.114·B of each pixel.
struct WorkingBitmap {
    int width = 0;
    int height = 0;
    QImage pixels;  // RGB32 or ARGB32_Premultiplied, W×H, rows packed
    std::vector<float> luminance;

    const QRgb* argb() const { return reinterpret_cast<const QRgb*>(pixels.constBits()); }
    float lum(int x, int y) const { return luminance[static_cast<size_t>(y) * width + x]; }
};

struct RGB {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const RGB&, const RGB&) = default;
};

struct BackgroundEstimate {
    RGB color;
    int colorTolerance = 0;
};

struct Flood {
    Mask background;  // 1 = reached from the border
    double coverage = 0;
};

// A connected blob of foreground pixels: inclusive bounds, pixel count, and the label its
// pixels carry in the label plane (the halves of a split blob keep their blob's label).
struct PixelBox {
    int minX = 0;
    int minY = 0;
    int maxX = 0;
    int maxY = 0;
    int area = 0;
    int label = 0;

    int width() const { return maxX - minX + 1; }
    int height() const { return maxY - minY + 1; }
    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

// A rotated rectangle in working-bitmap pixels; positions are pixel indices.
struct OrientedRect {
    double cx = 0;
    double cy = 0;
    double width = 0;
    double height = 0;
    double angle = 0;
};

// The four corners of a rotated rectangle.
inline std::array<QPointF, 4> corners(const OrientedRect& r)
{
    const double c = std::cos(r.angle), s = std::sin(r.angle);
    std::array<QPointF, 4> out;
    for (int k = 0; k < 4; ++k) {
        const double u = (k & 1 ? 0.5 : -0.5) * r.width, v = (k & 2 ? 0.5 : -0.5) * r.height;
        out[size_t(k)] = QPointF(r.cx + u * c - v * s, r.cy + u * s + v * c);
    }
    return out;
}

struct Components {
    std::vector<PixelBox> boxes;     // area ≥ the minimum, in discovery order
    std::vector<std::int32_t> labels;  // 0 = background, else the blob's label (1, 2, …)
};

// Fills the luminance plane from the pixels.
void measureLuminance(WorkingBitmap& bitmap);

// Scale, draw and measure the overview; nothing when the bitmap cannot be made.
std::optional<WorkingBitmap> makeWorkingBitmap(const QImage& image);

// The working bitmap at half size, each pixel the mean of a 2×2 block (an odd last row or
// column left out); nothing for a bitmap under 2×2.
std::optional<WorkingBitmap> halfBitmap(const WorkingBitmap& bitmap);

// Colour-difference and Sobel edge strength per pixel; 0 on the outermost ring.
std::vector<float> gradientPlane(const WorkingBitmap& bitmap);

// Background colour and colour tolerance, from the border band (both limits given) or from
// every pixel.
BackgroundEstimate backgroundColor(const WorkingBitmap& bitmap, const std::vector<float>& gradient,
                                   std::optional<int> bandX, std::optional<int> bandY);

// Floods the background in from just inside the image border. `hook` may be empty.
Flood floodBackground(const WorkingBitmap& bitmap, const std::vector<float>& gradient,
                      const BackgroundEstimate& estimate, double pxPerInX, double pxPerInY,
                      const DebugHook& hook);

// Separable square morphology, (2r+1)² window, pixels outside the mask ignored.
void dilate(Mask& mask, int width, int height, int radius);
void erode(Mask& mask, int width, int height, int radius);

// The foreground from a flood's background mask: the background closed, inverted, cleared
// along the border, then opened and closed.
Mask foregroundOf(Mask background, int width, int height, double pxPerInX, double pxPerInY);

// 8-connected blobs of `mask`, grown with an explicit stack.
Components labelComponents(const Mask& mask, int width, int height, int minArea);

// Splits a blob along straight luminance seams where two prints touch, recursively.
std::vector<PixelBox> splitBox(const PixelBox& box, const WorkingBitmap& bitmap, double pxPerInX,
                               double pxPerInY, int depth);

// Monotone-chain hull, counter-clockwise in a y-up frame, collinear points dropped.
std::vector<QPointF> convexHull(std::vector<QPointF> points);

// The minimum-area rectangle of the blob's own pixels, after the fill test and the tilt
// refinement; nothing when the blob is too sparse or degenerate.
std::optional<OrientedRect> fitRectangle(const PixelBox& box, const Mask& mask,
                                         const std::vector<std::int32_t>& labels, int width, int height);

// The smallest rectangle holding the hull, with one side along a hull edge; nothing when no
// hull edge has length.
std::optional<OrientedRect> minimumAreaRect(const std::vector<QPointF>& hull);

// Brings the angle into (−π/4, π/4], swapping the sides with each quarter turn.
void normaliseAngle(OrientedRect& rect);

// The tilt refinement on a given outline: the angle from its straight runs along each side,
// then the bounds of the outline on the new axes.
void refineTiltFromBoundary(OrientedRect& rect, const std::vector<QPointF>& boundary);

// Sharpens the angle from the blob's straight edges and re-fits the bounds.
void refineTilt(OrientedRect& rect, const PixelBox& box, const Mask& mask,
                const std::vector<std::int32_t>& labels, int width, int height);

struct Line {
    double slope = 0;
    double intercept = 0;
};

// Least squares y = m·x + b; nothing for fewer than 8 points or a degenerate x spread.
std::optional<Line> fitLine(const std::vector<QPointF>& points);

// The slope of the points' line after dropping the worst residuals once.
std::optional<double> trimmedSlope(const std::vector<QPointF>& points, double minSpan);

// The rectangle in bed inches with the 0.04-inch margin, or nothing when it fails the size
// filters.
std::optional<ScanRegion> toRegion(const OrientedRect& rect, double pxPerInX, double pxPerInY);

// Writes "  bg=(…) colorTol=… floodTol=… edgeT=…" to standard error.
void reportBackground(const BackgroundEstimate& estimate, int floodTolerance, float edgeThreshold);

// Hands a 0/1 mask to the hook as 0/255 bytes.
void showMask(const DebugHook& hook, const Mask& mask, int width, int height, std::string_view label);


// ---- Stages the full detector adds to the pipeline above ----

// The luminance at a point, bilinear between pixel centres (pixel i centred at i), with the
// point clamped onto the bitmap.
float luminanceAt(const WorkingBitmap& bitmap, double x, double y);

// One side of a rotated rectangle: the outward normal, the direction along the side, the
// distance from the centre to the side and the side's length. Sides 0–3 are right, left,
// bottom and top in the rectangle's own frame.
struct SideFrame {
    double nx = 0;
    double ny = 0;
    double tx = 0;
    double ty = 0;
    double half = 0;
    double length = 0;
};
SideFrame sideFrame(const OrientedRect& rect, int side);

// The luminance across one side, sampled every half pixel from `from` to `to` pixels outside
// it (negative is inside): medians along the side's middle 70 % per half, and their mean. The
// profile ends early where the samples leave the bitmap.
struct SideProfile {
    double from = 0;
    std::vector<float> whole;
    std::vector<float> firstHalf;
    std::vector<float> secondHalf;
};
SideProfile profileAcross(const WorkingBitmap& bitmap, const OrientedRect& rect, int side, double from, double to);

// Where a profile changes fastest between `lo` and `hi` (offsets in pixels): rising (sign 1),
// falling (−1) or either way (0), placed between samples; and the change per pixel there.
std::optional<double> steepestStep(const std::vector<float>& profile, double from, double lo, double hi, int sign);
double stepAt(const std::vector<float>& profile, double from, double offset);

// Where a side's print edge lies, in pixels outside the fitted side: the print's own edge
// near it, or a border's cut edge further out.
struct SideFit {
    double offset = 0;
    double edge = 0;  // the picture's own edge, where a border starts

    bool straight = false;  // on a step that lies at the same place along both halves
    bool border = false;
};
SideFit fitSide(const SideProfile& profile, double pxPerIn, float lidLuminance);

// Moves one side outwards by `offset` pixels, keeping the opposite side in place.
void moveSide(OrientedRect& rect, int side, double offset);

// `rect` with every side on its print's own edge, and how much further out each side's border
// ends where a border shows (0 where none does).
struct SnappedRect {
    OrientedRect rect;
    double border[4] = {0, 0, 0, 0};
    int cleanSides = 0;  // sides on a straight step (the print's edge or a border's cut)
};
SnappedRect snapSides(const OrientedRect& rect, const WorkingBitmap& bitmap, double pxPerIn, float lidLuminance);

// True when (x, y) lies inside `rect` shrunk by `inset` pixels on every side.
bool contains(const OrientedRect& rect, double x, double y, double inset);

// Each rectangle grown by its borders, except a border that would reach over another print.
std::vector<OrientedRect> withBorders(const std::vector<SnappedRect>& snapped);


// A seam across a rectangle: a line parallel to its height (axis 0, at `offset` pixels along
// its width from the centre) or to its width (axis 1, along its height), with the mean step
// across it and how far that stands above the lines beside it.
struct AxisSeam {
    int axis = 0;
    double offset = 0;
    double step = 0;
    double contrast = 0;
    double stepping = 0;  // the share of the seam's stretches that step at all
};

// Fills in how evenly a seam steps along its length.
void measureSeam(AxisSeam& seam, const OrientedRect& rect, const WorkingBitmap& bitmap);

// The clearest seam across `rect` that leaves a print's short side on either side of it.
std::optional<AxisSeam> findAxisSeam(const OrientedRect& rect, const WorkingBitmap& bitmap, double pxPerIn);

// The rectangle of a set of pixels from the hull of their outline, with the fill test and the
// tilt refinement; nothing when too few or too sparse.
std::optional<OrientedRect> fitPixels(const std::vector<QPointF>& pixels, const std::vector<QPointF>& outline);

// `rect`, fitted to the blob `box`, cut along seams into the prints it holds, each fitted again
// from its own pixels; the rectangle itself where there is no seam.
std::vector<OrientedRect> splitAtSeams(const OrientedRect& rect, const PixelBox& box,
                                       const std::vector<std::int32_t>& labels, const WorkingBitmap& bitmap,
                                       double pxPerIn);


// A smooth model of the lid's colour: per channel a quadratic in the position (scaled to
// −1..1 across the bitmap), its spread (the 90th percentile of the band's distances from it)
// and the colour distance within which a pixel counts as lid.
struct LidSurface {
    int width = 1;
    int height = 1;
    std::array<std::array<double, 6>, 3> coef{};
    double spread = 0;
    double tolerance = 0;

    double u(int x) const { return 2.0 * x / std::max(1, width - 1) - 1; }
    double v(int y) const { return 2.0 * y / std::max(1, height - 1) - 1; }
    double at(int channel, int x, int y) const;
    double distanceSquared(const std::array<std::vector<float>, 3>& smooth, int index) const;
};

// The surface through the border band's lid-coloured pixels of the smoothed picture, refitted
// twice without the pixels far off it; nothing with too few samples.
std::optional<LidSurface> fitLidSurface(const std::array<std::vector<float>, 3>& smooth, int width, int height,
                                        const BackgroundEstimate& estimate, int bandX, int bandY);

// The foreground of a flood over the smoothed picture held to the lid surface (paper the
// first flood crossed shows here), cleaned up as the first one; nothing where the lid does
// not follow a smooth surface.
std::optional<Mask> paperMask(const WorkingBitmap& bitmap, const BackgroundEstimate& estimate, double pxPerInX,
                              double pxPerInY);

// The share of `inner`'s area that lies inside `outer` (sampled on a grid).
double shareInside(const OrientedRect& inner, const OrientedRect& outer);

// The first detector's rectangles with what the paper flood adds: a print it missed, or one
// whole print where the first flood leaked in and left only pieces of it.
std::vector<SnappedRect> mergePaper(std::vector<SnappedRect> found, const std::vector<SnappedRect>& paper);

}  // namespace AutoDetect::detail
