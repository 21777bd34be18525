// The colour of the empty bed and the flood that marks it.

#include "analysis/AutoDetectRunFill.h"
#include "analysis/AutoDetectSteps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace AutoDetect::detail {

namespace {

constexpr RGB fallbackColor{235, 235, 235};
constexpr int fallbackTolerance = 46;

// Flat pixels: a gradient below this multiple of the picture's typical one (the gradient at
// this rank of every fourth pixel's), and never below the floor.
constexpr double typicalGradientRank = 0.6;
constexpr float flatGradientFactor = 1.3f;
constexpr float minFlatGradient = 14.0f;
// Flat pixels within this much of the commonest colour (per channel) make the lid's colour.
constexpr int nearModeChannel = 16;
// The colour tolerance from the spread of those pixels: sqrt(spread)·factor + base, clamped.
constexpr double toleranceSpreadFactor = 2.4;
constexpr int toleranceBase = 34;
constexpr int minTolerance = 42;
constexpr int maxTolerance = 95;

// The edge that stops the flood: the gradient at this rank among the lid-coloured pixels',
// times a factor plus an offset, within the bounds; without enough such pixels, the default.
constexpr std::size_t minLidSamples = 33;
constexpr double lidGradientRank = 0.95;
constexpr float edgeGradientFactor = 1.5f;
constexpr float edgeGradientOffset = 2.5f;
constexpr float defaultEdgeGradient = 8.0f;
constexpr float minEdgeGradient = 5.5f;
constexpr float maxEdgeGradient = 58.0f;
// A lid busy enough for edges above this is also allowed that much more colour difference.
constexpr float busyLidEdgeGradient = 22.0f;
constexpr double busyLidToleranceFactor = 1.6;

// Orders floats as unsigned integers: negative ones below positive ones, each by magnitude.
std::uint32_t orderKey(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

// The value at `rank` in ascending order of the samples that `forEach` hands out (each
// time the same ones, in the same order): a radix pass on the upper 16 bits, then an exact
// selection among the few samples in the bucket that holds the rank.
template <typename ForEach>
float valueAtRank(ForEach&& forEach, size_t rank)
{
    std::vector<std::uint32_t> buckets(size_t(1) << 16, 0);
    forEach([&](float v) { ++buckets[orderKey(v) >> 16]; });
    size_t below = 0;
    std::uint32_t bucket = 0;
    while (below + buckets[bucket] <= rank) below += buckets[bucket++];
    std::vector<float> inBucket;
    inBucket.reserve(buckets[bucket]);
    forEach([&](float v) {
        if ((orderKey(v) >> 16) == bucket) inBucket.push_back(v);
    });
    const size_t k = rank - below;
    std::nth_element(inBucket.begin(), inBucket.begin() + std::ptrdiff_t(k), inBucket.end());
    return inBucket[k];
}

// Calls f(index) for every pixel in scope: the border band when both limits are given,
// otherwise every pixel.
template <typename F>
void forEachInScope(int w, int h, std::optional<int> bandX, std::optional<int> bandY, F&& f)
{
    const bool all = !bandX || !bandY;
    for (int y = 0; y < h; ++y) {
        const size_t row = size_t(y) * w;
        if (all || y < *bandY || y >= h - *bandY) {
            for (int x = 0; x < w; ++x) f(row + x);
            continue;
        }
        // Left and right parts of the band; they may meet or overlap on narrow images.
        const int leftEnd = std::min(*bandX, w);
        for (int x = 0; x < leftEnd; ++x) f(row + x);
        for (int x = std::max(leftEnd, w - *bandX); x < w; ++x) f(row + x);
    }
}

}  // namespace

BackgroundEstimate backgroundColor(const WorkingBitmap& bitmap, const std::vector<float>& gradient,
                                   std::optional<int> bandX, std::optional<int> bandY)
{
    const int w = bitmap.width;
    const int h = bitmap.height;
    const size_t n = size_t(w) * h;
    const QRgb* px = bitmap.argb();

    // What counts as flat: well below the usual edge strength of the picture.
    const size_t sampled = (n + 3) / 4;
    const float typical = valueAtRank(
        [&](auto&& f) {
            for (size_t i = 0; i < n; i += 4) f(gradient[i]);
        },
        std::min(sampled - 1, size_t(double(sampled) * typicalGradientRank)));
    const float flat = std::max(minFlatGradient, typical * flatGradientFactor);

    std::vector<int> histogram(4096, 0);
    forEachInScope(w, h, bandX, bandY, [&](size_t i) {
        if (!(gradient[i] < flat)) return;
        const QRgb p = px[i];
        ++histogram[(qRed(p) >> 4) * 256 + (qGreen(p) >> 4) * 16 + (qBlue(p) >> 4)];
    });
    int mode = 0;
    for (int bin = 1; bin < 4096; ++bin)
        if (histogram[bin] > histogram[mode]) mode = bin;
    if (histogram[mode] == 0) return {fallbackColor, fallbackTolerance};

    const RGB centre{(mode >> 8) * 16 + 8, ((mode >> 4) & 15) * 16 + 8, (mode & 15) * 16 + 8};
    auto nearCentre = [&](QRgb p) {
        return std::abs(qRed(p) - centre.r) <= nearModeChannel && std::abs(qGreen(p) - centre.g) <= nearModeChannel &&
               std::abs(qBlue(p) - centre.b) <= nearModeChannel;
    };
    std::int64_t sumR = 0, sumG = 0, sumB = 0, count = 0;
    forEachInScope(w, h, bandX, bandY, [&](size_t i) {
        const QRgb p = px[i];
        if (!(gradient[i] < flat) || !nearCentre(p)) return;
        sumR += qRed(p);
        sumG += qGreen(p);
        sumB += qBlue(p);
        ++count;
    });
    if (count == 0) return {centre, fallbackTolerance};
    const RGB mean{int(sumR / count), int(sumG / count), int(sumB / count)};

    std::int64_t spread = 0;
    forEachInScope(w, h, bandX, bandY, [&](size_t i) {
        const QRgb p = px[i];
        if (!(gradient[i] < flat) || !nearCentre(p)) return;
        const int dr = qRed(p) - mean.r, dg = qGreen(p) - mean.g, db = qBlue(p) - mean.b;
        spread += dr * dr + dg * dg + db * db;
    });
    const std::int64_t v = spread / count;
    const int tolerance =
        std::clamp(int(std::sqrt(double(v)) * toleranceSpreadFactor) + toleranceBase, minTolerance, maxTolerance);
    return {mean, tolerance};
}

Flood floodBackground(const WorkingBitmap& bitmap, const std::vector<float>& gradient,
                      const BackgroundEstimate& estimate, double pxPerInX, double pxPerInY,
                      const DebugHook& hook)
{
    const int w = bitmap.width;
    const int h = bitmap.height;
    const size_t n = size_t(w) * h;
    const QRgb* px = bitmap.argb();
    const RGB bg = estimate.color;
    auto distance2 = [&](size_t i) {
        const QRgb p = px[i];
        const int dr = qRed(p) - bg.r, dg = qGreen(p) - bg.g, db = qBlue(p) - bg.b;
        return dr * dr + dg * dg + db * db;
    };

    // How strong an edge has to be to stop the flood: well above what the background itself shows.
    const int colourTol = estimate.colorTolerance;
    float edgeT = defaultEdgeGradient;
    int floodTol = colourTol;
    {
        const int tol2 = colourTol * colourTol;
        std::vector<float> samples;
        samples.reserve(n / 2 + 1);
        for (size_t i = 0; i < n; i += 2)
            if (distance2(i) < tol2) samples.push_back(gradient[i]);
        if (samples.size() >= minLidSamples) {
            auto forEach = [&](auto&& f) {
                for (const float g : samples) f(g);
            };
            const float v = valueAtRank(forEach, std::min(samples.size() - 1, size_t(double(samples.size()) * lidGradientRank)));
            edgeT = std::max(minEdgeGradient, v * edgeGradientFactor + edgeGradientOffset);
            if (edgeT >= maxEdgeGradient) edgeT = maxEdgeGradient;
            floodTol = edgeT > busyLidEdgeGradient ? int(colourTol * busyLidToleranceFactor) : colourTol;
        }
    }

    // 1 = passable; the flood turns reached pixels into 2.
    Flood flood;
    Mask& mask = flood.background;
    mask.resize(n);
    const int floodTol2 = floodTol * floodTol;
    {
        // Plain pointers: a byte store could otherwise alias the vectors' own bookkeeping.
        const float* g = gradient.data();
        std::uint8_t* out = mask.data();
        const int br = bg.r, bgG = bg.g, bb = bg.b;
        for (size_t i = 0; i < n; ++i) {
            const QRgb p = px[i];
            const int dr = qRed(p) - br, dg = qGreen(p) - bgG, db = qBlue(p) - bb;
            out[i] = std::uint8_t((g[i] < edgeT) & (dr * dr + dg * dg + db * db < floodTol2));
        }
    }
    if (hook) {
        reportBackground(estimate, floodTol, edgeT);
        showMask(hook, mask, w, h, "passable");
    }

    // Passable pixels (1) reached from the border (4-connectivity) become 2.
    std::vector<RunSeed> stack;
    stack.reserve(1024);
    size_t reached = 0;
    auto fillFrom = [&](int sx, int sy) {
        fillRuns(mask.data(), w, h, sx, sy, false, [](std::uint8_t c) { return c == 1; }, std::uint8_t(2), stack,
                 [&](int left, int right, int) { reached += size_t(right - left + 1); });
    };
    const int inset = std::max(1, roundToInt(std::min(pxPerInX, pxPerInY) * floodInsetInches));
    const int top = std::min(inset, h - 1), bottom = std::max(0, h - 1 - inset);
    const int left = std::min(inset, w - 1), right = std::max(0, w - 1 - inset);
    for (int x = 0; x < w; ++x) {
        fillFrom(x, top);
        fillFrom(x, bottom);
    }
    for (int y = 0; y < h; ++y) {
        fillFrom(left, y);
        fillFrom(right, y);
    }
    for (auto& m : mask) m = (m == 2) ? 1 : 0;
    flood.coverage = double(reached) / double(n);
    return flood;
}

void reportBackground(const BackgroundEstimate& estimate, int floodTolerance, float edgeThreshold)
{
    std::fprintf(stderr, "  bg=(%d,%d,%d) colorTol=%d floodTol=%d edgeT=%.1f\n", estimate.color.r,
                 estimate.color.g, estimate.color.b, estimate.colorTolerance, floodTolerance,
                 double(edgeThreshold));
}

void showMask(const DebugHook& hook, const Mask& mask, int width, int height, std::string_view label)
{
    Mask shown(mask.size());
    std::transform(mask.begin(), mask.end(), shown.begin(), [](std::uint8_t m) { return m ? 255 : 0; });
    hook(shown, width, height, label);
}

}  // namespace AutoDetect::detail
